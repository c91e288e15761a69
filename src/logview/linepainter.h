#pragma once
// Draws the data field's lines in the cells of a grid (GlyphCells), the
// selection and the marks of a find behind them. It looks only at the cells
// on screen, however long the line.

#include "logview/glyphcells.h"
#include "logview/linecolumns.h"
#include "logview/logstore.h"

#include <QColor>
#include <QFont>

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
    static QColor selection();
    static QColor selectedInk();
    static QColor mark();

    void setFont(const QFont& font) { cells_.setFont(font); }
    const GlyphCells& cells() const { return cells_; }
    int charWidth() const { return cells_.charWidth(); }
    int lineHeight() const { return cells_.lineHeight(); }

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
    GlyphCells cells_;
};
