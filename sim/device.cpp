#include "device.h"

#include "link/frame.h"

#include <QTime>

#include <optional>

namespace sim {

namespace {
constexpr qint64 TicksPerDay = 24LL * 3600 * 10000;

bool allDigits(const QByteArray& text) {
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return !text.isEmpty();
}

QByteArray twoDigits(int n) {
    return QByteArray::number(n).rightJustified(2, '0');
}

QByteArray lockPayload(const char* code, const LockTime& t) {
    return QByteArray(code) + t.unit + twoDigits(t.value);
}

// A payload that is a row of the program's command table is that fixed
// command; what the device does with it is its own.
std::optional<krt::Cmd> fixedCommand(const QByteArray& payload) {
    for (const krt::Command& c : krt::commandTable())
        if (payload == c.payload) return c.id;
    return std::nullopt;
}

QString lockWords(const LockTime& t) {
    return t.unit == 'S' ? QStringLiteral("%1 s").arg(t.value)
                         : QStringLiteral("%1/10 s").arg(t.value);
}
} // namespace

QString visible(const QByteArray& bytes, int limit) {
    QString out;
    const int shown = int(qMin<qsizetype>(bytes.size(), limit));
    for (int i = 0; i < shown; ++i) {
        const auto c = quint8(bytes[i]);
        if (c >= 0x20 && c < 0x7F)
            out += QLatin1Char(char(c));
        else
            out += QStringLiteral("<%1>").arg(c, 2, 16, QLatin1Char('0')).toUpper();
    }
    if (bytes.size() > shown) out += QStringLiteral("... (%1 bytes)").arg(bytes.size());
    return out;
}

Device::Device(Clock clock, quint32 seed)
    : clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })),
      random_(seed) {}

QByteArray Device::wireLine(const QByteArray& text) {
    return text.left(LineWidth).leftJustified(LineWidth, ' ') + '\r';
}

QDateTime Device::now() const {
    return clock_().addMSecs(offsetMs_);
}

QByteArray Device::dateLine() const {
    const QDateTime t = now();
    const QDate d = t.date();
    const QTime h = t.time();
    const QByteArray dayMonth = settings_.usDate ? twoDigits(d.month()) + twoDigits(d.day())
                                                 : twoDigits(d.day()) + twoDigits(d.month());
    return QByteArray(settings_.usDate ? "Pd" : "PD") + dayMonth + twoDigits(d.year() % 100) +
           twoDigits(h.hour()) + twoDigits(h.minute()) + twoDigits(h.second());
}

// The order and wording of the device's own parameter listing.
QList<QByteArray> Device::report() const {
    const Settings& s = settings_;
    return {dateLine(),
            s.fastLine ? "Pc" : "PC",
            s.runTimeTenths ? "PL" : "Pl",
            "PP" + QByteArray::number(s.printer),
            lockPayload("PK1", s.lock1),
            lockPayload("PK4", s.lock4),
            lockPayload("PKO", s.lockOthers),
            s.inputsLocked ? "Pe" : "PE",
            s.buzzer ? "PB" : "Pb",
            "BATTERY OK",
            "PS004"};
}

QByteArray Device::freeMemoryLine() const {
    return "MEMORY FREE " + QByteArray::number(Capacity - memory_.size()) + " OF " +
           QByteArray::number(Capacity);
}

QString Device::timeOfDay(qint64 tick, int digits) {
    const qint64 seconds = tick / 10000;
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                       .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (digits > 0) // a timer cuts, it does not round
        text += QLatin1Char('.') +
                QStringLiteral("%1").arg(tick % 10000, 4, 10, QLatin1Char('0')).left(digits);
    return text;
}

