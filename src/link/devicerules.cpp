#include "link/devicerules.h"

#include "link/frame.h"
#include "link/numbertext.h"

namespace krt::rules {

namespace {

struct Group {
    const char* code;
    const char* title;
};

// By LockGroup.
const std::array<Group, 3> kGroups = {{
    {code::LockChannel1, title::LockChannel1},
    {code::LockChannel4, title::LockChannel4},
    {code::LockOthers, title::LockOthers},
}};

struct Unit {
    char letter;
    const char* labelSuffix;
    const char* titleSuffix;
};

// By LockUnit.
const std::array<Unit, 2> kUnits = {{
    {'S', " sec.", title::LockSecondsSuffix},
    {'D', " 1/10 sec.", title::LockTenthsSuffix},
}};

constexpr int kLockDigits = 2;
constexpr int kLockLowest = 0;
constexpr int kLockHighest = 99;

// The text as two characters: a single character gets a leading zero.
QString paddedToTwo(const QString& text) {
    return text.size() == 1 ? QLatin1Char('0') + text : text;
}

struct DateCheck {
    int digits;
    int lowest;
    int highest;
    const char* mark;
};

// By DateField.
const std::array<DateCheck, DateFieldCount> kDateChecks = {{
    {2, 1, 31, "??"},
    {2, 1, 12, "??"},
    {4, 1997, 2050, "????"},
    {2, 0, 23, "??"},
    {2, 0, 59, "??"},
}};

const char* const kDateTitleEnd = " <<";

struct Choice {
    Cmd command;
    const char* shown;
};

const std::array<Choice, PrinterAccuracyChoices> kPrinterChoices = {{
    {Cmd::Printer0, "Seconds"},
    {Cmd::Printer1, "1/10 sec."},
    {Cmd::Printer2, "1/100 sec."},
    {Cmd::Printer3, "1/1'000 sec."},
    {Cmd::Printer4, "1/10'000 sec."},
}};

// OFF is "Pl", a lower-case l.
const std::array<Choice, RunTimeAccuracyChoices> kRunTimeChoices = {{
    {Cmd::RunTimeOff, "OFF"},
    {Cmd::RunTimeTenths, "1/10 Sec."},
}};

Outgoing fromChoice(const Choice& choice) {
    const Command& c = command(choice.command);
    return {QString::fromLatin1(c.title), QByteArray(c.payload), QString::fromLatin1(choice.shown)};
}

} // namespace

LockTimeVerdict lockTime(LockGroup group, const QString& typed, LockUnit unit) {
    LockTimeVerdict v;
    v.fieldText = typed;
    const std::optional<int> number = numbertext::read(typed, kLockDigits);
    if (!number) {
        v.kind = LockTimeVerdict::Unreadable;
        return v;
    }
    if (*number < kLockLowest || *number > kLockHighest) {
        v.kind = LockTimeVerdict::OutOfRange;
        return v;
    }
    const Group& g = kGroups[static_cast<int>(group)];
    const Unit& u = kUnits[static_cast<int>(unit)];
    v.kind = LockTimeVerdict::Send;
    v.fieldText = paddedToTwo(typed);
    v.out.title = QLatin1String(g.title) + typed + QLatin1String(u.titleSuffix);
    v.out.payload = QByteArray(g.code) + u.letter + toWire(v.fieldText);
    v.out.label = typed + QLatin1String(u.labelSuffix);
    return v;
}

bool DateVerdict::anyMarked() const {
    for (bool m : marked)
        if (m) return true;
    return false;
}

DateVerdict date(const DateTexts& typed, bool usFormat) {
    DateVerdict v;
    v.texts = typed;
    for (int f = 0; f < DateFieldCount; ++f) {
        const DateCheck& c = kDateChecks[f];
        const std::optional<int> number = numbertext::read(typed[f], c.digits);
        if (!number) {
            v.unreadable = true;
            return v;
        }
        if (*number < c.lowest || *number > c.highest) {
            v.marked[f] = true;
            v.texts[f] = QString::fromLatin1(c.mark);
        }
    }
    for (int f : {Day, Month, Hour, Minute})
        v.texts[f] = paddedToTwo(v.texts[f]);
    if (v.anyMarked()) return v;

    const QString year = v.texts[Year].right(2);
    const QString& first = usFormat ? v.texts[Month] : v.texts[Day];
    const QString& second = usFormat ? v.texts[Day] : v.texts[Month];
    Outgoing out;
    out.payload = QByteArray(usFormat ? code::UsDate : code::StdDate) +
                  toWire(first + second + year + v.texts[Hour] + v.texts[Minute]);
    out.title = QLatin1String(usFormat ? title::UsDate : title::StdDate) + first +
                QLatin1Char(' ') + second + QLatin1Char(' ') + year + QLatin1String(kDateTitleEnd);
    v.send = out;
    return v;
}

Outgoing printerAccuracy(int choice) {
    return fromChoice(kPrinterChoices.at(static_cast<size_t>(choice)));
}

Outgoing runTimeAccuracy(int choice) {
    return fromChoice(kRunTimeChoices.at(static_cast<size_t>(choice)));
}

} // namespace krt::rules
