#include "logview/richtextfield.h"

#include "logview/colours.h"
#include "logview/paintscheduler.h"
#include "platform/fonts.h"

#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>

#include <algorithm>

namespace {
// The strip of times: the field's paper a shade darker, a rule beside it.
const QColor kTimePaper(0xf2, 0xf2, 0xf2);
const QColor kTimeRule(0xc8, 0xc8, 0xc8);
} // namespace

RichTextField::RichTextField(QWidget* parent)
    : QAbstractScrollArea(parent), scheduler_(std::make_unique<PaintScheduler>()) {
    clock_ = [anchor = QDateTime::currentMSecsSinceEpoch(), since = QElapsedTimer()]() mutable {
        if (!since.isValid()) since.start();
        return anchor + since.elapsed();
    };
    installAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    // Every paint fills what it draws: nothing beneath needs painting first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);

    QFont font = platform::fixedPitchFont(QStringLiteral("Courier New"));
    font.setPointSizeF(8.25);
    setFont(font);

    // The field draws in colours of its own (LinePainter's): a theme or a
    // style sheet may repaint every other widget, but the colours of the log
    // are its meaning and are read on white.
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, LinePainter::paper());
        pal.setColor(group, QPalette::Text, LinePainter::caret());
    }
    setPalette(pal);
    // The log reads left to right in any layout, and so does its sideways
    // scroll bar: a mirrored one would show the handle at the line's end
    // while its start is on screen.
    horizontalScrollBar()->setLayoutDirection(Qt::LeftToRight);

    // Scroll bars that fill their own background: one moved by an append is
    // repainted alone, not with the window beneath it. Touching one brings
    // it up to date before it acts.
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        bar->setAutoFillBackground(true);
        bar->installEventFilter(this);
    }
    verticalScrollBar()->setSingleStep(1);

    // While lines keep coming, paints and scroll bar updates are gathered:
    // the view costs a few paints a second, not one per line.
    connect(scheduler_.get(), &PaintScheduler::paintDue, this, &RichTextField::flush);
    connect(scheduler_.get(), &PaintScheduler::barsDue, this, &RichTextField::followScrollBars);
    connect(&caretBlink_, &QTimer::timeout, this, [this] {
        caretShown_ = !caretShown_;
        viewport()->update(characterRect(selection_.caret()).adjusted(-1, 0, 1, 0));
    });
    dragTimer_.setInterval(50);
    connect(&dragTimer_, &QTimer::timeout, this, &RichTextField::dragScroll);
    takeFont();
}

void RichTextField::takeFont() {
    painter_.setFont(font());
    charWidth_ = painter_.charWidth();
    lineHeight_ = painter_.lineHeight();
    if (timeColumn_ != TimeColumn::Hidden) textLeft_ = timeColumnWidth();
    syncScrollBars();
}

RichTextField::~RichTextField() = default;

int RichTextField::textWidth() const {
    return std::max(1, viewport()->width() - textLeft_);
}

bool RichTextField::paintingHeld() const {
    return scheduler_->paintWaiting() || barsPending_;
}

// ---- geometry ----

int RichTextField::visibleRows() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

int RichTextField::visibleColumns() const {
    return std::max(1, textWidth() / charWidth_);
}

qsizetype RichTextField::lastTopLine() const {
    return std::max<qsizetype>(0, store_.lineCount() - visibleRows());
}

qsizetype RichTextField::maxLeftPixel() const {
    return std::max<qsizetype>(0, (columns_.widest() + 1) * charWidth_ - textWidth());
}

qsizetype RichTextField::sidewaysUnit() const {
    // A scroll bar counts in int, and its sums of value and page must not
    // overflow: a line wider than that in pixels (some 150 M columns) is
    // scrolled in steps of several pixels, so its end is still reached.
    constexpr qsizetype most = INT_MAX / 2;
    const qsizetype range = maxLeftPixel();
    return range <= most ? 1 : (range + most - 1) / most;
}

