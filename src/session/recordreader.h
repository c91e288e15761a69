#pragma once
// Reads a session record (format in recordformat.h) and hands its events to
// a sink, in order. It trusts nothing in the file: a line may be cut, not
// JSON, huge, of an unknown kind or carry what no writer of ours writes.
//
// The whole file is refused, with one reason and nothing delivered, when it
// cannot be opened (a folder, a FIFO, a device: the type is checked before
// anything opens it, so nothing blocks; no permission; missing), is empty,
// does not start with a record's header (a text journal, say), or is of a
// newer version than this program reads. Otherwise every line that reads is
// delivered and every other is skipped and told as a problem, "line 12: not
// JSON, skipped" (lines counted from 1, the header), the whole in one line by
// summary(). A last line without its line end is one a crash cut short.
//
// The reader's own text for received events: after wire() of a received
// event, the sink's field() gets transformChunk() of its bytes in
// record::kDeviceColour, the device's text as the data field showed it
// (the record holds it once, as the bytes). A sink that fills a field from
// the field events alone then shows what the session's field showed.
//
// It reads in steps of a byte budget, so a window can read a gigabyte without
// freezing and show how far it got (position() of size()); memory holds at
// most one line, and a line longer than maxLineBytes() is skipped without
// being held. No exception leaves it.

#include "session/recordformat.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class RecordReader {
public:
    struct Header {
        int version = 0;
        qint64 openedMs = 0;
        QString program;
        int com = 0;
        QString device;
        QString settings;
    };
    struct Port {
        record::PortEvent event = record::PortEvent::Opened;
        int com = 0;
        QString device;
        int errorNumber = 0; // 0: no error
        QString errorDescription;
    };
    // Each may be left empty.
    struct Sink {
        std::function<void(const Header&)> header;
        std::function<void(const QString& text, int colour, qint64 timeMs)> field;
        std::function<void(bool sent, const QByteArray& bytes, qint64 timeMs)> wire;
        std::function<void(const Port& port, qint64 timeMs)> port;
        std::function<void(qint64 timeMs)> clear;
    };

    static constexpr qsizetype kMaxLineBytes = qsizetype(64) << 20;
    static constexpr qint64 kStepBytes = qint64(4) << 20;
    // Problems kept word for word; the rest are only counted.
    static constexpr int kKeptProblems = 100;

    explicit RecordReader(Sink sink);

    // Opens the file; the reason it is refused, or empty.
    QString open(const QString& path);
    // Reads on for about `budget` bytes. True while more is left to read.
    bool step(qint64 budget = kStepBytes);
    // Opens and reads it all; the reason it was refused, or empty.
    QString readAll(const QString& path);

    // The same from bytes in hand, in pieces of any size; end() says there
    // are no more (a last line without its line end is cut short).
    void feed(QByteArrayView bytes);
    void end();

    void setMaxLineBytes(qsizetype bytes) { maxLineBytes_ = bytes; }
    qsizetype maxLineBytes() const { return maxLineBytes_; }

    qint64 size() const { return size_; }
    qint64 position() const { return position_; }
    bool atEnd() const { return ended_; }
    // Why the whole file was refused, or empty.
    QString refusal() const { return refusal_; }
    // The skipped lines, each "line N: why, skipped" (the first kKeptProblems).
    QStringList problems() const;
    qint64 skippedLines() const { return skipped_; }
    qint64 lineCount() const { return lines_; }
    qint64 eventCount() const { return events_; }
    // One line for all of it: the refusal, or what was read and skipped.
    QString summary() const;

private:
    struct Problem {
        qint64 line;
        QString why;
    };
    void line(QByteArrayView bytes, bool cut, bool overlong);
    void event(const QByteArray& line, bool cut);
    void header(const QByteArray& text);
    void refuse(const QString& reason);
    void skip(const QString& why);

    Sink sink_;
    QFile file_;
    QByteArray carry_;      // the start of a line whose end is yet to come
    bool overlong_ = false; // inside a line too long to keep, skipping to its end
    qsizetype maxLineBytes_ = kMaxLineBytes;
    qint64 size_ = 0;
    qint64 position_ = 0;
    qint64 lines_ = 0;
    qint64 events_ = 0;
    qint64 skipped_ = 0;
    bool ended_ = false;
    QString refusal_;
    QList<Problem> problems_;
    QByteArray buffer_;
};
