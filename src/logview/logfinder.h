#pragma once
// Find in the data field: where a text occurs in the field's store (or in
// any bytes kept in blocks, such as the wire record), and how often, counted
// a little at a time so the window never freezes on a long log.
//
// The text is matched as the field shows it: one Latin-1 character per byte,
// line ends never part of a match, matches free to overlap ("aa" occurs twice
// in "aaa") and to run across the store's blocks. Without "Match case" the
// case of Latin-1 letters is ignored ("é" finds "É"). Bytes given as bytes
// (setBytes) are matched exactly, line ends included.

#include "logview/logstore.h"

#include <QString>

#include <array>
#include <functional>
#include <vector>

class LogFinder {
public:
    explicit LogFinder(const LogStore& store);
    // Over other bytes: each piece runs from a position to the end of its
    // block of kBlockBytes; length() is how many there are now.
    struct Source {
        std::function<QByteArrayView(qsizetype)> piece;
        std::function<qsizetype()> length;
    };
    explicit LogFinder(Source source);
    static constexpr qsizetype kBlockBytes = LogStore::kBlockBytes;

    // A new query; the count starts again.
    void setQuery(const QString& text, bool matchCase);
    // Exactly these bytes, whatever they are.
    void setBytes(const QByteArray& bytes);
    const QString& query() const { return query_; }
    bool matchCase() const { return matchCase_; }
    // Whether the query can match at all: not empty, no line end, and every
    // character one the field can show (Latin-1).
    bool searchable() const { return searchable_; }
    qsizetype queryLength() const { return pattern_.size(); }

    struct Match {
        qsizetype start = -1;
        bool wrapped = false; // found only by going round past the end (or the top)
        bool found() const { return start >= 0; }
    };
    // The first match starting at or after `from`, else the first of all.
    Match next(qsizetype from) const;
    // The last match starting before `before`, else the last of all.
    Match previous(qsizetype before) const;
    // Starts of the matches that overlap [from, to), in order.
    std::vector<qsizetype> matchesIn(qsizetype from, qsizetype to) const;

    // Counts on through about `budget` more bytes of the store; true once every
    // match in the store as it stands is counted. Text appended later is
    // counted by further calls.
    bool count(qsizetype budget);
    bool counted() const;
    qsizetype matchCount() const { return total_; }
    // Matches starting at or before `position`: the 1-based place of the match
    // starting there. Valid when counted().
    qsizetype ordinal(qsizetype position) const;
    // The store was cleared: the count starts again, the query stays.
    void restart();

private:
    // One past the last position where a match can start in the store now.
    qsizetype startsEnd() const;
    // Calls `found(start)` for each match starting in [from, to), in order,
    // until it returns false; false if stopped that way.
    template <typename Found> bool eachMatch(qsizetype from, qsizetype to, Found found) const;
    template <typename Found>
    bool eachMatchIn(const char* data, qsizetype starts, qsizetype base, Found& found) const;
    // The last match starting in [from, to), or -1.
    qsizetype lastMatch(qsizetype from, qsizetype to) const;

    Source source_;
    QString query_;
    bool matchCase_ = false;
    bool searchable_ = false;
    // The query as bytes, each through fold_; fold_ maps a byte to the one it
    // matches as (itself when matching case).
    QByteArray pattern_;
    const std::array<unsigned char, 256>* fold_ = nullptr;
    // The bytes that match the query's first character (one or two).
    unsigned char first_[2] = {0, 0};

    // Matches are counted for every start below countedTo_; by the block of
    // the store they start in, so a place among them is found from the sums
    // of the blocks before and one block's scan.
    qsizetype countedTo_ = 0;
    qsizetype total_ = 0;
    std::vector<qsizetype> blockCounts_;
};
