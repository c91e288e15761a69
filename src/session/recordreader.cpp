#include "session/recordreader.h"

#include "link/receive.h"
#include "platform/regularfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <cstring>
#include <exception>
#include <optional>

namespace {

const qsizetype kReadBytes = qsizetype(1) << 20;

std::optional<int> wholeNumber(const QJsonValue& v, double least, double most) {
    if (!v.isDouble()) return std::nullopt;
    const double d = v.toDouble();
    if (!(d >= least && d <= most) || std::floor(d) != d) return std::nullopt;
    return int(d);
}

std::optional<QString> stringOf(const QJsonValue& v) {
    if (!v.isString()) return std::nullopt;
    return v.toString();
}

std::optional<qint64> timeOf(const QJsonValue& v) {
    if (!v.isString()) return std::nullopt;
    return record::parseTime(v.toString());
}

// A kind as it may be shown: short, and without line breaks or controls.
QString shown(const QString& kind) {
    QString s = kind.left(40);
    for (QChar& c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char('?');
    return s + (kind.size() > 40 ? QStringLiteral("...") : QString());
}

QJsonObject parsedObject(const QByteArray& text, bool& isJson) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    isJson = error.error == QJsonParseError::NoError;
    return doc.object();
}

} // namespace

RecordReader::RecordReader(Sink sink) : sink_(std::move(sink)) {}

QString RecordReader::open(const QString& path) {
    const QString reason = platform::openRegularFile(path, file_);
    if (!reason.isEmpty()) {
        refuse(reason);
        return reason;
    }
    size_ = file_.size();
    return QString();
}

bool RecordReader::step(qint64 budget) {
    if (ended_ || !file_.isOpen()) return false;
    budget = qMax<qint64>(budget, 1);
    qint64 done = 0;
    do {
        if (buffer_.size() != kReadBytes) buffer_.resize(kReadBytes);
        const qint64 n = file_.read(buffer_.data(), qMin<qint64>(kReadBytes, budget - done));
        if (n < 0) {
            refuse(QStringLiteral("cannot read on: ") + file_.errorString());
            break;
        }
        if (n == 0) {
            end();
            break;
        }
        done += n;
        position_ += n;
        feed(QByteArrayView(buffer_.constData(), n));
    } while (done < budget && !ended_);
    if (ended_) {
        file_.close();
        buffer_ = QByteArray();
    }
    return !ended_;
}

QString RecordReader::readAll(const QString& path) {
    if (!open(path).isEmpty()) return refusal_;
    while (step()) {
    }
    return refusal_;
}

void RecordReader::feed(QByteArrayView bytes) {
    if (ended_) return;
    try {
        const char* data = bytes.data();
        qsizetype from = 0;
        while (from < bytes.size() && !ended_) {
            const auto* lf = static_cast<const char*>(
                std::memchr(data + from, '\n', size_t(bytes.size() - from)));
            const qsizetype to = lf ? lf - data : bytes.size();
            const QByteArrayView piece(data + from, to - from);
            if (!overlong_ && carry_.size() + piece.size() > maxLineBytes_) {
                overlong_ = true;
                carry_ = QByteArray();
            }
            if (!lf) {
                if (!overlong_) carry_.append(piece);
                break;
            }
            if (overlong_) {
                overlong_ = false;
                line(QByteArrayView(), false, true);
            } else if (carry_.isEmpty()) {
                line(piece, false, false);
            } else {
                carry_.append(piece);
                line(carry_, false, false);
                carry_.clear();
            }
            from = to + 1;
        }
    } catch (const std::exception& e) {
        refuse(QStringLiteral("reading stopped: ") + QString::fromLocal8Bit(e.what()));
    } catch (...) {
        refuse(QStringLiteral("reading stopped"));
    }
}

void RecordReader::end() {
    if (ended_) return;
    try {
        if (overlong_)
            line(QByteArrayView(), true, true);
        else if (!carry_.isEmpty())
            line(carry_, true, false);
        if (lines_ == 0 && !ended_) refuse(QStringLiteral("an empty file"));
    } catch (...) {
        refuse(QStringLiteral("reading stopped"));
    }
    carry_ = QByteArray();
    ended_ = true;
}

void RecordReader::line(QByteArrayView bytes, bool cut, bool overlong) {
    ++lines_;
    if (overlong) {
        const qsizetype mib = qsizetype(1) << 20;
        const QString why = maxLineBytes_ % mib == 0
                                ? QStringLiteral("longer than %1 MiB").arg(maxLineBytes_ / mib)
                                : QStringLiteral("longer than %1 bytes").arg(maxLineBytes_);
        if (lines_ == 1)
            refuse(QStringLiteral("not a session record: its first line is ") + why);
        else
            skip(why);
        return;
    }
    // The text is not copied: it lives until the line is handled.
    const QByteArray text = QByteArray::fromRawData(bytes.data(), bytes.size());
    if (lines_ == 1)
        header(text);
    else
        event(text, cut);
}

