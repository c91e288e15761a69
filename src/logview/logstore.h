#pragma once
// What the data field holds: its characters one byte each (they are Latin-1
// by construction), where each line starts, and the colour of each stretch.
// Widget-free, so it is tested and measured without a display.
//
// Positions count characters with each line end one character, as the field
// has always counted them. A line end is a CR, an LF, or a CR LF within one
// appended text; it is kept as one '\n' byte and read back as the caller asks
// (CR LF for Save and the field's text, "\n" for a copy).

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <limits>
#include <memory>
#include <vector>

class LogStore {
public:
    // A colour run: from `start` up to the next run's start, in `colour`
    // (a colour number: lowest byte red, next green, next blue).
    struct Run {
        qsizetype start;
        int colour;
    };

    LogStore();

    // Appends `text` in `colour`, inserted at `timeMs` (ms since the epoch).
    // A character above 255 (never sent by the device nor typed into a
    // frame) is kept as '?'.
    void append(QStringView text, int colour, qint64 timeMs = 0);
    void clear();

    qsizetype length() const { return length_; }
    bool isEmpty() const { return length_ == 0; }
    // Lines, the last one counted even when it is empty: an empty store has one.
    qsizetype lineCount() const { return qsizetype(lineStarts_.size()); }
    qsizetype lineStart(qsizetype line) const { return lineStarts_[size_t(line)]; }
    // Characters of a line without its end.
    qsizetype lineLength(qsizetype line) const;
    // The line that holds `position` (a line end belongs to its line).
    qsizetype lineAt(qsizetype position) const;
    // Whether the last line has characters and no end yet.
    bool lastLineOpen() const { return lineLength(lineCount() - 1) > 0; }
    // When the insertion that brought the line's first character came (ms
    // since the epoch); -1 for a last line that has none yet.
    qint64 lineTime(qsizetype line) const;

    // The character at `position` as a byte; a line end reads '\n'.
    char at(qsizetype position) const;
    // Characters from..to, each line end as `lineEnd`.
    QString text(qsizetype from, qsizetype to, QStringView lineEnd) const;
    QString text(QStringView lineEnd) const { return text(0, length_, lineEnd); }
    // The same as bytes, one byte a character: what Save writes.
    QByteArray bytes(qsizetype from, qsizetype to, QByteArrayView lineEnd) const;

    // Characters from..to that outlive a clear of the store: the excerpt
    // shares the blocks that hold them, so taking one copies nothing and its
    // text is built only when asked for (a copy to the clipboard).
    class Excerpt {
    public:
        Excerpt() = default;
        qsizetype length() const { return to_ - from_; }
        // Each line end "\n".
        QString text() const;

    private:
        friend class LogStore;
        std::vector<std::shared_ptr<const char[]>> blocks_;
        qsizetype from_ = 0; // positions within the first block onwards
        qsizetype to_ = 0;
    };
    Excerpt excerpt(qsizetype from, qsizetype to) const;

    // The bytes from `position` to the end of their block: a view that stays
    // valid until the store is cleared. Empty at the end.
    QByteArrayView piece(qsizetype position) const;

    // Colour runs, in order, none empty; the first starts at 0.
    const std::vector<Run>& runs() const { return runs_; }
    // Index of the run that holds `position`.
    size_t runAt(qsizetype position) const;
    // Where that run ends.
    qsizetype runEnd(size_t run) const;

    // Bytes held in memory, for the figures.
    qsizetype bytesHeld() const;

    // Characters per block: a block once full never moves again.
    static constexpr qsizetype kBlockBytes = 64 * 1024;

private:
    // Appends characters from..to to `out` as they are held, a line end as '\n'.
    template <typename Out> void appendRange(Out& out, qsizetype from, qsizetype to) const;
    template <typename Out, typename LineEnd>
    Out collect(qsizetype from, qsizetype to, LineEnd lineEnd) const;

    // Shared with the excerpts taken of them; the store alone writes them.
    std::vector<std::shared_ptr<char[]>> blocks_;
    qsizetype length_ = 0;
    std::vector<qsizetype> lineStarts_;
    // Each line's time, 4 bytes a line: ms after the base of its epoch. A
    // new epoch begins where a time no longer fits (after 49 days).
    std::vector<quint32> lineTimes_;
    struct Epoch {
        qsizetype firstLine;
        qint64 base;
    };
    std::vector<Epoch> epochs_;
    qint64 lastTime_ = std::numeric_limits<qint64>::min();
    std::vector<Run> runs_;
};
