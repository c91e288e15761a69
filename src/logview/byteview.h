#pragma once
// The byte view: the wire record shown in the data field's place, row by
// row (ByteRows), sent bytes in the field's red and received ones in its
// blue. It follows the end as the field does, selects bytes with the mouse
// and the keys, copies the rows it shows, and marks what a find finds.
// Positions are offsets of bytes in the record.

#include "logview/byterows.h"
#include "logview/fieldselection.h"
#include "logview/glyphcells.h"
#include "logview/linepainter.h"

#include <QAbstractScrollArea>

#include <memory>

class PaintScheduler;
class WireRecord;

class ByteView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ByteView(const WireRecord& record, QWidget* parent = nullptr);
    ~ByteView() override;

    // The record grew: its new rows are taken in and, while the view
    // follows, the end is brought into view at the next paint.
    void recordChanged();
    // The record was cleared.
    void recordCleared();
    // Whether the view follows the end as bytes come ("Auto Scroll").
    void setFollowing(bool follow) { following_ = follow; }

    const ByteRows& rows() const { return rows_; }
    const WireRecord& record() const { return record_; }

    qsizetype caret() const { return caret_; }
    bool hasSelection() const { return anchor_ != caret_; }
    qsizetype selectionStart() const { return std::min(anchor_, caret_); }
    qsizetype selectionEnd() const { return std::max(anchor_, caret_); }
    // Selects the bytes from anchor to caret and shows the caret.
    void setSelection(qsizetype anchor, qsizetype caret);
    void collapseTo(qsizetype at) { setSelection(at, at); }
    void selectAll();
    // The rows that hold the selected bytes, as the view shows them.
    QString selectedText() const;
    void copy() const;
    void showRange(qsizetype from, qsizetype to);

    void setMarks(LinePainter::Marks marks);
    void marksChanged();
    bool paintingHeld() const;

    // Where a byte's hex cells are, in viewport coordinates, and the byte
    // at a point (its hex or its character cell).
    QRect byteRect(qsizetype offset) const;
    qsizetype byteAt(const QPoint& point) const;

signals:
    // Rows came, or the record was cleared.
    void changed();
    void cleared();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void takeFont();
    int visibleRows() const;
    qsizetype lastTopRow() const;
    void flush();
    void syncScrollBars();
    void ensureVisible(qsizetype offset);
    void moveCaret(qsizetype offset, bool extend);
    void paintRow(QPainter& p, qsizetype index, int y) const;
    void offerSelection();

    const WireRecord& record_;
    ByteRows rows_{record_};
    GlyphCells cells_;
    std::unique_ptr<PaintScheduler> scheduler_;
    SelectionClipboard clipboard_;
    LinePainter::Marks marks_;
    qsizetype anchor_ = 0;
    qsizetype caret_ = 0;
    qsizetype topRow_ = 0;
    int leftPixel_ = 0;
    bool following_ = true;
    bool syncing_ = false;
    bool barsPending_ = false;
    bool dragging_ = false;
};
