#include "session/recordformat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace record {

namespace {

const char kHex[] = "0123456789abcdef";

void appendEscaped(QByteArray& out, char16_t u) {
    const char e[] = {'\\',         'u', kHex[u >> 12], kHex[(u >> 8) & 0xF], kHex[(u >> 4) & 0xF],
                      kHex[u & 0xF]};
    out.append(e, sizeof e);
}

// The digits of text[at, at + n) as a number, or -1.
int digits(QStringView text, qsizetype at, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// One character below 0x80, escaped where JSON wants it.
void appendAscii(QByteArray& out, char16_t u) {
    if (u >= 0x20 && u != u'"' && u != u'\\') {
        out += char(u);
        return;
    }
    out += '\\';
    switch (u) {
    case u'"':
        out += '"';
        break;
    case u'\\':
        out += '\\';
        break;
    case u'\b':
        out += 'b';
        break;
    case u'\f':
        out += 'f';
        break;
    case u'\n':
        out += 'n';
        break;
    case u'\r':
        out += 'r';
        break;
    case u'\t':
        out += 't';
        break;
    default:
        out += "u00";
        out += kHex[u >> 4];
        out += kHex[u & 0xF];
    }
}

// Bytes as a JSON string, each byte the character of the same code. Written
// straight into the array: this runs for every read from the port.
void appendLatin1(QByteArray& out, QByteArrayView bytes) {
    const qsizetype start = out.size();
    // At most six characters a byte (an escape), and the two quotes.
    out.resize(start + 6 * bytes.size() + 2);
    char* at = out.data() + start;
    *at++ = '"';
    for (const char c : bytes) {
        const auto b = quint8(c);
        if (b >= 0x20 && b < 0x80 && b != '"' && b != '\\') {
            *at++ = char(b);
        } else if (b >= 0x80) {
            *at++ = char(0xC0 | (b >> 6));
            *at++ = char(0x80 | (b & 0x3F));
        } else {
            QByteArray escaped;
            appendAscii(escaped, b);
            for (const char e : escaped)
                *at++ = e;
        }
    }
    *at++ = '"';
    out.truncate(at - out.constData());
}

void appendTimeKey(QByteArray& out, qint64 timeMs, const char* kind) {
    out += "{\"t\":\"";
    out += timeText(timeMs);
    out += "\",\"kind\":\"";
    out += kind;
    out += '"';
}

} // namespace

QLatin1String recordName() {
    return QLatin1String("krt418-session");
}

QLatin1String portEventName(PortEvent event) {
    switch (event) {
    case PortEvent::Opened:
        return QLatin1String("opened");
    case PortEvent::Closed:
        return QLatin1String("closed");
    case PortEvent::Lost:
        return QLatin1String("lost");
    case PortEvent::Reopened:
        return QLatin1String("reopened");
    }
    return QLatin1String("?");
}

std::optional<PortEvent> portEventFrom(QStringView name) {
    for (PortEvent e : {PortEvent::Opened, PortEvent::Closed, PortEvent::Lost, PortEvent::Reopened})
        if (name == portEventName(e)) return e;
    return std::nullopt;
}

namespace {
// The offset from UTC in force at a time, asked of the system once per
// quarter of an hour (every change of offset falls on one): asking for each
// event costs the system a look at its time zone files.
int offsetSecondsAt(qint64 msSinceEpoch) {
    constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    static thread_local qint64 cachedQuarter = std::numeric_limits<qint64>::min();
    static thread_local int cachedOffset = 0;
    const qint64 quarter = msSinceEpoch >= 0 ? msSinceEpoch / kQuarterMs
                                             : (msSinceEpoch - kQuarterMs + 1) / kQuarterMs;
    // A zone set for the process (TZ) is asked again when it changes.
    static thread_local std::string cachedZone;
    const char* zone = std::getenv("TZ");
    if (quarter != cachedQuarter || cachedZone != (zone ? zone : "")) {
        cachedOffset = QDateTime::fromMSecsSinceEpoch(msSinceEpoch).offsetFromUtc();
        cachedQuarter = quarter;
        cachedZone = zone ? zone : "";
    }
    return cachedOffset;
}

void putDigits(char*& at, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = char('0' + value % 10);
        value /= 10;
    }
    at += width;
}
} // namespace

QByteArray timeText(qint64 msSinceEpoch) {
    const int offsetSeconds = offsetSecondsAt(msSinceEpoch);
    // The day's part is made once a day; the rest is arithmetic.
    constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
    const qint64 local = msSinceEpoch + qint64(offsetSeconds) * 1000;
    const qint64 day = local >= 0 ? local / kDayMs : (local - kDayMs + 1) / kDayMs;
    static thread_local qint64 cachedDay = std::numeric_limits<qint64>::min();
    static thread_local QByteArray cachedDate;
    if (day != cachedDay) {
        const QDate date = QDateTime::fromMSecsSinceEpoch(day * kDayMs, Qt::UTC).date();
        cachedDate = date.year() >= 0 && date.year() <= 9999
                         ? date.toString(Qt::ISODate).toLatin1() + 'T'
                         : QByteArray();
        cachedDay = day;
    }
    if (!cachedDate.isEmpty()) {
        const int offset = offsetSeconds / 60;
        const int away = offset < 0 ? -offset : offset;
        const qint64 inDay = local - day * kDayMs;
        QByteArray out = cachedDate;
        out.resize(29);
        char* at = out.data() + 11;
        putDigits(at, int(inDay / 3600000), 2);
        *at++ = ':';
        putDigits(at, int(inDay / 60000 % 60), 2);
        *at++ = ':';
        putDigits(at, int(inDay / 1000 % 60), 2);
        *at++ = '.';
        putDigits(at, int(inDay % 1000), 3);
        *at++ = offset < 0 ? '-' : '+';
        putDigits(at, away / 60, 2);
        *at++ = ':';
        putDigits(at, away % 60, 2);
        return out;
    }
    // A year beyond four digits: no short way.
    const QDateTime shifted = QDateTime::fromMSecsSinceEpoch(local, Qt::UTC);
    const QDate d = shifted.date();
    const QTime t = shifted.time();
    const int offset = offsetSeconds / 60;
    const int away = offset < 0 ? -offset : offset;
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                                d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(),
                                t.msec(), offset < 0 ? '-' : '+', away / 60, away % 60);
    return QByteArray(text, n > 0 ? qMin(n, int(sizeof text) - 1) : 0);
}

