#include "logview/linepainter.h"

#include "logview/colours.h"

#include <QFontMetrics>
#include <QGlyphRun>
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

// Characters drawn one cell at a time as a visible stand-in: the control
// characters (which a font draws as nothing, or with another advance) and
// the soft hyphen (which a shaper drops).
bool drawnAlone(uchar c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD;
}
QChar standIn(uchar c) {
    if (c < 0x20) return QChar(0x2400 + c); // the control pictures
    if (c == 0x7F) return QChar(0x2421);
    if (c == 0xAD) return QLatin1Char('-');
    return QChar(0x2592); // a C1 control: a shaded cell
}
} // namespace

QColor LinePainter::paper() {
    return kPaper;
}

QColor LinePainter::caret() {
    return kCaret;
}

void LinePainter::setFont(const QFont& font) {
    font_ = font;
    const QFontMetrics fm(font);
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    lineHeight_ = std::max(1, fm.lineSpacing());
    ascent_ = fm.ascent();
    // The glyph of each byte, looked up once: a line is then drawn at the
    // grid's positions without shaping its text at every paint.
    rawFont_ = QRawFont::fromFont(font);
    QString all;
    for (int c = 0; c < 256; ++c)
        all.append(QChar(c));
    glyphs_ = rawFont_.isValid() ? rawFont_.glyphIndexesForString(all) : QList<quint32>();
}

void LinePainter::paint(QPainter& p, const LogStore& store, const LineColumns& columns,
                        qsizetype line, int y, const QRect& clip, const View& view) const {
    const qsizetype end = store.lineStart(line) + store.lineLength(line);
    const qsizetype firstColumn = (view.leftPixel + std::max(0, clip.left())) / charWidth_;
    const qsizetype lastColumn = (view.leftPixel + clip.right()) / charWidth_ + 1;
    const auto left = [&](qsizetype column) { return int(column * charWidth_ - view.leftPixel); };

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
    QList<quint32> indexes;
    QList<QPointF> positions;
    auto drawPending = [&] {
        if (pending.isEmpty()) return;
        p.setPen(pendingColour);
        const QPointF origin(double(left(pendingColumn)), double(y + ascent_));
        indexes.clear();
        positions.clear();
        for (qsizetype i = 0; i < pending.size() && glyphs_.size() == 256; ++i) {
            const quint32 glyph = glyphs_[pending.at(i).unicode()];
            if (glyph == 0) break; // not in this font: drawn as text, with a fallback
            indexes.append(glyph);
            positions.append(QPointF(double(i * charWidth_), 0));
        }
        if (indexes.size() == pending.size()) {
            QGlyphRun glyphRun;
            glyphRun.setRawFont(rawFont_);
            glyphRun.setGlyphIndexes(indexes);
            glyphRun.setPositions(positions);
            p.drawGlyphRun(origin, glyphRun);
        } else {
            p.setFont(font_);
            p.drawText(origin, pending);
        }
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
        const QRect cell(left(column), y, int(width * charWidth_), lineHeight_);
        if (selected)
            p.fillRect(cell, kSelection);
        else if (marked)
            p.fillRect(cell, kMark);
        const QColor ink = selected ? kSelectedInk : colour::toQColor(store.runs()[run].colour);
        if (c == '\t' || drawnAlone(c) || ink != pendingColour) drawPending();
        if (c == '\t') {
            // nothing drawn: the cells stay blank
        } else if (drawnAlone(c)) {
            p.setPen(ink);
            p.setFont(font_);
            p.drawText(QPointF(double(cell.left()), double(y + ascent_)), QString(standIn(c)));
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
        p.fillRect(QRect(left(column), y, charWidth_, lineHeight_), kSelection);
}