// "00042 I05 13:07:21.0457 S001  " for a time,
// "00043 SESSION 002 24.05.25    " for the start of a session.
QByteArray Device::recordLine(int index) const {
    const Record& r = memory_.at(index);
    const QString number = QStringLiteral("%1").arg(index + 1, 5, 10, QLatin1Char('0'));
    QString text;
    if (r.kind == Record::Session)
        text = number + QStringLiteral(" SESSION %1 ").arg(r.session, 3, 10, QLatin1Char('0')) +
               r.date.toString(QStringLiteral("dd.MM.yy"));
    else
        text = number + QStringLiteral(" I%1 ").arg(r.input, 2, 10, QLatin1Char('0')) +
               timeOfDay(r.tick, 4) +
               QStringLiteral(" S%1").arg(r.session, 3, 10, QLatin1Char('0'));
    return text.toLatin1();
}

// What the printer prints for a record: the time at the printer's resolution.
QByteArray Device::printedLine(int index) const {
    const Record& r = memory_.at(index);
    if (r.kind == Record::Session)
        return QStringLiteral("--- SESSION %1  %2 ---")
            .arg(r.session, 3, 10, QLatin1Char('0'))
            .arg(r.date.toString(QStringLiteral("dd.MM.yy")))
            .toLatin1();
    return QStringLiteral("%1  I%2  %3")
        .arg(index + 1, 5, 10, QLatin1Char('0'))
        .arg(r.input, 2, 10, QLatin1Char('0'))
        .arg(timeOfDay(r.tick, settings_.printer))
        .toLatin1();
}

bool Device::setLockTime(LockTime& target, const QByteArray& payload) {
    const char unit = payload.at(3);
    const QByteArray value = payload.mid(4);
    if ((unit != 'S' && unit != 'D') || value.size() != 2 || !allDigits(value)) return false;
    target = {unit, value.toInt()};
    return true;
}

bool Device::setDate(const QByteArray& digits, bool us) {
    if (digits.size() != 10 || !allDigits(digits)) return false;
    const int first = digits.mid(0, 2).toInt();
    const int second = digits.mid(2, 2).toInt();
    const int yy = digits.mid(4, 2).toInt();
    const QDate date(yy < 70 ? 2000 + yy : 1900 + yy, us ? first : second, us ? second : first);
    const QTime time(digits.mid(6, 2).toInt(), digits.mid(8, 2).toInt());
    if (!date.isValid() || !time.isValid()) return false;
    offsetMs_ = clock_().msecsTo(QDateTime(date, time));
    settings_.usDate = us;
    return true;
}