QRect RichTextField::characterRect(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, store_.length());
    const qsizetype line = store_.lineAt(position);
    const qsizetype x = textLeft_ + columns_.columnOf(position) * charWidth_ - leftPixel_;
    const qsizetype y = (line - paintedTop_) * lineHeight_;
    return QRect(int(std::clamp<qsizetype>(x, -(1 << 20), 1 << 20)),
                 int(std::clamp<qsizetype>(y, -(1 << 20), 1 << 20)), charWidth_, lineHeight_);
}

qsizetype RichTextField::positionAt(const QPoint& point) const {
    const qsizetype row = point.y() < 0 ? -1 : point.y() / lineHeight_;
    const qsizetype line = std::clamp<qsizetype>(paintedTop_ + row, 0, store_.lineCount() - 1);
    const qsizetype x = std::max<qsizetype>(0, point.x() - textLeft_ + leftPixel_);
    return columns_.positionNear(line, (x + charWidth_ / 2) / charWidth_);
}

// ---- the text ----

void RichTextField::setSelColor(int colourNumber) {
    selColor_ = colourNumber;
}

void RichTextField::setSelText(const QString& text) {
    setSelTexts(QStringList{text});
}

void RichTextField::setSelTexts(const QStringList& texts) {
    setSelTexts(texts, QList<qint64>(texts.size(), now()));
}

void RichTextField::setClock(std::function<qint64()> nowMs) {
    clock_ = std::move(nowMs);
}

void RichTextField::setSelTexts(const QStringList& texts, const QList<qint64>& times) {
    if (std::all_of(texts.begin(), texts.end(), [](const QString& t) { return t.isEmpty(); }))
        return;
    const qsizetype oldLength = store_.length();
    const qsizetype firstLine = store_.lineCount() - 1;
    for (qsizetype i = 0; i < texts.size(); ++i)
        store_.append(texts[i], selColor_, i < times.size() ? times[i] : now());
    afterInsert(firstLine, oldLength);
    emit changed();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (texts[i].isEmpty()) continue;
        emit selTextInserted(texts[i]);
        emit textInserted(texts[i], selColor_, i < times.size() ? times[i] : now());
    }
}

void RichTextField::afterInsert(qsizetype firstChangedLine, qsizetype oldLength) {
    columns_.update();
    changedFrom(firstChangedLine);
    if (accessibleFrom_ < 0) accessibleFrom_ = oldLength;
    // No blinking while lines come: a steady caret, and no wake-ups for it.
    if (caretBlink_.isActive()) {
        caretBlink_.start();
        if (!std::exchange(caretShown_, true))
            viewport()->update(characterRect(selection_.caret()).adjusted(-1, 0, 1, 0));
    }
    barsPending_ = true;
    scheduleFlush();
}

QString RichTextField::text() const {
    return store_.text(u"\r\n");
}

void RichTextField::setText(const QString& text) {
    emit aboutToSetText(text);
    notifyAccessibleRemoval();
    store_.clear();
    columns_.clear();
    selection_.set(0, 0);
    placeMarks_.clear();
    topLine_ = paintedTop_ = 0;
    leftPixel_ = 0;
    accessibleFrom_ = -1;
    pendingFrom_ = -1;
    if (!text.isEmpty()) {
        store_.append(text, colour::Black, now());
        afterInsert(0, 0);
    }
    offerSelection();
    syncScrollBars();
    viewport()->update();
    notifyAccessibleInsert();
    emit changed();
}

QString RichTextField::selectedText() const {
    return selection_.text();
}

// ---- when and what to paint ----

void RichTextField::scheduleFlush() {
    if (window()->isMinimized()) return; // painted when shown again
    scheduler_->changed();
}

void RichTextField::changedFrom(qsizetype line) {
    // The one way a change reaches the screen: from this line down, at the
    // next paint.
    pendingFrom_ = pendingFrom_ < 0 ? line : std::min(pendingFrom_, line);
}

void RichTextField::followNow() {
    if (pendingFrom_ >= 0 || barsPending_) scheduleFlush();
}

