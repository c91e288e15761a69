#include "datawindow/richtextfield.h"

#include "datawindow/colours.h"
#include "platform/fonts.h"

#include <QEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {
// The characters the document turns into a block break when inserted, with
// CR LF counted as one.
bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::ParagraphSeparator ||
           c == QChar(0xFDD0) || c == QChar(0xFDD1);
}
} // namespace

RichTextField::RichTextField(QWidget* parent) : QPlainTextEdit(parent), tail_(document()) {
    installAccessibility();
    // The log is never undone; an undo stack would hold a second copy of it.
    setUndoRedoEnabled(false);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);

    QFont font = platform::fixedPitchFont(QStringLiteral("Courier New"));
    font.setPointSizeF(8.25);
    setFont(font);

    // Black, red, blue and green lines on white, whatever the desktop theme.
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, Qt::white);
        pal.setColor(group, QPalette::Text, Qt::black);
    }
    setPalette(pal);

    connect(this, &QPlainTextEdit::textChanged, this, &RichTextField::changed);

    // Scroll bars that fill their own background: one moved by an append is
    // repainted alone, not with the window beneath it.
    verticalScrollBar()->setAutoFillBackground(true);
    horizontalScrollBar()->setAutoFillBackground(true);

    // A flooding device appends thousands of times a second; repainting and
    // scrolling after each would cost far more than the appends. Once per
    // screen refresh shows the same: the text, colours and caret are updated
    // by every append, only the pixels and the scroll wait up to one refresh.
    // A minimised window waits until it is shown again.
    paintGate_.setSingleShot(true);
    paintGate_.setInterval(16);
    paintGate_.setTimerType(Qt::PreciseTimer);
    connect(&paintGate_, &QTimer::timeout, this, [this] {
        if (!paintingHeld()) return; // nothing was held: the line went quiet
        if (window()->isMinimized()) return;
        if (followPending_) scrollToEnd();
        holdPainting(false);
        paintGate_.start();
    });
}

void RichTextField::setSelColor(int colourNumber) {
    selColor_ = colourNumber;
}

void RichTextField::setSelText(const QString& text) {
    setSelTexts(QStringList{text});
}

void RichTextField::setSelTexts(const QStringList& texts) {
    if (std::all_of(texts.begin(), texts.end(), [](const QString& t) { return t.isEmpty(); }))
        return;
    holdPaintingAfterInsert();
    // One cursor kept at the end: each insertion leaves it there, so it need
    // not be walked to the end of a long log every time.
    if (!tail_.atEnd()) tail_.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour::toQColor(selColor_));
    // One edit block: one layout pass and one change notification.
    tail_.beginEditBlock();
    insertTexts(texts, format);
    tail_.endEditBlock();
    for (const QString& text : texts)
        if (!text.isEmpty()) emit selTextInserted(text);
}

void RichTextField::insertTexts(const QStringList& texts, const QTextCharFormat& format) {
    // The texts become one string for one insertion, every line end and
    // display break in it a paragraph separator: the document makes exactly
    // one block break of each, whatever stands next to it.
    const int start = tail_.position();
    int column = tail_.positionInBlock();
    QString all;
    qsizetype total = 0;
    for (const QString& text : texts)
        total += text.size();
    all.reserve(total + total / kDisplayPieceChars + 1);
    for (const QString& text : texts) {
        const qsizetype n = text.size();
        for (qsizetype at = 0; at < n; ++at) {
            const QChar c = text.at(at);
            if (isLineEnd(c)) {
                if (c == QLatin1Char('\r') && at + 1 < n && text.at(at + 1) == QLatin1Char('\n'))
                    ++at;
                all.append(QChar::ParagraphSeparator);
                column = 0;
                continue;
            }
            if (column >= kDisplayPieceChars) {
                displayBreaks_.push_back(start + int(all.size()));
                all.append(QChar::ParagraphSeparator);
                column = 0;
            }
            all.append(c);
            ++column;
        }
    }
    tail_.insertText(all, format);
}

void RichTextField::holdPaintingAfterInsert() {
    // The first insertion after a quiet spell is painted at once.
    if (window()->isMinimized()) {
        holdPainting(true);
    } else if (!paintGate_.isActive()) {
        paintGate_.start();
    } else {
        holdPainting(true);
    }
}

void RichTextField::holdPainting(bool hold) {
    // The text area and its scroll bars only: the frame around them and the
    // window beneath stay as they are, so a release repaints no more than
    // what the text changed.
    if (hold == paintingHeld()) return;
    for (QWidget* part : {viewport(), static_cast<QWidget*>(verticalScrollBar()),
                          static_cast<QWidget*>(horizontalScrollBar())})
        part->setUpdatesEnabled(!hold);
}

bool RichTextField::paintingHeld() const {
    return !viewport()->updatesEnabled();
}

