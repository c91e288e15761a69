#include "datawindow/richtextfield.h"

#include "datawindow/colours.h"
#include "platform/fonts.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

RichTextField::RichTextField(QWidget* parent) : QPlainTextEdit(parent), tail_(document()) {
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

    // A flooding device appends thousands of times a second; repainting after
    // each would cost far more than the appends. One repaint per screen
    // refresh shows the same: the text, colours and caret are updated by every
    // append, only the pixels wait up to one refresh.
    paintGate_.setSingleShot(true);
    paintGate_.setInterval(16);
    paintGate_.setTimerType(Qt::PreciseTimer);
    connect(&paintGate_, &QTimer::timeout, this, [this] {
        if (updatesEnabled())
            return; // nothing was held: the line went quiet
        setUpdatesEnabled(true);
        paintGate_.start();
    });
}

void RichTextField::setSelColor(int colourNumber) { selColor_ = colourNumber; }

void RichTextField::setSelText(const QString& text) {
    if (text.isEmpty())
        return;
    holdPaintingAfterInsert();
    // One cursor kept at the end: each insertion leaves it there, so it need
    // not be walked to the end of a long log every time.
    if (!tail_.atEnd())
        tail_.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour::toQColor(selColor_));
    tail_.insertText(text, format);
    emit selTextInserted(text);
}

void RichTextField::holdPaintingAfterInsert() {
    // The first insertion after a quiet spell is painted at once.
    if (!paintGate_.isActive())
        paintGate_.start();
    else if (updatesEnabled())
        setUpdatesEnabled(false);
}

int RichTextField::selStart() const { return textCursor().position(); }

void RichTextField::setSelStart(int position) {
    QTextCursor c = textCursor();
    // A caret at the end rides along with every append there, so the change
    // reaction mostly finds it in place: then only bring it into view, which
    // costs far less than handing the editor a new cursor. At the end that is
    // the bottom of the scroll range (as the editor's own append does); the
    // caret check after it is left only the sideways scroll to do.
    if (!c.hasSelection() && c.position() == position) {
        if (c.atEnd() && !centerOnScroll())
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        ensureCursorVisible();
        return;
    }
    c.setPosition(qBound(0, position, length()));
    setTextCursor(c);
}

int RichTextField::length() const { return document()->characterCount() - 1; }

QString RichTextField::text() const {
    // toRawText keeps every character (toPlainText would turn 0xA0 into a
    // space); block boundaries come out as U+2029.
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return raw;
}

void RichTextField::setText(const QString& text) {
    emit aboutToSetText(text);
    document()->clear();
    if (text.isEmpty())
        return;
    QTextCursor c(document());
    c.insertText(text, QTextCharFormat());
}
