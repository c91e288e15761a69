#include "logview/byteview.h"

#include "logview/colours.h"
#include "logview/paintscheduler.h"
#include "platform/fonts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

ByteView::ByteView(const WireRecord& record, QWidget* parent)
    : QAbstractScrollArea(parent), record_(record), scheduler_(std::make_unique<PaintScheduler>()) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setLayoutDirection(Qt::LeftToRight);
    verticalScrollBar()->setSingleStep(1);
    QFont font = platform::fixedPitchFont(QStringLiteral("Courier New"));
    font.setPointSizeF(8.25);
    setFont(font);
    connect(scheduler_.get(), &PaintScheduler::paintDue, this, &ByteView::flush);
    connect(scheduler_.get(), &PaintScheduler::barsDue, this, &ByteView::syncScrollBars);
    takeFont();
    recordChanged();
}

ByteView::~ByteView() = default;

void ByteView::takeFont() {
    cells_.setFont(font());
    horizontalScrollBar()->setSingleStep(cells_.charWidth());
    syncScrollBars();
}

int ByteView::visibleRows() const {
    return std::max(1, viewport()->height() / cells_.lineHeight());
}

qsizetype ByteView::lastTopRow() const {
    return std::max<qsizetype>(0, rows_.rowCount() - visibleRows());
}

void ByteView::recordChanged() {
    const bool atEnd = topRow_ >= lastTopRow();
    rows_.update();
    if (following_ && atEnd && !dragging_) topRow_ = lastTopRow();
    barsPending_ = true;
    if (isVisible()) scheduler_->changed();
    emit changed();
}

void ByteView::recordCleared() {
    rows_.clear();
    anchor_ = caret_ = topRow_ = 0;
    offerSelection();
    syncScrollBars();
    viewport()->update();
    emit cleared();
    emit changed();
}

bool ByteView::paintingHeld() const {
    return scheduler_->paintWaiting() || barsPending_;
}

void ByteView::flush() {
    scheduler_->painted();
    viewport()->update();
    if (barsPending_ && scheduler_->barsAtPaint()) syncScrollBars();
}

void ByteView::syncScrollBars() {
    scheduler_->barsFollowed();
    barsPending_ = false;
    syncing_ = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, int(std::min<qsizetype>(lastTopRow(), INT_MAX)));
    v->setPageStep(visibleRows());
    v->setValue(int(std::min<qsizetype>(topRow_, INT_MAX)));
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0,
                std::max(0, (ByteRows::kColumns + 1) * cells_.charWidth() - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setValue(leftPixel_);
    leftPixel_ = h->value();
    syncing_ = false;
}

void ByteView::scrollContentsBy(int, int) {
    if (syncing_) return;
    topRow_ = verticalScrollBar()->value();
    leftPixel_ = horizontalScrollBar()->value();
    viewport()->update();
}

void ByteView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    topRow_ = std::min(topRow_, lastTopRow());
    syncScrollBars();
}

void ByteView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) takeFont();
    QAbstractScrollArea::changeEvent(event);
}