void RichTextField::flush() {
    if (window()->isMinimized()) return scheduler_->dropped();
    scheduler_->painted();
    const qsizetype shift = topLine_ - paintedTop_;
    if (std::exchange(repaintAll_, false)) {
        paintedTop_ = topLine_;
        viewport()->update();
    } else if (shift != 0 && std::abs(shift) < visibleRows()) {
        // The lines already drawn move up; only what they uncover is drawn.
        viewport()->scroll(0, int(-shift * lineHeight_));
        paintedTop_ = topLine_;
        if (pendingFrom_ >= 0) repaintLines(pendingFrom_, store_.lineCount());
    } else if (shift != 0) {
        paintedTop_ = topLine_;
        viewport()->update();
    } else if (pendingFrom_ >= 0) {
        repaintLines(pendingFrom_, store_.lineCount());
    }
    pendingFrom_ = -1;
    notifyAccessibleInsert();
    if (!barsPending_) return;
    // The scroll bars follow the end a few times a second, at a paint; for
    // the last lines of a flow, when no paint follows, a while after.
    if (scheduler_->barsAtPaint()) followScrollBars();
}

void RichTextField::repaintLines(qsizetype from, qsizetype to) {
    const qsizetype first = std::max(from, paintedTop_);
    const qsizetype last = std::min(to, paintedTop_ + visibleRows() + 1);
    if (first >= last) return;
    const int y = int((first - paintedTop_) * lineHeight_);
    viewport()->update(QRect(0, y, viewport()->width(), int((last - first) * lineHeight_)));
}

void RichTextField::followScrollBars() {
    // While the view follows the end of a long log, a few more lines move
    // neither the handle nor its length by a pixel: the bars are then left as
    // they are (and brought up to date when touched), not painted again for
    // nothing.
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    const qsizetype unit = sidewaysUnit();
    const bool following = topLine_ == lastTopLine() && v->value() == v->maximum() &&
                           v->pageStep() == visibleRows() && leftPixel_ / unit == h->value() &&
                           maxLeftPixel() / unit == h->maximum();
    if (following) {
        const qsizetype groove = v->height();
        const qsizetype least = style()->pixelMetric(QStyle::PM_ScrollBarSliderMin, nullptr, v);
        const auto handle = [&](qsizetype range) {
            return std::max(least, groove * visibleRows() / (range + visibleRows()));
        };
        if (handle(v->maximum()) == handle(lastTopLine())) {
            scheduler_->barsFollowed();
            barsPending_ = false;
            barsStale_ = true;
            return;
        }
    }
    syncScrollBars();
}

void RichTextField::syncScrollBars() {
    scheduler_->barsFollowed();
    barsPending_ = false;
    barsStale_ = false;
    syncing_ = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, int(std::min<qsizetype>(lastTopLine(), INT_MAX)));
    v->setPageStep(visibleRows());
    v->setValue(int(topLine_));
    QScrollBar* h = horizontalScrollBar();
    const qsizetype unit = sidewaysUnit();
    h->setRange(0, int(maxLeftPixel() / unit));
    h->setPageStep(int(std::max<qsizetype>(1, textWidth() / unit)));
    h->setSingleStep(int(std::max<qsizetype>(1, charWidth_ / unit)));
    h->setValue(int(std::min<qsizetype>(leftPixel_ / unit, INT_MAX)));
    syncing_ = false;
    const qsizetype left = std::clamp<qsizetype>(leftPixel_, 0, qsizetype(h->maximum()) * unit);
    if (left != leftPixel_) {
        leftPixel_ = left;
        viewport()->update();
    }
}

void RichTextField::setTopLine(qsizetype line) {
    line = std::clamp<qsizetype>(line, 0, lastTopLine());
    if (line == topLine_) return;
    topLine_ = line;
    barsPending_ = true;
}

void RichTextField::ensureVisible(qsizetype position) {
    const qsizetype line = store_.lineAt(position);
    if (line < topLine_)
        setTopLine(line);
    else if (line >= topLine_ + visibleRows())
        setTopLine(line - visibleRows() + 1);
    const qsizetype x = columns_.columnOf(position) * charWidth_;
    const int width = textWidth();
    qsizetype left = leftPixel_;
    if (x < left)
        left = std::max<qsizetype>(0, x - width / 4);
    else if (x + charWidth_ > left + width)
        left = x + charWidth_ - width + width / 4;
    if (left != leftPixel_) {
        leftPixel_ = left;
        repaintAll_ = true; // a sideways move draws everything again
        barsPending_ = true;
    }
}

