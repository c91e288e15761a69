#include "logview/glyphcells.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>

void GlyphCells::setFont(const QFont& font) {
    font_ = font;
    const QFontMetrics fm(font);
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    lineHeight_ = std::max(1, fm.lineSpacing());
    ascent_ = fm.ascent();
    rawFont_ = QRawFont::fromFont(font);
    QString all;
    for (int c = 0; c < 256; ++c)
        all.append(QChar(c));
    glyphs_ = rawFont_.isValid() ? rawFont_.glyphIndexesForString(all) : QList<quint32>();
    pictures_ = rawFont_.isValid() && rawFont_.supportsCharacter(QChar(0x2406)) &&
                rawFont_.supportsCharacter(QChar(0x2415));
    small_ = font;
    small_.setPixelSize(std::max(5, (lineHeight_ - 2) / 2));
}

void GlyphCells::drawRun(QPainter& p, double x, double baseline, const QString& run,
                         const QColor& ink) const {
    if (run.isEmpty()) return;
    p.setPen(ink);
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(run.size());
    positions.reserve(run.size());
    for (qsizetype i = 0; i < run.size() && glyphs_.size() == 256; ++i) {
        const quint32 glyph = glyphs_[run.at(i).unicode() & 0xFF];
        if (glyph == 0) break; // not in this font: drawn as text, with a fallback
        indexes.append(glyph);
        positions.append(QPointF(double(i * charWidth_), 0));
    }
    if (indexes.size() == run.size()) {
        QGlyphRun glyphRun;
        glyphRun.setRawFont(rawFont_);
        glyphRun.setGlyphIndexes(indexes);
        glyphRun.setPositions(positions);
        p.drawGlyphRun(QPointF(x, baseline), glyphRun);
    } else {
        p.setFont(font_);
        p.drawText(QPointF(x, baseline), run);
    }
}

void GlyphCells::drawStandIn(QPainter& p, const QRect& cell, uchar c, const QColor& ink) const {
    p.setPen(ink);
    if (c == 0xAD) {
        p.setFont(font_);
        p.drawText(QPointF(double(cell.left()), double(cell.top() + ascent_)), QStringLiteral("-"));
        return;
    }
    if (pictures_ && (c < 0x20 || c == 0x7F)) {
        p.setFont(font_);
        p.drawText(QPointF(double(cell.left()), double(cell.top() + ascent_)),
                   QString(QChar(c == 0x7F ? 0x2421 : 0x2400 + c)));
        return;
    }
    // Its value, the high digit over the low one, in a thin frame.
    static const char digits[] = "0123456789ABCDEF";
    const QRect box = cell.adjusted(0, 1, -1, -1);
    p.drawRect(box);
    p.setFont(small_);
    const int half = box.height() / 2;
    p.drawText(QRect(box.left(), box.top(), box.width() + 1, half + 1), Qt::AlignCenter,
               QString(QLatin1Char(digits[c >> 4])));
    p.drawText(QRect(box.left(), box.top() + half, box.width() + 1, box.height() - half + 1),
               Qt::AlignCenter, QString(QLatin1Char(digits[c & 0xF])));
}
