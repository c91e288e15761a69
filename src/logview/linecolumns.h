#pragma once
// Where each character of the store is drawn: its display column within its
// line, a tab widening to the next stop. A line may be as long as the device
// makes it (a stream without a line end of hundreds of megabytes), so no
// question here costs more than a few thousand characters, however long the
// line: the column is kept every kStride characters into a line, and the
// open last line's column as it grows.

#include "logview/logstore.h"

#include <vector>

class LineColumns {
public:
    static constexpr qsizetype kTabColumns = 8;

    explicit LineColumns(const LogStore& store) : store_(store) {}

    // Takes in what the store appended since the last call.
    void update();
    // After the store was cleared.
    void clear();

    // Display column of a position within its line.
    qsizetype columnOf(qsizetype position) const;

    // The character cell of `line` that covers `column`: its position and
    // its first column. Past the line's last character, its end.
    struct Cell {
        qsizetype position;
        qsizetype column;
    };
    Cell cellAt(qsizetype line, qsizetype column) const;
    // The position nearest `column` on `line`, as a click picks it: a click
    // in the second half of a tab's cells lands after the tab.
    qsizetype positionNear(qsizetype line, qsizetype column) const;

    // Columns of the widest line so far, the open one included.
    qsizetype widest() const { return std::max(widest_, lastColumns_); }

    qsizetype bytesHeld() const { return qsizetype(marks_.capacity() * sizeof(Cell)); }

    static constexpr qsizetype kStride = 4096;

private:
    // The column after `from` (at `column`) up to `to`, within one line.
    qsizetype walk(qsizetype from, qsizetype column, qsizetype to) const;

    const LogStore& store_;
    qsizetype seen_ = 0;        // how much of the store is taken in
    qsizetype lastColumns_ = 0; // column at the end of the store
    qsizetype widest_ = 0;
    qsizetype nextMark_ = kStride;
    std::vector<Cell> marks_; // the column every kStride characters into a line
};
