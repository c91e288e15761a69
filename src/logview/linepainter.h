#pragma once
// Draws the data field's lines: one fixed advance a column, each byte's
// glyph looked up once per font, control characters as visible stand-ins,
// the selection and the marks of a find behind them. It looks only at the
// cells on screen, however long the line.

#include "logview/linecolumns.h"
#include "logview/logstore.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QRawFont>

#include <functional>
#include <utility>
#include <vector>

class QPainter;
class QRect;

class LinePainter {
public:
    // The stretches to mark (the matches of a find) among positions from..to.
    using Marks = std::function<std::vector<std::pair<qsizetype, qsizetype>>(qsizetype, qsizetype)>;

    // The field's own colours, the same in any theme.
    static QColor paper();
    static QColor caret();

    void setFont(const QFont& font);
    int charWidth() const { return charWidth_; }
    int lineHeight() const { return lineHeight_; }

    // What a paint of lines shows besides the text.
    struct View {
        qsizetype leftPixel; // the first pixel column on screen
        qsizetype selFrom;   // the selection, empty when from == to
        qsizetype selTo;
        const Marks* marks; // or null
    };
    // Draws `line` of the store with its top at `y`, as far as `clip` goes.
    void paint(QPainter& p, const LogStore& store, const LineColumns& columns, qsizetype line,
               int y, const QRect& clip, const View& view) const;

private:
    QFont font_;
    int charWidth_ = 8;
    int lineHeight_ = 14;
    int ascent_ = 11;
    QRawFont rawFont_;
    QList<quint32> glyphs_; // the glyph of each byte in rawFont_, 0 where it has none
};