void RichTextField::showRange(qsizetype from, qsizetype to) {
    ensureVisible(to);
    ensureVisible(from);
    paintedTop_ = topLine_;
    syncScrollBars();
    viewport()->update();
}

void RichTextField::notifyAccessibleInsert() {
    const qsizetype from = std::exchange(accessibleFrom_, -1);
    if (from < 0 || !QAccessible::isActive()) return;
    // In pieces a message bus takes: a flood held while the window was
    // minimised can be more than a bus message may carry.
    for (qsizetype at = from; at < store_.length(); at += kAccessibleTextMax) {
        QString inserted = store_.text(at, at + kAccessibleTextMax, u"\n");
        inserted.replace(QChar(0), QChar(0x2400));
        QAccessibleTextInsertEvent event(this, int(at), inserted);
        QAccessible::updateAccessibility(&event);
    }
}

void RichTextField::notifyAccessibleRemoval() {
    if (!QAccessible::isActive()) return;
    // From the end backwards, so each piece's position holds when it is read.
    for (qsizetype to = store_.length(); to > 0; to -= kAccessibleTextMax) {
        const qsizetype from = std::max<qsizetype>(0, to - kAccessibleTextMax);
        QString removed = store_.text(from, to, u"\n");
        removed.replace(QChar(0), QChar(0x2400));
        QAccessibleTextRemoveEvent event(this, int(from), removed);
        QAccessible::updateAccessibility(&event);
    }
}

void RichTextField::scrollContentsBy(int, int) {
    if (syncing_) return;
    // The operator moved a scroll bar.
    topLine_ = verticalScrollBar()->value();
    leftPixel_ = qsizetype(horizontalScrollBar()->value()) * sidewaysUnit();
    paintedTop_ = topLine_;
    viewport()->update();
}

void RichTextField::resizeEvent(QResizeEvent* event) {
    // The viewport has its new size already; whether the view was at the
    // end is judged by the rows it had.
    const bool atEnd = topLine_ + rows_ >= store_.lineCount();
    rows_ = visibleRows();
    QAbstractScrollArea::resizeEvent(event);
    topLine_ = atEnd ? lastTopLine() : std::min(topLine_, lastTopLine());
    paintedTop_ = topLine_;
    syncScrollBars();
}

void RichTextField::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect clip = event->rect();
    p.fillRect(clip, LinePainter::paper());
    const qsizetype first = paintedTop_ + clip.top() / lineHeight_;
    const auto markedLines = [&] {
        std::vector<qsizetype> lines;
        for (const qsizetype at : placeMarks_)
            lines.push_back(store_.lineAt(at));
        return lines;
    }();
    const qsizetype last =
        std::min(store_.lineCount(), paintedTop_ + clip.bottom() / lineHeight_ + 1);
    const auto top = [&](qsizetype line) { return int((line - paintedTop_) * lineHeight_); };
    if (clip.left() < textLeft_) {
        // The times, in a strip of their own left of the text.
        const QRect strip(0, clip.top(), textLeft_, clip.height());
        p.fillRect(strip, kTimePaper);
        p.fillRect(QRect(textLeft_ - 1, clip.top(), 1, clip.height()), kTimeRule);
        const GlyphCells& cells = painter_.cells();
        for (qsizetype line = first; line < last; ++line) {
            const QString time = timeText(line);
            if (time.isEmpty()) continue;
            const int colour = store_.runs()[store_.runAt(store_.lineStart(line))].colour;
            cells.drawRun(p, double(charWidth_ / 2), double(top(line) + cells.ascent()), time,
                          colour::toQColor(colour));
        }
    }
    const QRect text = clip.intersected(QRect(textLeft_, 0, textWidth(), viewport()->height()));
    if (!text.isEmpty()) {
        p.setClipRect(text);
        p.translate(textLeft_, 0);
        const LinePainter::View view{leftPixel_, selection_.from(), selection_.to(), &marks_};
        for (qsizetype line = first; line < last; ++line)
            painter_.paint(p, store_, columns_, line, top(line), text.translated(-textLeft_, 0),
                           view);
        p.resetTransform();
    }
    // A place mark: a dashed rule across the top of its line.
    for (const qsizetype line : markedLines) {
        if (line < first || line >= last + 1) continue;
        p.setPen(QPen(kTimeRule.darker(130), 1, Qt::DashLine));
        p.drawLine(0, top(line), viewport()->width(), top(line));
    }
    if (hasFocus() && caretShown_ && isEnabled()) {
        const QRect caret = characterRect(selection_.caret());
        if (caret.left() >= textLeft_)
            p.fillRect(QRect(caret.left(), caret.top(), 1, lineHeight_), LinePainter::caret());
    }
}

