#include "logview/richtextfield.h"

#include "logview/colours.h"
#include "platform/fonts.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>

#include <algorithm>
#include <cstring>

namespace {
// The field's own colours, the same in any theme: black, red and blue text
// keep on kPaper the contrast they were chosen for (21, 4 and 8.6 to 1), the
// selection's white text 5.4 to 1 on kSelection.
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
// Text for a clipboard, made when a program asks for it (a paste, a middle
// click), not when the operator selects: a selection may be the whole log.
class TextOnRequest : public QMimeData {
public:
    explicit TextOnRequest(std::function<QString()> text) : text_(std::move(text)) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& type) const override { return type == u"text/plain"; }

protected:
    QVariant retrieveData(const QString& type, QMetaType as) const override {
        if (type != u"text/plain") return {};
        if (as.id() == QMetaType::QByteArray) return text_().toUtf8();
        return text_();
    }

private:
    std::function<QString()> text_;
};

bool isWordCharacter(char c) {
    const QChar ch = QLatin1Char(c);
    return ch.isLetterOrNumber() || ch == QLatin1Char('_');
}
} // namespace

RichTextField::RichTextField(QWidget* parent) : QAbstractScrollArea(parent) {
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

    // The field draws in colours of its own (kPaper and the rest): a theme
    // or a style sheet may repaint every other widget, but the colours of
    // the log are its meaning and are read on white.
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, kPaper);
        pal.setColor(group, QPalette::Text, kCaret);
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

    // While lines keep coming, paints and scroll bar updates are gathered
    // (see kPaintIntervalMs): every line is on screen within a tenth of a
    // second, and the view costs a few paints a second, not one per line.
    paintTimer_.setSingleShot(true);
    paintTimer_.setTimerType(Qt::PreciseTimer);
    connect(&paintTimer_, &QTimer::timeout, this, &RichTextField::flush);
    barTimer_.setSingleShot(true);
    connect(&barTimer_, &QTimer::timeout, this, &RichTextField::followScrollBars);
    connect(&caretBlink_, &QTimer::timeout, this, [this] {
        caretShown_ = !caretShown_;
        viewport()->update(characterRect(caret_).adjusted(-1, 0, 1, 0));
    });
    dragTimer_.setInterval(50);
    connect(&dragTimer_, &QTimer::timeout, this, &RichTextField::dragScroll);
    measureFont();
}

RichTextField::~RichTextField() {
    // A primary selection offered by a field that is gone has nothing left to give.
    if (offeredSelection_ && QGuiApplication::clipboard()->ownsSelection())
        QGuiApplication::clipboard()->clear(QClipboard::Selection);
}

// ---- geometry ----

void RichTextField::measureFont() {
    const QFontMetrics fm(font());
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    lineHeight_ = std::max(1, fm.lineSpacing());
    ascent_ = fm.ascent();
    // The glyph of each byte, looked up once: a line is then drawn at the
    // grid's positions without shaping its text at every paint.
    rawFont_ = QRawFont::fromFont(font());
    QString all;
    for (int c = 0; c < 256; ++c)
        all.append(QChar(c));
    glyphs_ = rawFont_.isValid() ? rawFont_.glyphIndexesForString(all) : QList<quint32>();
}

int RichTextField::visibleRows() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

int RichTextField::visibleColumns() const {
    return std::max(1, viewport()->width() / charWidth_);
}

qsizetype RichTextField::lastTopLine() const {
    return std::max<qsizetype>(0, store_.lineCount() - visibleRows());
}

qsizetype RichTextField::maxLeftPixel() const {
    return std::max<qsizetype>(0, (columns_.widest() + 1) * charWidth_ - viewport()->width());
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
    const qsizetype x = columns_.columnOf(position) * charWidth_ - leftPixel_;
    const qsizetype y = (line - paintedTop_) * lineHeight_;
    return QRect(int(std::clamp<qsizetype>(x, -(1 << 20), 1 << 20)),
                 int(std::clamp<qsizetype>(y, -(1 << 20), 1 << 20)), charWidth_, lineHeight_);
}

