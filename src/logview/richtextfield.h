#pragma once
// The data field: a read-only log of coloured text that only ever grows at
// its end. The text lives in a LogStore; the view draws only the lines and
// columns on screen, one fixed advance a column, so its cost does not grow
// with the log nor with the length of a line. Its parts: the columns of the
// store (LineColumns), when it paints (PaintScheduler), how a line is drawn
// (LinePainter), and the caret and selection (FieldSelection); this class
// is the scrolling view that holds them and takes the operator's input.

#include "logview/fieldselection.h"
#include "logview/linecolumns.h"
#include "logview/linepainter.h"
#include "logview/logstore.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class PaintScheduler;

class RichTextField : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit RichTextField(QWidget* parent = nullptr);
    ~RichTextField() override;

    // Colour of the next insertion; it stays in force until set again.
    void setSelColor(int colourNumber);
    int selColor() const { return selColor_; }
    // Inserts at the end of the field in the insertion colour. The operator's
    // own caret and selection are left alone.
    void setSelText(const QString& text);
    // The same for several texts one after another, as one change of the text
    // (one change notification). Each text keeps its own line ends: a CR that
    // ends one and an LF that starts the next are two line ends, as when each
    // is inserted by itself.
    void setSelTexts(const QStringList& texts);
    // The same, each text with the time it came (ms since the epoch), as
    // the receive loop gives the time of each read.
    void setSelTexts(const QStringList& texts, const QList<qint64>& times);
    // Where insertions take their time from (ms since the epoch); by
    // default the wall clock as the field was made, then a monotonic clock.
    void setClock(std::function<qint64()> nowMs);
    qint64 now() const { return clock_(); }

    // Caret position; setting it collapses the selection and brings the caret
    // into view (at the next paint).
    int selStart() const { return int(selection_.caret()); }
    void setSelStart(int position);
    // Brings the end into view (at the next paint) and leaves the caret and
    // the operator's selection where they are.
    void showEnd();
    // The device went quiet: whatever waits is painted at the next refresh.
    void followNow();

    // Characters in the field, each line end counted as one; O(1).
    int length() const { return int(store_.length()); }
    // Characters of text(), where each line end reads back as two; O(1).
    qsizetype textLength() const { return store_.length() + store_.lineCount() - 1; }
    // The whole text, every line end read back as CR LF.
    QString text() const;
    // Replaces everything; the new text has the field's default colour.
    void setText(const QString& text);
    // Whether the last line has characters and no line end yet.
    bool lastLineOpen() const { return store_.lastLineOpen(); }
    const LogStore& store() const { return store_; }

    // The operator's selection (start < end when there is one).
    bool hasSelection() const { return selection_.any(); }
    int selectionStart() const { return int(selection_.from()); }
    int selectionEnd() const { return int(selection_.to()); }
    // The selection's text, each line end "\n", as a copy gives it.
    QString selectedText() const;
    // Selects from anchor to caret (either way round) and shows the caret.
    void setSelection(int anchor, int caret);
    void selectAll();
    void copy() const;

    // Marks the stretches that `marks` gives for a range of positions (the
    // matches of a find), in the given background; an empty function marks
    // nothing. Call marksChanged() when what it gives changes.
    using Marks = LinePainter::Marks;
    void setMarks(Marks marks);
    void marksChanged();
    // Places drawn as a rule above the line that holds them (where the
    // operator cleared a field that is shown again); no part of the text.
    void addPlaceMark(qsizetype position);
    const std::vector<qsizetype>& placeMarks() const { return placeMarks_; }
    // Brings a stretch into view now (scroll bars included).
    void showRange(qsizetype from, qsizetype to);

    // Whether insertions wait to be painted.
    bool paintingHeld() const;

    // The strip of times left of the text: each line's time of day
    // ("14:03:07.125"), or the time since the line before ("+0.032"). It
    // is no part of the text.
    enum class TimeColumn { Hidden, TimeOfDay, SincePrevious };
    void setTimeColumn(TimeColumn column);
    TimeColumn timeColumn() const { return timeColumn_; }
    // A line's time as the column shows it; empty when hidden or none.
    QString timeText(qsizetype line) const;

    // Where a position is drawn, in viewport coordinates (one character cell),
    // and the position nearest a point of the viewport.
    QRect characterRect(qsizetype position) const;
    qsizetype positionAt(const QPoint& point) const;