// ---- the time column ----

void RichTextField::setTimeColumn(TimeColumn column) {
    if (column == timeColumn_) return;
    timeColumn_ = column;
    textLeft_ = column == TimeColumn::Hidden ? 0 : timeColumnWidth();
    repaintAll_ = true;
    syncScrollBars();
    viewport()->update();
    emit timeColumnChanged(column);
}

int RichTextField::timeColumnWidth() const {
    // "hh:mm:ss.mmm" or "+12345.678", half a cell either side.
    return 13 * charWidth_ + 1;
}

QString RichTextField::timeText(qsizetype line) const {
    const qint64 at = store_.lineTime(line);
    if (at < 0 || timeColumn_ == TimeColumn::Hidden) return QString();
    if (timeColumn_ == TimeColumn::TimeOfDay)
        return QDateTime::fromMSecsSinceEpoch(at).toString(QStringLiteral("hh:mm:ss.zzz"));
    const qint64 before = line > 0 ? store_.lineTime(line - 1) : at;
    const qint64 ms = at - before;
    return QStringLiteral("+%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// ---- caret, selection and the clipboard ----

void RichTextField::setSelStart(int position) {
    // The operator is selecting with the mouse: the selection stays until
    // the button is let go.
    if (dragging_) return;
    const qsizetype at = std::clamp<qsizetype>(position, 0, store_.length());
    if (selection_.any()) {
        repaintAll_ = true; // the selection goes
    } else if (at != selection_.caret()) {
        // The old caret's line is drawn again with the lines that changed.
        changedFrom(store_.lineAt(std::min(selection_.caret(), store_.length())));
    }
    selection_.set(at, at);
    offerSelection();
    ensureVisible(at);
    scheduleFlush();
}

void RichTextField::showEnd() {
    // Not while the operator drags a selection: the view stays under the mouse.
    if (dragging_) return;
    ensureVisible(store_.length());
    scheduleFlush();
}

void RichTextField::setSelection(int anchor, int caret) {
    selection_.set(anchor, caret);
    showRange(selection_.caret(), selection_.caret());
    selectionChanged();
}

void RichTextField::selectAll() {
    selection_.set(0, store_.length());
    viewport()->update();
    selectionChanged();
}

void RichTextField::copy() const {
    SelectionClipboard::copy(store_, selection_.from(), selection_.to());
}

void RichTextField::offerSelection() {
    clipboard_.follow(selection_.any(), [field = QPointer<const RichTextField>(this)] {
        return field ? field->selectedText() : QString();
    });
}

void RichTextField::selectionChanged() {
    offerSelection();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent event(this, selectionStart(), selectionEnd());
        event.setCursorPosition(selStart());
        QAccessible::updateAccessibility(&event);
    }
}

void RichTextField::moveCaret(qsizetype position, bool extend) {
    selection_.moveCaret(position, extend);
    offerSelection();
    caretShown_ = true;
    showRange(selection_.caret(), selection_.caret());
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent event(this, selStart());
        QAccessible::updateAccessibility(&event);
    }
}

void RichTextField::selectWordAt(qsizetype position) {
    const auto [from, to] = selection_.wordAt(position);
    if (from == to) return moveCaret(from, false);
    selection_.set(from, from);
    moveCaret(to, true);
    selectionChanged();
}

void RichTextField::selectLineAt(qsizetype position) {
    const auto [from, to] = selection_.lineAt(position);
    selection_.set(from, from);
    moveCaret(to, true);
    selectionChanged();
}

