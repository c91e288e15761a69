#include "logview/linecolumns.h"

#include <algorithm>
#include <cstring>

namespace {
qsizetype afterTab(qsizetype column) {
    return (column / LineColumns::kTabColumns + 1) * LineColumns::kTabColumns;
}
} // namespace

void LineColumns::update() {
    qsizetype at = seen_;
    qsizetype column = lastColumns_;
    while (at < store_.length()) {
        const QByteArrayView piece = store_.piece(at);
        for (const char c : piece) {
            if (at == nextMark_) {
                marks_.push_back({at, column});
                nextMark_ += kStride;
            }
            if (c == '\n') {
                widest_ = std::max(widest_, column);
                column = 0;
                nextMark_ = at + 1 + kStride;
            } else {
                column = c == '\t' ? afterTab(column) : column + 1;
            }
            ++at;
        }
    }
    seen_ = at;
    lastColumns_ = column;
}

void LineColumns::clear() {
    seen_ = lastColumns_ = widest_ = 0;
    nextMark_ = kStride;
    std::vector<Cell>().swap(marks_);
}

qsizetype LineColumns::walk(qsizetype from, qsizetype column, qsizetype to) const {
    for (qsizetype at = from; at < to;) {
        const QByteArrayView piece =
            store_.piece(at).first(std::min(store_.piece(at).size(), to - at));
        const char* tab =
            static_cast<const char*>(std::memchr(piece.data(), '\t', size_t(piece.size())));
        if (!tab) {
            column += piece.size();
            at += piece.size();
            continue;
        }
        column = afterTab(column + (tab - piece.data()));
        at += (tab - piece.data()) + 1;
    }
    return column;
}

qsizetype LineColumns::columnOf(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, store_.length());
    if (position == seen_) return lastColumns_;
    const qsizetype start = store_.lineStart(store_.lineAt(position));
    const auto after = std::upper_bound(marks_.begin(), marks_.end(), position,
                                        [](qsizetype p, const Cell& m) { return p < m.position; });
    if (after != marks_.begin() && std::prev(after)->position >= start) {
        const Cell& mark = *std::prev(after);
        return walk(mark.position, mark.column, position);
    }
    return walk(start, 0, position);
}

LineColumns::Cell LineColumns::cellAt(qsizetype line, qsizetype column) const {
    const qsizetype start = store_.lineStart(line);
    const qsizetype end = start + store_.lineLength(line);
    // The last mark of this line at or before the column.
    const auto first = std::lower_bound(marks_.begin(), marks_.end(), start,
                                        [](const Cell& m, qsizetype p) { return m.position < p; });
    const auto past = std::upper_bound(first, marks_.end(), end,
                                       [](qsizetype p, const Cell& m) { return p < m.position; });
    const auto after = std::upper_bound(first, past, column,
                                        [](qsizetype c, const Cell& m) { return c < m.column; });
    Cell at = after == first ? Cell{start, 0} : *std::prev(after);
    while (at.position < end) {
        const QByteArrayView piece =
            store_.piece(at.position)
                .first(std::min(store_.piece(at.position).size(), end - at.position));
        const char* tab =
            static_cast<const char*>(std::memchr(piece.data(), '\t', size_t(piece.size())));
        const qsizetype plain = tab ? tab - piece.data() : piece.size();
        if (column < at.column + plain) return {at.position + (column - at.column), column};
        at.position += plain;
        at.column += plain;
        if (!tab) continue;
        if (column < afterTab(at.column)) return at;
        at.column = afterTab(at.column);
        ++at.position;
    }
    return at;
}

qsizetype LineColumns::positionNear(qsizetype line, qsizetype column) const {
    const Cell cell = cellAt(line, column);
    if (cell.column == column || store_.at(cell.position) != '\t' ||
        cell.position >= store_.lineStart(line) + store_.lineLength(line))
        return cell.position;
    const qsizetype next = afterTab(cell.column);
    return column - cell.column <= next - column ? cell.position : cell.position + 1;
}