void RecordReader::header(const QByteArray& text) {
    bool isJson = false;
    const QJsonObject o = parsedObject(text, isJson);
    if (!isJson || o.value(QLatin1String("record")).toString() != record::recordName()) {
        refuse(QStringLiteral("not a session record: its first line is no record header"));
        return;
    }
    const std::optional<int> version = wholeNumber(o.value(QLatin1String("version")), 1, 1e9);
    if (!version) {
        refuse(QStringLiteral("a record header without a version"));
        return;
    }
    if (*version > record::kVersion) {
        refuse(QStringLiteral("a record of version %1, newer than this program reads (%2)")
                   .arg(*version)
                   .arg(record::kVersion));
        return;
    }
    const auto opened = timeOf(o.value(QLatin1String("opened")));
    const auto program = stringOf(o.value(QLatin1String("program")));
    const auto com = wholeNumber(o.value(QLatin1String("com")), 0, 255);
    const auto device = stringOf(o.value(QLatin1String("device")));
    const auto settings = stringOf(o.value(QLatin1String("settings")));
    const char* bad = !opened     ? "opened"
                      : !program  ? "program"
                      : !com      ? "com"
                      : !device   ? "device"
                      : !settings ? "settings"
                                  : nullptr;
    if (bad) {
        refuse(QStringLiteral("a record header without a valid \"%1\"").arg(QLatin1String(bad)));
        return;
    }
    if (sink_.header) sink_.header(Header{*version, *opened, *program, *com, *device, *settings});
}

void RecordReader::event(const QByteArray& line, bool cut) {
    bool isJson = false;
    const QJsonObject o = parsedObject(line, isJson);
    if (!isJson) {
        // The writer writes whole lines: one without its end is what a crash
        // left, unless the cut fell just before the line end.
        skip(cut ? QStringLiteral("cut short (the file ends inside it)")
                 : QStringLiteral("not JSON"));
        return;
    }
    const QJsonValue kindValue = o.value(QLatin1String("kind"));
    if (!kindValue.isString()) {
        skip(QStringLiteral("no kind"));
        return;
    }
    const QString kind = kindValue.toString();
    const std::optional<qint64> t = timeOf(o.value(QLatin1String("t")));
    if (!t) {
        skip(QStringLiteral("no valid time"));
        return;
    }
    const bool sent = kind == QLatin1String("sent");
    if (sent || kind == QLatin1String("received")) {
        const std::optional<QString> chars = stringOf(o.value(QLatin1String("bytes")));
        if (!chars) {
            skip(QStringLiteral("no bytes"));
            return;
        }
        for (const QChar c : *chars) {
            if (c.unicode() > 0xFF) {
                skip(QStringLiteral("bytes above U+00FF"));
                return;
            }
        }
        const QByteArray bytes = chars->toLatin1();
        ++events_;
        if (sink_.wire) sink_.wire(sent, bytes, *t);
        if (!sent && sink_.field) sink_.field(transformChunk(bytes), record::kDeviceColour, *t);
    } else if (kind == QLatin1String("field")) {
        const auto colour = wholeNumber(o.value(QLatin1String("colour")), 0, 0xFFFFFF);
        const auto inserted = stringOf(o.value(QLatin1String("text")));
        if (!colour || !inserted) {
            skip(QStringLiteral("a field event without a valid colour and text"));
            return;
        }
        ++events_;
        if (sink_.field) sink_.field(*inserted, *colour, *t);
    } else if (kind == QLatin1String("port")) {
        const auto event = o.value(QLatin1String("event"));
        const auto change = event.isString() ? record::portEventFrom(event.toString())
                                             : std::optional<record::PortEvent>();
        const auto com = wholeNumber(o.value(QLatin1String("com")), 0, 255);
        const auto device = stringOf(o.value(QLatin1String("device")));
        Port port;
        bool valid = change && com && device;
        if (valid) port = Port{*change, *com, *device, 0, QString()};
        const QJsonValue error = o.value(QLatin1String("error"));
        if (valid && !error.isUndefined()) {
            const QJsonObject e = error.toObject();
            const auto number = wholeNumber(e.value(QLatin1String("number")), -1e9, 1e9);
            const auto description = stringOf(e.value(QLatin1String("description")));
            valid = error.isObject() && number && description;
            if (valid) {
                port.errorNumber = *number;
                port.errorDescription = *description;
            }
        }
        if (!valid) {
            skip(QStringLiteral("a port event without a valid event, com, device or error"));
            return;
        }
        ++events_;
        if (sink_.port) sink_.port(port, *t);
    } else if (kind == QLatin1String("clear")) {
        ++events_;
        if (sink_.clear) sink_.clear(*t);
    } else {
        skip(QStringLiteral("unknown kind \"%1\"").arg(shown(kind)));
    }
}

void RecordReader::refuse(const QString& reason) {
    if (refusal_.isEmpty()) refusal_ = reason;
    ended_ = true;
    carry_ = QByteArray();
}

void RecordReader::skip(const QString& why) {
    ++skipped_;
    if (problems_.size() < kKeptProblems) problems_.append({lines_, why});
}

QStringList RecordReader::problems() const {
    QStringList out;
    for (const Problem& p : problems_)
        out << QStringLiteral("line %1: %2, skipped").arg(p.line).arg(p.why);
    return out;
}

QString RecordReader::summary() const {
    if (!refusal_.isEmpty()) return refusal_;
    QString s = QStringLiteral("%1 %2 read")
                    .arg(events_)
                    .arg(events_ == 1 ? QStringLiteral("event") : QStringLiteral("events"));
    if (skipped_ == 0) return s;
    s += QStringLiteral(", %1 %2 skipped: line %3: %4")
             .arg(skipped_)
             .arg(skipped_ == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
             .arg(problems_.first().line)
             .arg(problems_.first().why);
    if (skipped_ > 1) s += QStringLiteral(" (and %1 more)").arg(skipped_ - 1);
    return s;
}
