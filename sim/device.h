#pragma once
// The emulated KRT 418: its settings, its clock, its memory of measured
// times, and what it answers to each command. No I/O here: the server feeds
// it payloads and loose text and sends what it answers.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <functional>
#include <random>

namespace sim {

// One entry of the memory: a measured time, or the start of a session.
struct Record {
    enum Kind { Time, Session };
    Kind kind = Time;
    int input = 0;   // 1..16, for a time
    qint64 tick = 0; // time of day in 1/10000 s, for a time
    int session = 1; // the session the time belongs to, or the one a marker opens
    QDate date;      // the device's date when a session marker was written
};

// What the device does with one frame.
struct Answer {
    bool accepted = false;   // ACK, else NAK
    QList<QByteArray> lines; // answer lines, unpadded
    QStringList console;     // printer, display and other device output
    QString what;            // the command's effect in words, for the console
    int newLineSpeed = 0;    // 9600 or 19200 when the line speed changes
};

// Lock time of an input group: unit 'S' (seconds) or 'D' (tenths), 00..99.
struct LockTime {
    char unit = 'D';
    int value = 5;
    qint64 ms() const { return unit == 'S' ? value * 1000 : value * 100; }
    bool operator==(const LockTime& o) const { return unit == o.unit && value == o.value; }
};

struct Settings {
    bool fastLine = false;      // "Pc" 19200 bit/s, else "PC" 9600
    bool runTimeTenths = false; // "PL", else "Pl" (display selection off)
    int printer = 3;            // "PP0".."PP4": digits after the second
    LockTime lock1{'D', 10};
    LockTime lock4{'D', 5};
    LockTime lockOthers{'D', 5};
    bool inputsLocked = true; // "Pe", else "PE"
    bool buzzer = true;       // "PB", else "Pb"
    bool usDate = false;      // the date was last set with "Pd"
};

// Bytes as the console shows them: printable ASCII as is, the rest as <hex>.
QString visible(const QByteArray& bytes, int limit = 80);

class Device {
public:
    using Clock = std::function<QDateTime()>;
    static constexpr int LineWidth = 30;
    static constexpr int Capacity = 20000; // records in memory
    static constexpr int MaxSession = 999;
    static constexpr int MaxLinkText = 256; // a printer line wraps beyond this

    // The clock is the PC's (local time) unless a test gives its own.
    explicit Device(Clock clock = {}, quint32 seed = 418);

    Answer command(const QByteArray& payload);
    // Text outside frames: printed or displayed while a link is open,
    // otherwise only noted. Returns the console lines.
    QStringList looseText(const QByteArray& bytes);
    // An impulse on an input now. Returns false (with the reason in console)
    // when the input is locked, inside its lock time, or memory is full.
    bool measure(int input, QStringList* console);
    // An input that is not locked out by "Pe", chosen at random.
    int randomOpenInput();
    // Fills memory with count times of the current session, as if measured
    // earlier the same day; the same seed gives the same times.
    void preload(int count);

    // 30 characters (padded with spaces, cut beyond) and a carriage return.
    static QByteArray wireLine(const QByteArray& text);

    QDateTime now() const;
    QByteArray dateLine() const;
    QList<QByteArray> report() const;
    QByteArray freeMemoryLine() const;
    QByteArray recordLine(int index) const;
    QByteArray printedLine(int index) const;
    const QList<Record>& memory() const { return memory_; }
    const Settings& settings() const { return settings_; }
    int session() const { return session_; }
    int lineSpeed() const { return settings_.fastLine ? 19200 : 9600; }
    enum class Link { None, Printer, Display };
    Link link() const { return link_; }

private:
    bool setLockTime(LockTime& target, const QByteArray& payload);
    bool setDate(const QByteArray& digits, bool us);
    QStringList flushLink(bool all);
    static QString timeOfDay(qint64 tick, int digits);
    const LockTime& lockFor(int input) const;

    Clock clock_;
    qint64 offsetMs_ = 0; // device clock minus PC clock
    Settings settings_;
    QList<Record> memory_;
    int session_ = 1;
    qint64 lastImpulseMs_[17] = {};
    Link link_ = Link::None;
    QByteArray linkText_;
    std::mt19937 random_;
};

} // namespace sim
