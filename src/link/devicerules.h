#pragma once
// What the parameter dialogs send, decided from the values as typed: no
// widget in, no widget out. A dialog reads its fields, asks the rule, shows
// what the rule says and sends the frame with RDData::sendTitledFrame.

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace krt::rules {

// One transmission: the black title line (without line end), the frame's
// payload, and what the data window's display label shows afterwards.
struct Outgoing {
    QString title;
    QByteArray payload;
    QString label;
};

// ---- Lock time -------------------------------------------------------------

enum class LockGroup { Channel1, Channel4, Others };
enum class LockUnit { Seconds, Tenths };

struct LockTimeVerdict {
    enum Kind {
        Send,
        // Not a number: nothing happens, the operator corrects it or cancels.
        Unreadable,
        // A number outside 0 to 99: a beep, and the dialog closes unsent.
        OutOfRange,
    };
    Kind kind = Unreadable;
    // The field as it stands once sent: a single digit gets a leading zero.
    QString fieldText;
    Outgoing out; // when kind is Send
};

// The title and the label show the value as typed; the payload carries it
// as two digits after the group's code and the unit's letter ('S' or 'D').
LockTimeVerdict lockTime(LockGroup group, const QString& typed, LockUnit unit);

// ---- Date ------------------------------------------------------------------

enum DateField { Day, Month, Year, Hour, Minute, DateFieldCount };
using DateTexts = std::array<QString, DateFieldCount>;

struct DateVerdict {
    // The fields as they are to stand, in DateField order.
    DateTexts texts;
    // Fields out of range, in field order; each now holds its mark ("??",
    // "????" for the year).
    std::array<bool, DateFieldCount> marked{};
    // A field is no number: the check stopped there, marks set before it
    // stay, nothing is padded and nothing is sent.
    bool unreadable = false;
    // Every field good: the fields are padded to two digits (not the
    // year) and this goes out. No label: the device keeps the date.
    std::optional<Outgoing> send;
    bool anyMarked() const;
};

// Day 1-31, month 1-12, year 1997-2050, hour 0-23, minute 0-59. The payload
// is the code ("Pd" US, "PD" standard), the first two fields in the order of
// the format, the year's last two digits, hour and minute.
DateVerdict date(const DateTexts& typed, bool usFormat);

// ---- Accuracy --------------------------------------------------------------

// The printer's time accuracy, by choice: seconds down to 1/10'000 second.
constexpr int PrinterAccuracyChoices = 5;
Outgoing printerAccuracy(int choice);
// The running time: OFF or 1/10 second.
constexpr int RunTimeAccuracyChoices = 2;
Outgoing runTimeAccuracy(int choice);

} // namespace krt::rules