qsizetype RichTextField::positionAt(const QPoint& point) const {
    const qsizetype row = point.y() < 0 ? -1 : point.y() / lineHeight_;
    const qsizetype line = std::clamp<qsizetype>(paintedTop_ + row, 0, store_.lineCount() - 1);
    const qsizetype x = std::max<qsizetype>(0, point.x() + leftPixel_);
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
    if (std::all_of(texts.begin(), texts.end(), [](const QString& t) { return t.isEmpty(); }))
        return;
    const qsizetype oldLength = store_.length();
    const qsizetype firstLine = store_.lineCount() - 1;
    for (const QString& text : texts)
        store_.append(text, selColor_);
    afterInsert(firstLine, oldLength);
    emit changed();
    for (const QString& text : texts)
        if (!text.isEmpty()) emit selTextInserted(text);
}

void RichTextField::afterInsert(qsizetype firstChangedLine, qsizetype oldLength) {
    columns_.update();
    pendingFrom_ = pendingFrom_ < 0 ? firstChangedLine : std::min(pendingFrom_, firstChangedLine);
    if (accessibleFrom_ < 0) accessibleFrom_ = oldLength;
    // No blinking while lines come: a steady caret, and no wake-ups for it.
    if (caretBlink_.isActive()) {
        caretBlink_.start();
        if (!std::exchange(caretShown_, true))
            viewport()->update(characterRect(caret_).adjusted(-1, 0, 1, 0));
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
    anchor_ = caret_ = 0;
    columns_.clear();
    topLine_ = paintedTop_ = 0;
    leftPixel_ = 0;
    accessibleFrom_ = -1;
    pendingFrom_ = -1;
    if (!text.isEmpty()) {
        store_.append(text, colour::Black);
        afterInsert(0, 0);
    }
    offerSelection();
    syncScrollBars();
    viewport()->update();
    notifyAccessibleInsert();
    emit changed();
}

QString RichTextField::selectedText() const {
    return store_.text(selectionStart(), selectionEnd(), u"\n");
}

// ---- when and what to paint ----

void RichTextField::scheduleFlush() {
    if (window()->isMinimized()) return; // painted when shown again
    // A change once the interval since the last paint is over (after a
    // quiet spell, the first one) is painted in this pass of the event loop,
    // in the wake-up that brought it. One before that waits: for the next
    // change after the interval, which paints it without a wake-up of its
    // own, or for the fallback, whichever comes first.
    const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : kPaintIntervalMs;
    if (since >= kPaintIntervalMs) {
        if (!paintTimer_.isActive() || paintTimer_.remainingTime() > 0) paintTimer_.start(0);
    } else if (!paintTimer_.isActive()) {
        paintTimer_.start(int(std::max<qint64>(kPaintIntervalMs - since, kPaintFallbackMs)));
    }
}

void RichTextField::followNow() {
    if (pendingFrom_ >= 0 || barsPending_) scheduleFlush();
}

void RichTextField::flush() {
    if (window()->isMinimized()) return;
    sincePaint_.restart();
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
    // The scroll bars follow the end a few times a second, at a paint; the
    // timer is there for the last lines of a flow, when no paint follows.
    const qint64 since = sinceBars_.isValid() ? sinceBars_.elapsed() : kScrollBarIntervalMs;
    if (since >= kScrollBarIntervalMs)
        followScrollBars();
    else if (!barTimer_.isActive())
        barTimer_.start(int(kScrollBarIntervalMs - since + kPaintFallbackMs));
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
            sinceBars_.restart();
            barTimer_.stop();
            barsPending_ = false;
            barsStale_ = true;
            return;
        }
    }
    syncScrollBars();
}

void RichTextField::syncScrollBars() {
    sinceBars_.restart();
    barTimer_.stop();
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
    h->setPageStep(int(std::max<qsizetype>(1, viewport()->width() / unit)));
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
    const int width = viewport()->width();
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
    p.fillRect(clip, kPaper);
    p.setFont(font());
    const qsizetype first = paintedTop_ + clip.top() / lineHeight_;
    const qsizetype last =
        std::min(store_.lineCount(), paintedTop_ + clip.bottom() / lineHeight_ + 1);
    for (qsizetype line = first; line < last; ++line)
        paintLine(p, line, int((line - paintedTop_) * lineHeight_), clip);
    if (hasFocus() && caretShown_ && isEnabled()) {
        const QRect caret = characterRect(caret_);
        p.fillRect(QRect(caret.left(), caret.top(), 1, lineHeight_), kCaret);
    }
}