Answer Device::command(const QByteArray& p) {
    Answer a;
    a.accepted = true;
    Settings& s = settings_;
    const auto speed = [&](bool fast) {
        if (s.fastLine != fast) a.newLineSpeed = fast ? 19200 : 9600;
        s.fastLine = fast;
        a.what = fast ? QStringLiteral("line speed 19200 bit/s")
                      : QStringLiteral("line speed 9600 bit/s");
    };
    const auto upload = [&](bool print) {
        for (int i = 0; i < memory_.size(); ++i) {
            a.lines.append(recordLine(i));
            if (print)
                a.console.append(QStringLiteral("[printer] ") +
                                 QString::fromLatin1(printedLine(i)));
        }
        a.what = QStringLiteral("%1 %2 records")
                     .arg(print ? QStringLiteral("upload and print") : QStringLiteral("upload"))
                     .arg(memory_.size());
    };
    const auto lock = [&](LockTime& t, const char* name) {
        a.accepted = setLockTime(t, p);
        a.what = a.accepted
                     ? QStringLiteral("lock time %1: %2").arg(QLatin1String(name), lockWords(t))
                     : QStringLiteral("bad lock time");
    };

    using krt::Cmd;
    const std::optional<Cmd> fixed = fixedCommand(p);
    // Not a fixed command: one with parameters, or none at all.
    if (!fixed) {
        if (p.size() == 6 && p.startsWith(krt::code::LockChannel1)) {
            lock(s.lock1, "input 1");
        } else if (p.size() == 6 && p.startsWith(krt::code::LockChannel4)) {
            lock(s.lock4, "input 4");
        } else if (p.size() == 6 && p.startsWith(krt::code::LockOthers)) {
            lock(s.lockOthers, "other inputs");
        } else if (p.size() == 12 &&
                   (p.startsWith(krt::code::StdDate) || p.startsWith(krt::code::UsDate))) {
            a.accepted = setDate(p.mid(2), p.startsWith(krt::code::UsDate));
            a.what = a.accepted ? QStringLiteral("date set to ") +
                                      now().toString(QStringLiteral("dd.MM.yyyy hh:mm"))
                                : QStringLiteral("bad date");
        } else {
            a.accepted = false;
            a.what = QStringLiteral("unknown command");
        }
        return a;
    }
    switch (*fixed) {
    case Cmd::GetDate:
        a.lines.append(dateLine());
        a.what = QStringLiteral("date");
        break;
    case Cmd::MemFree:
        a.lines.append(freeMemoryLine());
        a.what = QStringLiteral("free memory");
        break;
    case Cmd::ViewParameters:
        a.lines = report();
        a.what = QStringLiteral("parameters");
        break;
    case Cmd::NewSession:
        if (memory_.size() >= Capacity || session_ >= MaxSession) {
            a.accepted = false;
            a.what = QStringLiteral("memory full");
        } else {
            ++session_;
            memory_.append({Record::Session, 0, 0, session_, now().date()});
            a.what = QStringLiteral("new session %1").arg(session_);
        }
        break;
    case Cmd::UploadTimes:
    case Cmd::UploadPrint:
        upload(*fixed == Cmd::UploadPrint);
        break;
    case Cmd::ClearMemory:
        a.what = QStringLiteral("memory cleared (%1 records)").arg(memory_.size());
        memory_.clear();
        session_ = 1;
        break;
    case Cmd::SetDefaults: {
        const bool wasFast = s.fastLine;
        s = Settings();
        if (wasFast) a.newLineSpeed = 9600;
        a.what = QStringLiteral("factory defaults");
        break;
    }
    case Cmd::BuzzerOn:
    case Cmd::BuzzerOff:
        s.buzzer = *fixed == Cmd::BuzzerOn;
        a.what = s.buzzer ? QStringLiteral("buzzer on") : QStringLiteral("buzzer off");
        break;
    case Cmd::LockInputs:
    case Cmd::UnlockInputs:
        s.inputsLocked = *fixed == Cmd::LockInputs;
        a.what = s.inputsLocked ? QStringLiteral("inputs 5-16 locked")
                                : QStringLiteral("inputs 5-16 unlocked");
        break;
    case Cmd::Speed9600:
    case Cmd::Speed19200:
        speed(*fixed == Cmd::Speed19200);
        break;
    case Cmd::RunTimeOff:
    case Cmd::RunTimeTenths:
        s.runTimeTenths = *fixed == Cmd::RunTimeTenths;
        a.what = s.runTimeTenths ? QStringLiteral("running-time display 1/10 s")
                                 : QStringLiteral("running-time display off");
        break;
    case Cmd::Printer0:
    case Cmd::Printer1:
    case Cmd::Printer2:
    case Cmd::Printer3:
    case Cmd::Printer4:
        s.printer = int(*fixed) - int(Cmd::Printer0);
        a.what = QStringLiteral("printer resolution %1 digits").arg(s.printer);
        break;
    case Cmd::LinkPrinter:
    case Cmd::LinkLine:
        a.console = flushLink(true);
        link_ = *fixed == Cmd::LinkPrinter ? Link::Printer : Link::Display;
        a.what = link_ == Link::Printer ? QStringLiteral("link to printer")
                                        : QStringLiteral("link to display");
        break;
    case Cmd::LinkOff:
        a.console = flushLink(true);
        link_ = Link::None;
        a.what = QStringLiteral("link off");
        break;
    default:
        // A command of the table this device does not model: taken, with
        // nothing to answer.
        a.what = QString::fromLatin1(krt::command(*fixed).title);
        break;
    }
    if (!a.accepted) a.lines.clear();
    return a;
}

