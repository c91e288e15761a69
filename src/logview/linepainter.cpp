#include "logview/linepainter.h"

#include "logview/colours.h"

#include <QPainter>

#include <algorithm>

namespace {
// Black, red and blue text keep on the paper the contrast they were chosen
// for (21, 4 and 8.6 to 1), the selection's white text 5.4 to 1.
const QColor kPaper(255, 255, 255);
const QColor kCaret(0, 0, 0);
const QColor kSelection(0x33, 0x66, 0xcc);
const QColor kSelectedInk(255, 255, 255);
const QColor kMark(255, 225, 90);

} // namespace

QColor LinePainter::paper() {
    return kPaper;
}

QColor LinePainter::caret() {
    return kCaret;
}

QColor LinePainter::selection() {
    return kSelection;
}

QColor LinePainter::selectedInk() {
    return kSelectedInk;
}

QColor LinePainter::mark() {
    return kMark;
}

void LinePainter::paint(QPainter& p, const LogStore& store, const LineColumns& columns,
                        qsizetype line, int y, const QRect& clip, const View& view) const {
    const qsizetype end = store.lineStart(line) + store.lineLength(line);
    const int charWidth = cells_.charWidth(), lineHeight = cells_.lineHeight();
    const qsizetype firstColumn = (view.leftPixel + std::max(0, clip.left())) / charWidth;
    const qsizetype lastColumn = (view.leftPixel + clip.right()) / charWidth + 1;
    const auto left = [&](qsizetype column) { return int(column * charWidth - view.leftPixel); };

    // From the cell at the first column on screen, cell by cell as far as
    // the screen goes, gathering equal cells into one text.
    const LineColumns::Cell from = columns.cellAt(line, firstColumn);
    qsizetype at = from.position, column = from.column;
    std::vector<std::pair<qsizetype, qsizetype>> marks;
    if (view.marks && *view.marks)
        marks = (*view.marks)(at, std::min(end, columns.cellAt(line, lastColumn).position + 1));
    size_t run = store.runAt(std::min(at, std::max<qsizetype>(0, store.length() - 1)));
    qsizetype runEnd = store.runEnd(run);
    size_t mark = 0;
    QString pending;
    qsizetype pendingColumn = 0;
    QColor pendingColour;
    auto drawPending = [&] {
        cells_.drawRun(p, double(left(pendingColumn)), double(y + cells_.ascent()), pending,
                       pendingColour);
        pending.clear();
    };
    for (; at < end && column < lastColumn; ++at) {
        const uchar c = uchar(store.at(at));
        const qsizetype width =
            c == '\t' ? (column / LineColumns::kTabColumns + 1) * LineColumns::kTabColumns - column
                      : 1;
        if (column + width <= firstColumn) {
            column += width;
            continue;
        }
        while (at >= runEnd && run + 1 < store.runs().size())
            runEnd = store.runEnd(++run);
        while (mark < marks.size() && marks[mark].second <= at)
            ++mark;
        const bool selected = at >= view.selFrom && at < view.selTo;
        const bool marked = mark < marks.size() && marks[mark].first <= at;
        const QRect cell(left(column), y, int(width * charWidth), lineHeight);
        if (selected)
            p.fillRect(cell, kSelection);
        else if (marked)
            p.fillRect(cell, kMark);
        const QColor ink = selected ? kSelectedInk : colour::toQColor(store.runs()[run].colour);
        const bool alone = GlyphCells::drawnAlone(c);
        if (c == '\t' || alone || ink != pendingColour) drawPending();
        if (c == '\t') {
            // nothing drawn: the cells stay blank
        } else if (alone) {
            cells_.drawStandIn(p, cell, c, ink);
        } else {
            if (pending.isEmpty()) {
                pendingColumn = column;
                pendingColour = ink;
            }
            pending.append(QLatin1Char(char(c)));
        }
        column += width;
    }
    drawPending();
    // A selected line end shows as one highlighted cell after the line.
    if (end < store.length() && end >= view.selFrom && end < view.selTo && column < lastColumn)
        p.fillRect(QRect(left(column), y, charWidth, lineHeight), kSelection);
}