void RichTextField::paintLine(QPainter& p, qsizetype line, int y, const QRect& clip) const {
    const qsizetype start = store_.lineStart(line);
    const qsizetype end = start + store_.lineLength(line);
    const qsizetype firstColumn = (leftPixel_ + std::max(0, clip.left())) / charWidth_;
    const qsizetype lastColumn = (leftPixel_ + clip.right()) / charWidth_ + 1;
    const qsizetype selFrom = selectionStart(), selTo = selectionEnd();

    // From the cell at the first column on screen, cell by cell as far as
    // the screen goes, gathering equal cells into one text. Only what is on
    // screen is looked at, however long the line.
    const LineColumns::Cell from = columns_.cellAt(line, firstColumn);
    qsizetype at = from.position, column = from.column;
    std::vector<std::pair<qsizetype, qsizetype>> marks;
    if (marks_) marks = marks_(at, std::min(end, columns_.cellAt(line, lastColumn).position + 1));
    size_t run = store_.runAt(std::min(at, std::max<qsizetype>(0, store_.length() - 1)));
    qsizetype runEnd = store_.runEnd(run);
    size_t mark = 0;
    QString pending;
    qsizetype pendingColumn = 0;
    QColor pendingColour;
    QList<quint32> indexes;
    QList<QPointF> positions;
    auto drawPending = [&] {
        if (pending.isEmpty()) return;
        p.setPen(pendingColour);
        const QPointF origin(double(pendingColumn * charWidth_ - leftPixel_), double(y + ascent_));
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
            p.drawText(origin, pending);
        }
        pending.clear();
    };
    for (; at < end && column < lastColumn; ++at) {
        const uchar c = uchar(store_.at(at));
        const qsizetype width =
            c == '\t' ? (column / LineColumns::kTabColumns + 1) * LineColumns::kTabColumns - column
                      : 1;
        if (column + width <= firstColumn) {
            column += width;
            continue;
        }
        while (at >= runEnd && run + 1 < store_.runs().size())
            runEnd = store_.runEnd(++run);
        while (mark < marks.size() && marks[mark].second <= at)
            ++mark;
        const bool selected = at >= selFrom && at < selTo;
        const bool marked = mark < marks.size() && marks[mark].first <= at;
        const QRect cell(int(column * charWidth_ - leftPixel_), y, int(width * charWidth_),
                         lineHeight_);
        if (selected)
            p.fillRect(cell, kSelection);
        else if (marked)
            p.fillRect(cell, kMark);
        const QColor ink = selected ? kSelectedInk : colour::toQColor(store_.runs()[run].colour);
        if (c == '\t' || drawnAlone(c) || ink != pendingColour) drawPending();
        if (c == '\t') {
            // nothing drawn: the cells stay blank
        } else if (drawnAlone(c)) {
            p.setPen(ink);
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
    if (end < store_.length() && end >= selFrom && end < selTo && column < lastColumn)
        p.fillRect(QRect(int(column * charWidth_ - leftPixel_), y, charWidth_, lineHeight_),
                   kSelection);
}

// ---- caret, selection and the clipboard ----

void RichTextField::setSelStart(int position) {
    // The operator is selecting with the mouse: the selection stays until
    // the button is let go.
    if (dragging_) return;
    const qsizetype at = std::clamp<qsizetype>(position, 0, store_.length());
    if (anchor_ != caret_) {
        repaintAll_ = true; // the selection goes
    } else if (at != caret_) {
        // The old caret's line is drawn again with the lines that changed.
        const qsizetype line = store_.lineAt(std::min(caret_, store_.length()));
        pendingFrom_ = pendingFrom_ < 0 ? line : std::min(pendingFrom_, line);
    }
    anchor_ = caret_ = at;
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
    anchor_ = std::clamp<qsizetype>(anchor, 0, store_.length());
    caret_ = std::clamp<qsizetype>(caret, 0, store_.length());
    showRange(caret_, caret_);
    selectionChanged();
}

void RichTextField::selectAll() {
    anchor_ = 0;
    caret_ = store_.length();
    viewport()->update();
    selectionChanged();
}

void RichTextField::copy() const {
    // What is selected now, kept even when the field is cleared; the text
    // itself is made at the paste.
    if (!hasSelection()) return;
    QGuiApplication::clipboard()->setMimeData(new TextOnRequest(
        [excerpt = store_.excerpt(selectionStart(), selectionEnd())] { return excerpt.text(); }));
}

void RichTextField::offerSelection() {
    // The X11 primary selection is the selection as it stands: offered once
    // when one begins, its text made when a program asks, and taken back
    // when the selection goes.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) return;
    const bool offered = offeredSelection_ && clipboard->ownsSelection();
    if (hasSelection() && !offered) {
        auto* text = new TextOnRequest([field = QPointer<const RichTextField>(this)] {
            return field ? field->selectedText() : QString();
        });
        offeredSelection_ = text;
        clipboard->setMimeData(text, QClipboard::Selection);
    } else if (!hasSelection() && offered) {
        offeredSelection_ = nullptr;
        clipboard->clear(QClipboard::Selection);
    }
}

void RichTextField::selectionChanged() {
    offerSelection();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent event(this, selectionStart(), selectionEnd());
        event.setCursorPosition(int(caret_));
        QAccessible::updateAccessibility(&event);
    }
}

