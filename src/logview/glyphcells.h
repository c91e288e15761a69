#pragma once
// Text drawn in the cells of a fixed grid, one byte a cell: each byte's
// glyph looked up once per font, so a run is drawn at the grid's positions
// without shaping it at every paint. A control character is drawn as a
// visible stand-in of one cell: its picture where the font has one, else its
// value in two small hex digits, so that no two look alike.

#include <QFont>
#include <QList>
#include <QRawFont>
#include <QString>

class QColor;
class QPainter;
class QPointF;
class QRect;

class GlyphCells {
public:
    void setFont(const QFont& font);
    const QFont& font() const { return font_; }
    int charWidth() const { return charWidth_; }
    int lineHeight() const { return lineHeight_; }
    int ascent() const { return ascent_; }

    // The bytes drawn one cell at a time as a stand-in: the control
    // characters (which a font draws as nothing, or with another advance)
    // and the soft hyphen (which a shaper drops).
    static bool drawnAlone(uchar c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD; }

    // A run of bytes none of which is drawn alone, its first cell's left
    // edge at x, its baseline at `baseline`.
    void drawRun(QPainter& p, double x, double baseline, const QString& run,
                 const QColor& ink) const;
    // One byte drawn alone, in its cell.
    void drawStandIn(QPainter& p, const QRect& cell, uchar c, const QColor& ink) const;

private:
    QFont font_;
    QFont small_; // for the hex digits of a stand-in
    int charWidth_ = 8;
    int lineHeight_ = 14;
    int ascent_ = 11;
    QRawFont rawFont_;
    QList<quint32> glyphs_; // the glyph of each byte in rawFont_, 0 where it has none
    bool pictures_ = false; // the font has the control pictures
};