std::optional<qint64> parseTime(QStringView s) {
    // yyyy-MM-ddTHH:mm:ss[.zzz](Z|+hh:mm|-hh:mm)
    if (s.size() < 20) return std::nullopt;
    const auto at = [&](qsizetype i, char16_t c) { return s[i].unicode() == c; };
    if (!at(4, u'-') || !at(7, u'-') || !at(10, u'T') || !at(13, u':') || !at(16, u':'))
        return std::nullopt;
    const int year = digits(s, 0, 4), month = digits(s, 5, 2), day = digits(s, 8, 2);
    const int hour = digits(s, 11, 2), minute = digits(s, 14, 2), second = digits(s, 17, 2);
    qsizetype i = 19;
    int ms = 0;
    if (at(i, u'.')) {
        if (s.size() < i + 4) return std::nullopt;
        ms = digits(s, i + 1, 3);
        i += 4;
    }
    int offsetMinutes = 0;
    if (s.size() == i + 1 && at(i, u'Z')) {
        ++i;
    } else if (s.size() != i + 6) {
        return std::nullopt;
    } else if (s.size() == i + 6 && (at(i, u'+') || at(i, u'-')) && at(i + 3, u':')) {
        const int h = digits(s, i + 1, 2), m = digits(s, i + 4, 2);
        if (h < 0 || h > 23 || m < 0 || m > 59) return std::nullopt;
        offsetMinutes = (at(i, u'-') ? -1 : 1) * (h * 60 + m);
        i += 6;
    }
    if (i != s.size() || year < 0 || month < 0 || day < 0 || ms < 0) return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid() || !QTime::isValid(hour, minute, second, ms)) return std::nullopt;
    const qint64 days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return ((days * 24 + hour) * 60 + minute - offsetMinutes) * 60000 + second * 1000 + ms;
}

void appendString(QByteArray& out, QStringView text) {
    out += '"';
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            appendAscii(out, u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(u, text[++i].unicode());
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else if (QChar::isSurrogate(u)) {
            // A half pair is no character UTF-8 can carry; QJsonDocument
            // writes it as an escape, which reads back as the same half.
            appendEscaped(out, u);
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    out += '"';
}

QByteArray headerLine(qint64 openedMs, const QString& program, int com, const QString& device,
                      const QString& settings) {
    QByteArray out = "{\"record\":";
    appendLatin1(out, QByteArrayView(recordName().data(), recordName().size()));
    out += ",\"version\":" + QByteArray::number(kVersion) + ",\"opened\":\"" + timeText(openedMs) +
           "\",\"program\":";
    appendString(out, program);
    out += ",\"com\":" + QByteArray::number(com) + ",\"device\":";
    appendString(out, device);
    out += ",\"settings\":";
    appendString(out, settings);
    out += "}\n";
    return out;
}

QByteArray wireLine(bool sent, QByteArrayView bytes, qint64 timeMs) {
    QByteArray out;
    out.reserve(64 + bytes.size() * 2);
    appendTimeKey(out, timeMs, sent ? "sent" : "received");
    out += ",\"bytes\":";
    appendLatin1(out, bytes);
    out += "}\n";
    return out;
}

QByteArray fieldLine(const QString& text, int colour, qint64 timeMs) {
    QByteArray out;
    out.reserve(64 + text.size() * 2);
    appendTimeKey(out, timeMs, "field");
    out += ",\"colour\":" + QByteArray::number(colour) + ",\"text\":";
    appendString(out, text);
    out += "}\n";
    return out;
}

QByteArray portLine(PortEvent event, int com, const QString& device, int errorNumber,
                    const QString& errorDescription, qint64 timeMs) {
    QByteArray out;
    appendTimeKey(out, timeMs, "port");
    out += ",\"event\":";
    const QLatin1String name = portEventName(event);
    appendLatin1(out, QByteArrayView(name.data(), name.size()));
    out += ",\"com\":" + QByteArray::number(com) + ",\"device\":";
    appendString(out, device);
    if (errorNumber != 0) {
        out += ",\"error\":{\"number\":" + QByteArray::number(errorNumber) + ",\"description\":";
        appendString(out, errorDescription);
        out += '}';
    }
    out += "}\n";
    return out;
}

QByteArray clearLine(qint64 timeMs) {
    QByteArray out;
    appendTimeKey(out, timeMs, "clear");
    out += "}\n";
    return out;
}

} // namespace record