void RichTextField::moveCaret(qsizetype position, bool extend) {
    caret_ = std::clamp<qsizetype>(position, 0, store_.length());
    if (!extend) anchor_ = caret_;
    offerSelection();
    caretShown_ = true;
    showRange(caret_, caret_);
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent event(this, int(caret_));
        QAccessible::updateAccessibility(&event);
    }
}

void RichTextField::selectWordAt(qsizetype position) {
    const qsizetype line = store_.lineAt(position);
    const qsizetype start = store_.lineStart(line), end = start + store_.lineLength(line);
    if (position >= end) position = std::max(start, end - 1);
    if (start == end) return moveCaret(start, false);
    qsizetype from = position, to = position + 1;
    if (isWordCharacter(store_.at(position))) {
        while (from > start && isWordCharacter(store_.at(from - 1)))
            --from;
        while (to < end && isWordCharacter(store_.at(to)))
            ++to;
    }
    anchor_ = from;
    moveCaret(to, true);
    selectionChanged();
}

void RichTextField::selectLineAt(qsizetype position) {
    const qsizetype line = store_.lineAt(position);
    anchor_ = store_.lineStart(line);
    moveCaret(anchor_ + store_.lineLength(line), true);
    selectionChanged();
}

void RichTextField::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) return copy();
    if (event == QKeySequence::SelectAll) return selectAll();
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const qsizetype line = store_.lineAt(caret_);
    const qsizetype lineStart = store_.lineStart(line);
    const qsizetype lineEnd = lineStart + store_.lineLength(line);
    const auto lineMove = [&](qsizetype lines) {
        const qsizetype target = std::clamp<qsizetype>(line + lines, 0, store_.lineCount() - 1);
        setTopLine(topLine_ + (target - line));
        return columns_.positionNear(target, columns_.columnOf(caret_));
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
        to = lineMove(-1);
        break;
    case Qt::Key_Down:
        to = lineMove(1);
        break;
    case Qt::Key_PageUp:
        to = lineMove(-visibleRows());
        break;
    case Qt::Key_PageDown:
        to = lineMove(visibleRows());
        break;
    case Qt::Key_Home:
        to = control ? 0 : lineStart;
        break;
    case Qt::Key_End:
        to = control ? store_.length() : lineEnd;
        break;
    default:
        event->ignore();
        return;
    }
    moveCaret(to, extend);
    if (extend) selectionChanged();
}

void RichTextField::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
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
    if (event->type() == QEvent::FontChange) {
        measureFont();
        syncScrollBars();
    }
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
