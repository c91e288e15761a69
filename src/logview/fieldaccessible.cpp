// What assistive technology reads from the data field: its text exactly as
// the field holds it (each line end one "\n"), with the colour of each run,
// the caret and the selection. A received NUL cannot cross the accessibility
// bus, so readers get a visible stand-in for it in the same place. A field
// may hold more than a bus message can carry: every answer is at most
// kAccessibleTextMax characters, so a reader asking for everything gets the
// start, and never loses its connection.

#include "logview/colours.h"
#include "logview/richtextfield.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <utility>

class FieldAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit FieldAccessible(RichTextField* field)
        : QAccessibleWidget(field, QAccessible::EditableText), field_(field) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return text(0, characterCount());
        // With the times shown, the time of the line at the caret, asked for
        // when a reader wants it (no event for every line that comes).
        if (t == QAccessible::Description &&
            field_->timeColumn() != RichTextField::TimeColumn::Hidden) {
            const QString time = field_->timeText(field_->store().lineAt(field_->selStart()));
            const QString own = QAccessibleWidget::text(t);
            if (!time.isEmpty())
                return (own.isEmpty() ? QString() : own + QStringLiteral(". ")) +
                       QStringLiteral("Line at the caret: ") + time;
        }
        return QAccessibleWidget::text(t);
    }

    QString text(int startOffset, int endOffset) const override {
        // -1 as the end means the end, as the bus asks for the whole text.
        const int from = clamped(startOffset);
        const int to = endOffset < 0 ? characterCount() : clamped(endOffset);
        if (from >= to) return QString();
        QString out = field_->store().text(
            from, std::min<qsizetype>(to, from + RichTextField::kAccessibleTextMax), u"\n");
        return out.replace(QChar(0), QChar(0x2400));
    }

    // The default answers build the whole text first; these look only at
    // the line that holds the offset.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                         int* endOffset) const override {
        return piece(segment(type, offset), startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                             int* endOffset) const override {
        const Span at = segment(type, offset);
        return piece(at.first > 0 ? segment(type, at.first - 1) : Span{0, 0}, startOffset,
                     endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                            int* endOffset) const override {
        const Span at = segment(type, offset);
        return piece(at.second < characterCount() && at.second > at.first
                         ? segment(type, at.second)
                         : Span{characterCount(), characterCount()},
                     startOffset, endOffset);
    }
    int characterCount() const override { return field_->length(); }

    int cursorPosition() const override { return field_->selStart(); }
    void setCursorPosition(int position) override { field_->setSelStart(position); }

    int selectionCount() const override { return field_->hasSelection() ? 1 : 0; }
    void selection(int index, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (index != 0 || !field_->hasSelection()) return;
        *startOffset = field_->selectionStart();
        *endOffset = field_->selectionEnd();
    }
    void setSelection(int index, int startOffset, int endOffset) override {
        if (index == 0) field_->setSelection(clamped(startOffset), clamped(endOffset));
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int index) override {
        if (index == 0) field_->setSelStart(field_->selStart());
    }

    QRect characterRect(int offset) const override {
        QRect r = field_->characterRect(clamped(offset));
        r.moveTopLeft(field_->viewport()->mapToGlobal(r.topLeft()));
        return r;
    }
    int offsetAtPoint(const QPoint& point) const override {
        return int(field_->positionAt(field_->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        field_->showRange(clamped(startIndex), clamped(endIndex));
    }
    // The attributes Qt's own text widgets give, for the run that holds the
    // offset: a screen reader tells a sent frame (red) from an answer (blue).
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        const LogStore& store = field_->store();
        *startOffset = *endOffset = offset;
        if (offset < 0 || offset >= store.length()) return QString();
        const size_t run = store.runAt(offset);
        *startOffset = int(store.runs()[run].start);
        *endOffset = int(store.runEnd(run));
        const QColor ink = colour::toQColor(store.runs()[run].colour);
        const QFont font = field_->font();
        return QStringLiteral("background-color:rgb(255,255,255);color:rgb(%1,%2,%3);"
                              "font-family:\"%4\";font-size:%5pt;font-style:normal;"
                              "font-weight:normal;")
            .arg(ink.red())
            .arg(ink.green())
            .arg(ink.blue())
            .arg(font.family())
            .arg(qRound(font.pointSizeF()));
    }

private:
    using Span = std::pair<int, int>;
    int clamped(int offset) const { return qBound(0, offset, characterCount()); }

    QString piece(Span span, int* startOffset, int* endOffset) const {
        *startOffset = span.first;
        *endOffset = span.second;
        return text(span.first, span.second);
    }

    // The stretch of `type` that holds `offset`: a character, a line with its
    // end (a paragraph is a line), or a word or sentence found within the
    // line. A stretch longer than an answer may be is cut around the offset.
    Span segment(QAccessible::TextBoundaryType type, int offset) const {
        const LogStore& store = field_->store();
        const int count = characterCount();
        offset = qBound(0, offset, count);
        if (type == QAccessible::NoBoundary) return {0, count};
        if (offset >= count) return {count, count};
        if (type == QAccessible::CharBoundary) return {offset, offset + 1};
        const qsizetype line = store.lineAt(offset);
        const qsizetype lineStart = store.lineStart(line);
        const qsizetype lineEnd =
            std::min<qsizetype>(count, lineStart + store.lineLength(line) + 1);
        constexpr qsizetype half = RichTextField::kAccessibleTextMax / 2;
        const qsizetype from =
            std::max(lineStart, std::min<qsizetype>(offset - half, lineEnd - 2 * half));
        const qsizetype to = std::min(lineEnd, from + 2 * half);
        if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary)
            return {int(from), int(to)};
        // Words and sentences within a window around the offset.
        constexpr qsizetype window = 4096;
        const qsizetype wFrom = std::max(from, qsizetype(offset) - window);
        const qsizetype wTo = std::min(to, qsizetype(offset) + window);
        const QString around = store.text(wFrom, wTo, u"\n");
        QTextBoundaryFinder finder(type == QAccessible::WordBoundary
                                       ? QTextBoundaryFinder::Word
                                       : QTextBoundaryFinder::Sentence,
                                   around);
        finder.setPosition(int(offset - wFrom));
        const qsizetype start =
            finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
        finder.setPosition(int(offset - wFrom));
        qsizetype end = finder.toNextBoundary();
        if (end < 0) end = around.size();
        return {int(wFrom + std::max<qsizetype>(0, start)), int(wFrom + end)};
    }
    RichTextField* field_;
};

namespace {

QAccessibleInterface* fieldAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("RichTextField") && object && object->isWidgetType())
        return new FieldAccessible(static_cast<RichTextField*>(object));
    return nullptr;
}

} // namespace

void RichTextField::installAccessibility() {
    static const bool installed = (QAccessible::installFactory(fieldAccessible), true);
    Q_UNUSED(installed);
}