// Complete lines of the link text go out at once; the rest waits for "LX"
// unless it has grown past a printer line.
QStringList Device::flushLink(bool all) {
    QStringList out;
    const QString where =
        link_ == Link::Printer ? QStringLiteral("[printer] ") : QStringLiteral("[display] ");
    for (;;) {
        qsizetype end = -1;
        for (qsizetype i = 0; i < linkText_.size(); ++i)
            if (linkText_[i] == '\r' || linkText_[i] == '\n') {
                end = i;
                break;
            }
        if (end < 0) break;
        if (end > 0 || linkText_[0] == '\r')
            out.append(where + visible(linkText_.left(end), MaxLinkText));
        // A CR LF pair ends one line, not two.
        const bool pair =
            linkText_[end] == '\r' && end + 1 < linkText_.size() && linkText_[end + 1] == '\n';
        linkText_.remove(0, end + (pair ? 2 : 1));
    }
    if ((all && !linkText_.isEmpty()) || linkText_.size() >= MaxLinkText) {
        out.append(where + visible(linkText_, MaxLinkText));
        linkText_.clear();
    }
    return out;
}

QStringList Device::looseText(const QByteArray& bytes) {
    if (link_ == Link::None) return {QStringLiteral("ignored (no link open): ") + visible(bytes)};
    QStringList out;
    // Fed in slices so a flood never builds a line longer than the printer's.
    for (qsizetype at = 0; at < bytes.size(); at += MaxLinkText) {
        linkText_ += bytes.mid(at, MaxLinkText);
        out += flushLink(false);
    }
    return out;
}

const LockTime& Device::lockFor(int input) const {
    return input == 1 ? settings_.lock1 : input == 4 ? settings_.lock4 : settings_.lockOthers;
}

bool Device::measure(int input, QStringList* console) {
    const auto note = [&](const QString& text) {
        if (console) console->append(text);
    };
    if (input < 1 || input > 16) return false;
    if (settings_.inputsLocked && input >= 5) {
        note(QStringLiteral("impulse on input %1 ignored: inputs 5-16 locked").arg(input));
        return false;
    }
    const QDateTime t = now();
    const qint64 ms = t.toMSecsSinceEpoch();
    const qint64 since = ms - lastImpulseMs_[input];
    if (since >= 0 && since < lockFor(input).ms()) {
        note(QStringLiteral("impulse on input %1 ignored: inside its lock time").arg(input));
        return false;
    }
    if (memory_.size() >= Capacity) {
        note(QStringLiteral("impulse on input %1 lost: memory full").arg(input));
        return false;
    }
    lastImpulseMs_[input] = ms;
    const qint64 tick = qint64(t.time().msecsSinceStartOfDay()) * 10 + qint64(random_() % 10);
    memory_.append({Record::Time, input, tick, session_, {}});
    QString line =
        QStringLiteral("time ") + QString::fromLatin1(recordLine(int(memory_.size()) - 1));
    if (settings_.buzzer) line += QStringLiteral("  (beep)");
    note(line);
    if (settings_.runTimeTenths) note(QStringLiteral("[display] ") + timeOfDay(tick, 1));
    return true;
}

int Device::randomOpenInput() {
    const int range = settings_.inputsLocked ? 4 : 16;
    return 1 + int(random_() % unsigned(range));
}

void Device::preload(int count) {
    qint64 tick = 8LL * 3600 * 10000; // the event started at eight
    for (int i = 0; i < count && memory_.size() < Capacity; ++i) {
        tick = (tick + 500 + random_() % 30000) % TicksPerDay;
        memory_.append({Record::Time, 1 + int(random_() % 16), tick, session_, {}});
    }
}

} // namespace sim