signals:
    // After every change of the field's text.
    void changed();
    // After every SelText insertion, with the characters exactly as given
    // (the field itself keeps CR LF and a lone LF alike as one line break);
    // once for each text of setSelTexts.
    void selTextInserted(const QString& text);
    // The same with the text's colour and time.
    void textInserted(const QString& text, int colourNumber, qint64 timeMs);
    // Before setText replaces the whole text, with the new text.
    void aboutToSetText(const QString& text);
    // The time column was shown, hidden or switched (a click on it).
    void timeColumnChanged(RichTextField::TimeColumn column);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class FieldAccessible;
    static void installAccessibility();

    // Geometry of the character grid.
    void takeFont();
    // The text's part of the viewport, right of the times.
    int textWidth() const;
    int timeColumnWidth() const;
    int visibleRows() const;
    int visibleColumns() const;
    qsizetype lastTopLine() const;
    // The sideways reach in pixels, and how many pixels one step of the
    // sideways scroll bar stands for.
    qsizetype maxLeftPixel() const;
    qsizetype sidewaysUnit() const;

    // Painting.
    void afterInsert(qsizetype firstChangedLine, qsizetype oldLength);
    void flush();
    void syncScrollBars();
    void followScrollBars();
    void scheduleFlush();
    void changedFrom(qsizetype line);
    void repaintLines(qsizetype from, qsizetype to);
    void setTopLine(qsizetype line);
    void ensureVisible(qsizetype position);
    void notifyAccessibleInsert();
    void notifyAccessibleRemoval();
    // A bus message must stay small whatever the field holds: what
    // assistive technology gets is at most this many characters a piece.
    static constexpr qsizetype kAccessibleTextMax = 1 << 20;

    // Selection and caret.
    void moveCaret(qsizetype position, bool extend);
    void selectWordAt(qsizetype position);
    void selectLineAt(qsizetype position);
    // The selection changed: the primary selection and assistive technology
    // are told.
    void selectionChanged();
    void offerSelection();
    void dragScroll();

    // Made before the constructor's body, so a font or palette change in it
    // finds them all.
    LogStore store_;
    LineColumns columns_{store_};
    FieldSelection selection_{store_, columns_};
    SelectionClipboard clipboard_;
    LinePainter painter_;
    std::unique_ptr<PaintScheduler> scheduler_;
    std::function<qint64()> clock_;
    int selColor_ = 0;
    qsizetype pendingFrom_ = -1; // the first line changed since the last paint
    qsizetype accessibleFrom_ = -1;

    int charWidth_ = 8; // the painter's cell, for the geometry
    int lineHeight_ = 14;
    qsizetype topLine_ = 0; // first line on screen; the scroll bar follows it
    qsizetype leftPixel_ = 0;
    TimeColumn timeColumn_ = TimeColumn::Hidden;
    int textLeft_ = 0; // where the text begins: right of the times
    int rows_ = 1;     // rows the viewport had at its last resize
    qsizetype paintedTop_ = 0;
    bool syncing_ = false;
    bool barsPending_ = false;
    bool barsStale_ = false; // left behind while following (see followScrollBars)
    bool repaintAll_ = false;
    bool caretShown_ = true;
    int clickCount_ = 0;
    QElapsedTimer sinceLastClick_;
    QPoint lastClickAt_;
    QTimer caretBlink_;
    QTimer dragTimer_;
    QPoint dragPoint_;
    bool dragging_ = false;
    Marks marks_;
    std::vector<qsizetype> placeMarks_; // in order
    QPointer<QWidget> watchedWindow_;
};