void ByteView::focusInEvent(QFocusEvent* event) {
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void ByteView::focusOutEvent(QFocusEvent* event) {
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

// ---- painting ----

void ByteView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect clip = event->rect();
    p.fillRect(clip, LinePainter::paper());
    const int h = cells_.lineHeight();
    const qsizetype first = topRow_ + clip.top() / h;
    const qsizetype last = std::min(rows_.rowCount(), topRow_ + clip.bottom() / h + 1);
    for (qsizetype row = first; row < last; ++row)
        paintRow(p, row, int((row - topRow_) * h));
    if (hasFocus() && !hasSelection()) {
        const QRect at = byteRect(caret_);
        p.fillRect(QRect(at.left(), at.top(), 1, at.height()), LinePainter::caret());
    }
}

void ByteView::paintRow(QPainter& p, qsizetype index, int y) const {
    const ByteRows::Row row = rows_.row(index);
    const QString text = rows_.text(row);
    const int w = cells_.charWidth(), h = cells_.lineHeight();
    const bool sent = record_.chunkDirection(row.chunk) == WireRecord::Direction::Sent;
    const QColor ink = colour::toQColor(sent ? colour::Red : colour::Blue);
    const auto x = [&](int column) { return column * w - leftPixel_; };

    // Behind the bytes: the selection and the marks of a find.
    std::vector<std::pair<qsizetype, qsizetype>> marks;
    if (marks_) marks = marks_(row.offset, row.offset + row.length);
    std::vector<bool> selected(size_t(row.length));
    for (int i = 0; i < row.length; ++i) {
        const qsizetype at = row.offset + i;
        const bool inSelection = at >= selectionStart() && at < selectionEnd();
        const bool marked = std::any_of(marks.begin(), marks.end(), [at](const auto& m) {
            return m.first <= at && at < m.second;
        });
        selected[size_t(i)] = inSelection;
        if (!inSelection && !marked) continue;
        const QColor back = inSelection ? LinePainter::selection() : LinePainter::mark();
        p.fillRect(QRect(x(ByteRows::hexColumn(i)), y, 2 * w, h), back);
        p.fillRect(QRect(x(ByteRows::charColumn(i)), y, w, h), back);
    }
    // Runs of one ink: the time, direction, offset and the hex, then the
    // characters, a control byte drawn alone as the field draws it.
    const double baseline = double(y + cells_.ascent());
    const auto inkOf = [&](int i) {
        return selected[size_t(i)] ? LinePainter::selectedInk() : ink;
    };
    cells_.drawRun(p, double(x(0)), baseline, text.left(ByteRows::hexColumn(0)), ink);
    for (int from = 0, i = 1; i <= row.length; ++i) {
        if (i < row.length && selected[size_t(i)] == selected[size_t(from)]) continue;
        const int start = ByteRows::hexColumn(from), end = ByteRows::hexColumn(i - 1) + 2;
        cells_.drawRun(p, double(x(start)), baseline, text.mid(start, end - start), inkOf(from));
        from = i;
    }
    QString run;
    int runStart = 0;
    const auto drawChars = [&](int end) {
        if (!run.isEmpty())
            cells_.drawRun(p, double(x(ByteRows::charColumn(runStart))), baseline, run,
                           inkOf(runStart));
        run.clear();
        runStart = end;
    };
    for (int i = 0; i < row.length; ++i) {
        const auto c = uchar(text.at(ByteRows::charColumn(i)).unicode());
        if (GlyphCells::drawnAlone(c) ||
            (i > runStart && selected[size_t(i)] != selected[size_t(runStart)])) {
            drawChars(i);
        }
        if (GlyphCells::drawnAlone(c)) {
            cells_.drawStandIn(p, QRect(x(ByteRows::charColumn(i)), y, w, h), c, inkOf(i));
            runStart = i + 1;
            continue;
        }
        if (run.isEmpty()) runStart = i;
        run.append(QLatin1Char(char(c)));
    }
    drawChars(int(row.length));
}

QRect ByteView::byteRect(qsizetype offset) const {
    const qsizetype index = rows_.rowOf(offset);
    const ByteRows::Row row = rows_.row(index);
    const int i = int(std::clamp<qsizetype>(offset - row.offset, 0, ByteRows::kBytesPerRow));
    const int column =
        i < ByteRows::kBytesPerRow ? ByteRows::hexColumn(i) : ByteRows::hexColumn(i - 1) + 2;
    const qsizetype y = (index - topRow_) * cells_.lineHeight();
    return QRect(column * cells_.charWidth() - leftPixel_,
                 int(std::clamp<qsizetype>(y, -(1 << 20), 1 << 20)), 2 * cells_.charWidth(),
                 cells_.lineHeight());
}

qsizetype ByteView::byteAt(const QPoint& point) const {
    if (rows_.rowCount() == 0) return 0;
    const qsizetype index =
        std::clamp<qsizetype>(topRow_ + point.y() / cells_.lineHeight(), 0, rows_.rowCount() - 1);
    const ByteRows::Row row = rows_.row(index);
    const int column = (point.x() + leftPixel_) / cells_.charWidth();
    const int byte = ByteRows::byteAtColumn(column);
    if (byte >= 0) return row.offset + std::min<qsizetype>(byte, row.length);
    // Left of the bytes, the row's first; right of them, past its last.
    return column < ByteRows::hexColumn(0) ? row.offset : row.offset + row.length;
}

// ---- selection, keys and the mouse ----

void ByteView::setSelection(qsizetype anchor, qsizetype caret) {
    anchor_ = std::clamp<qsizetype>(anchor, 0, record_.byteCount());
    caret_ = std::clamp<qsizetype>(caret, 0, record_.byteCount());
    offerSelection();
    showRange(caret_, caret_);
}

void ByteView::selectAll() {
    anchor_ = 0;
    caret_ = record_.byteCount();
    offerSelection();
    viewport()->update();
}

QString ByteView::selectedText() const {
    if (!hasSelection()) return QString();
    QStringList lines;
    for (qsizetype r = rows_.rowOf(selectionStart()), end = rows_.rowOf(selectionEnd() - 1);
         r <= end; ++r)
        lines << rows_.text(r);
    return lines.join(QLatin1Char('\n'));
}

void ByteView::copy() const {
    if (hasSelection()) QGuiApplication::clipboard()->setText(selectedText());
}

void ByteView::offerSelection() {
    clipboard_.follow(hasSelection(), [view = QPointer<const ByteView>(this)] {
        return view ? view->selectedText() : QString();
    });
}

void ByteView::showRange(qsizetype from, qsizetype to) {
    ensureVisible(to);
    ensureVisible(from);
    syncScrollBars();
    viewport()->update();
}

void ByteView::ensureVisible(qsizetype offset) {
    const qsizetype row = rows_.rowOf(offset);
    if (row < topRow_)
        topRow_ = row;
    else if (row >= topRow_ + visibleRows())
        topRow_ = std::min(lastTopRow(), row - visibleRows() + 1);
}

void ByteView::moveCaret(qsizetype offset, bool extend) {
    caret_ = std::clamp<qsizetype>(offset, 0, record_.byteCount());
    if (!extend) anchor_ = caret_;
    offerSelection();
    showRange(caret_, caret_);
}

void ByteView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) return copy();
    if (event == QKeySequence::SelectAll) return selectAll();
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const qsizetype index = rows_.rowOf(caret_);
    const ByteRows::Row row = rows_.row(index);
    const auto rowMove = [&](qsizetype rows) {
        const ByteRows::Row to = rows_.row(index + rows);
        return to.offset + std::min(caret_ - row.offset, to.length);
    };
    qsizetype to = caret_;
    switch (event->key()) {
    case Qt::Key_Left:
        to = caret_ - 1;
        break;
    case Qt::Key_Right:
        to = caret_ + 1;
        break;
    case Qt::Key_Up:
        to = rowMove(-1);
        break;
    case Qt::Key_Down:
        to = rowMove(1);
        break;
    case Qt::Key_PageUp:
        to = rowMove(-visibleRows());
        break;
    case Qt::Key_PageDown:
        to = rowMove(visibleRows());
        break;
    case Qt::Key_Home:
        to = control ? 0 : row.offset;
        break;
    case Qt::Key_End:
        to = control ? record_.byteCount() : row.offset + row.length;
        break;
    default:
        event->ignore();
        return;
    }
    moveCaret(to, extend);
}

void ByteView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    moveCaret(byteAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void ByteView::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        moveCaret(byteAt(event->position().toPoint()), true);
}

void ByteView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void ByteView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || rows_.rowCount() == 0) return;
    // The row's bytes.
    const ByteRows::Row row = rows_.row(rows_.rowOf(byteAt(event->position().toPoint())));
    anchor_ = row.offset;
    moveCaret(row.offset + row.length, true);
}

void ByteView::setMarks(LinePainter::Marks marks) {
    marks_ = std::move(marks);
    viewport()->update();
}

void ByteView::marksChanged() {
    viewport()->update();
}