void RichTextField::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) return copy();
    if (event == QKeySequence::SelectAll) return selectAll();
    const auto move = selection_.keyMove(event->key(), event->modifiers(), visibleRows());
    if (!move) {
        event->ignore();
        return;
    }
    setTopLine(topLine_ + move->lines);
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    moveCaret(move->to, extend);
    if (extend) selectionChanged();
}

void RichTextField::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // A click on the times shows them the other way.
    if (event->position().x() < textLeft_)
        return setTimeColumn(timeColumn_ == TimeColumn::TimeOfDay ? TimeColumn::SincePrevious
                                                                  : TimeColumn::TimeOfDay);
    const bool near = (event->position().toPoint() - lastClickAt_).manhattanLength() <=
                      QApplication::startDragDistance();
    const bool soon =
        sinceLastClick_.isValid() &&
        sinceLastClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval();
    clickCount_ = near && soon && clickCount_ == 2 ? 3 : 1;
    sinceLastClick_.restart();
    lastClickAt_ = event->position().toPoint();
    const qsizetype at = positionAt(lastClickAt_);
    if (clickCount_ == 3) return selectLineAt(at);
    dragging_ = true;
    moveCaret(at, event->modifiers() & Qt::ShiftModifier);
}

void RichTextField::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    clickCount_ = 2;
    sinceLastClick_.restart();
    lastClickAt_ = event->position().toPoint();
    selectWordAt(positionAt(lastClickAt_));
}

void RichTextField::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    dragPoint_ = event->position().toPoint();
    if (viewport()->rect().contains(dragPoint_)) {
        dragTimer_.stop();
        moveCaret(positionAt(dragPoint_), true);
    } else if (!dragTimer_.isActive()) {
        dragScroll();
        dragTimer_.start();
    }
}

void RichTextField::dragScroll() {
    // The selection reaches past the view's edge: the view follows it.
    const QRect r = viewport()->rect();
    if (dragPoint_.y() < r.top()) setTopLine(topLine_ - 1);
    if (dragPoint_.y() > r.bottom()) setTopLine(topLine_ + 1);
    const QPoint inside(std::clamp(dragPoint_.x(), r.left(), r.right()),
                        std::clamp(dragPoint_.y(), r.top(), r.bottom()));
    moveCaret(positionAt(inside), true);
}

void RichTextField::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragTimer_.stop();
    if (std::exchange(dragging_, false)) selectionChanged();
}

void RichTextField::addPlaceMark(qsizetype position) {
    placeMarks_.push_back(position);
    viewport()->update();
}

void RichTextField::setMarks(Marks marks) {
    marks_ = std::move(marks);
    viewport()->update();
}

void RichTextField::marksChanged() {
    viewport()->update();
}

// ---- focus, enabling and the window's state ----

void RichTextField::focusInEvent(QFocusEvent* event) {
    caretShown_ = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0) caretBlink_.start(flash / 2);
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void RichTextField::focusOutEvent(QFocusEvent* event) {
    caretBlink_.stop();
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void RichTextField::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) takeFont();
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange)
        viewport()->update();
    QAbstractScrollArea::changeEvent(event);
}

void RichTextField::showEvent(QShowEvent* event) {
    // Restoring a minimised window paints what was held.
    if (window() != watchedWindow_) {
        if (watchedWindow_) watchedWindow_->removeEventFilter(this);
        watchedWindow_ = window();
        watchedWindow_->installEventFilter(this);
    }
    QAbstractScrollArea::showEvent(event);
}

bool RichTextField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ && event->type() == QEvent::WindowStateChange &&
        !watchedWindow_->isMinimized()) {
        repaintAll_ = true;
        if (pendingFrom_ >= 0 || barsPending_) scheduleFlush();
    }
    // A scroll bar the operator touches is brought up to date first.
    if ((watched == verticalScrollBar() || watched == horizontalScrollBar()) &&
        (barsPending_ || barsStale_) &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel))
        syncScrollBars();
    return QAbstractScrollArea::eventFilter(watched, event);
}
