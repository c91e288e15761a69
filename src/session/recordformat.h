#pragma once
// The session record's lines, as the journal writes them and the reader
// checks them: one JSON object a line (JSON Lines, UTF-8, LF after each).
//
// The first line says what the file is:
//   {"record":"krt418-session","version":1,"opened":"2026-12-10T08:03:04.120+01:00",
//    "program":"1.0","com":1,"device":"/dev/ttyS0","settings":"9600,N,8,1"}
// then one event a line, each with its time "t" and its "kind":
//   "sent", "received"  "bytes": the bytes, each one character U+0000-U+00FF
//   "field"             "colour" (a colour number), "text": a piece inserted
//                       into the data field, as it was inserted
//   "port"              "event" (opened, closed, lost, reopened), "com",
//                       "device", and for a failure "error":{"number","description"}
//   "clear"             the operator cleared the field
// Times are local time with milliseconds and the offset from UTC, always as
// +hh:mm or -hh:mm (never "Z"), so a line reads the same wherever it is read.
//
// The device's own text in the field is exactly transformChunk() of each
// received chunk, so it is not written twice: a field event is written for
// every other colour, and the device's text is re-created from the received
// events (a 30-character line then costs about a hundred bytes on disk).
//
// The lines are made here by hand, not through QJsonObject, so the keys keep
// the order above ("record" first: a file says what it is in its first
// bytes); strings are escaped exactly as QJsonDocument's compact form does.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace record {

constexpr int kVersion = 1;
// The colour of the device's text in the field (colour::Blue).
constexpr int kDeviceColour = 0xFF0000;
// What the first line's "record" says.
QLatin1String recordName();

enum class PortEvent { Opened, Closed, Lost, Reopened };
QLatin1String portEventName(PortEvent event);
std::optional<PortEvent> portEventFrom(QStringView name);

// "2026-12-10T08:03:04.120+01:00": local time, ms since the epoch given.
QByteArray timeText(qint64 msSinceEpoch);
// The time such a text stands for, in ms since the epoch; also takes "Z" and
// no milliseconds, nothing looser (no offset would mean "wherever it is read").
std::optional<qint64> parseTime(QStringView text);

// `text` as a JSON string with its quotes, escaped as QJsonDocument does.
void appendString(QByteArray& out, QStringView text);

QByteArray headerLine(qint64 openedMs, const QString& program, int com, const QString& device,
                      const QString& settings);
QByteArray wireLine(bool sent, QByteArrayView bytes, qint64 timeMs);
QByteArray fieldLine(const QString& text, int colour, qint64 timeMs);
// errorNumber 0: no error object.
QByteArray portLine(PortEvent event, int com, const QString& device, int errorNumber,
                    const QString& errorDescription, qint64 timeMs);
QByteArray clearLine(qint64 timeMs);

} // namespace record