void RichTextField::scrollToEnd() {
    followPending_ = false;
    // The bottom of the scroll range, as the editor's own append does; the
    // caret check after it is left only the sideways scroll to do.
    if (!centerOnScroll()) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    ensureCursorVisible();
}

void RichTextField::followNow() {
    if (followPending_) scrollToEnd();
}

int RichTextField::selStart() const {
    return fromDocument(textCursor().position());
}

void RichTextField::setSelStart(int position) {
    const int target = toDocument(qBound(0, position, length()));
    QTextCursor c = textCursor();
    // A caret at the end rides along with every append there, so the change
    // reaction mostly finds it in place: then only bring it into view, which
    // costs far less than handing the editor a new cursor, and while painting
    // is held only at the next refresh.
    if (!c.hasSelection() && c.position() == target) {
        if (!c.atEnd())
            ensureCursorVisible();
        else if (!paintingHeld())
            scrollToEnd();
        else
            followPending_ = true;
        return;
    }
    c.setPosition(target);
    setTextCursor(c);
}

int RichTextField::toDocument(int position) const {
    // Break i sits after (displayBreaks_[i] - i) characters of the text.
    int before = 0;
    int count = int(displayBreaks_.size());
    while (count > 0) {
        const int half = count / 2;
        const int i = before + half;
        if (displayBreaks_[size_t(i)] - i < position) {
            before = i + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return position + before;
}

int RichTextField::fromDocument(int position) const {
    const auto breaks = std::lower_bound(displayBreaks_.begin(), displayBreaks_.end(), position);
    return position - int(breaks - displayBreaks_.begin());
}

int RichTextField::length() const {
    return document()->characterCount() - 1 - int(displayBreaks_.size());
}

QString RichTextField::textBetween(int from, int to, const QString& lineEnd) const {
    // toRawText keeps every character (toPlainText would turn 0xA0 into a
    // space); block boundaries come out as U+2029.
    QString raw;
    if (from == 0 && to >= document()->characterCount() - 1) {
        raw = document()->toRawText();
    } else {
        QTextCursor c(document());
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        raw = c.selectedText();
    }
    if (displayBreaks_.empty()) return raw.replace(QChar::ParagraphSeparator, lineEnd);
    QString out;
    out.reserve(raw.size() + raw.size() / 16);
    auto display = std::lower_bound(displayBreaks_.begin(), displayBreaks_.end(), from);
    qsizetype done = 0;
    for (qsizetype end; (end = raw.indexOf(QChar::ParagraphSeparator, done)) >= 0; done = end + 1) {
        out.append(QStringView(raw).mid(done, end - done));
        const int at = from + int(end);
        while (display != displayBreaks_.end() && *display < at)
            ++display;
        if (display != displayBreaks_.end() && *display == at)
            ++display;
        else
            out.append(lineEnd);
    }
    out.append(QStringView(raw).mid(done));
    return out;
}

QString RichTextField::text() const {
    return textBetween(0, document()->characterCount() - 1, QStringLiteral("\r\n"));
}

void RichTextField::setText(const QString& text) {
    emit aboutToSetText(text);
    document()->clear();
    displayBreaks_.clear();
    followPending_ = false;
    if (text.isEmpty()) return;
    tail_.movePosition(QTextCursor::End);
    tail_.beginEditBlock();
    insertTexts(QStringList{text}, QTextCharFormat());
    tail_.endEditBlock();
}

void RichTextField::setEnabledKeepingFocus(bool enabled) {
    keepFocus_ = true;
    setEnabled(enabled);
    keepFocus_ = false;
}

bool RichTextField::focusNextPrevChild(bool next) {
    // Asked by a disable that must not move the focus: it stays here.
    if (keepFocus_) return true;
    return QPlainTextEdit::focusNextPrevChild(next);
}

QMimeData* RichTextField::createMimeDataFromSelection() const {
    const QTextCursor c = textCursor();
    if (displayBreaks_.empty() || !c.hasSelection())
        return QPlainTextEdit::createMimeDataFromSelection();
    // A copy of a long line is the line, without the breaks of its display.
    auto* mime = new QMimeData;
    mime->setText(textBetween(c.selectionStart(), c.selectionEnd(), QStringLiteral("\n")));
    return mime;
}

void RichTextField::showEvent(QShowEvent* event) {
    // Restoring a minimised window paints and scrolls what was held.
    if (window() != watchedWindow_) {
        if (watchedWindow_) watchedWindow_->removeEventFilter(this);
        watchedWindow_ = window();
        watchedWindow_->installEventFilter(this);
    }
    QPlainTextEdit::showEvent(event);
}

bool RichTextField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ && event->type() == QEvent::WindowStateChange &&
        !watchedWindow_->isMinimized() && (paintingHeld() || followPending_)) {
        holdPainting(true);
        paintGate_.start();
    }
    return QPlainTextEdit::eventFilter(watched, event);
}
