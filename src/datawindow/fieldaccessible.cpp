// What assistive technology reads from the data field: its text exactly as
// the field holds it (each line end one "\n"), without the breaks that split
// a long line for display only.

#include "datawindow/richtextfield.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

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
        return QAccessibleWidget::text(t);
    }

    QString text(int startOffset, int endOffset) const override {
        const int from = field_->toDocument(qBound(0, startOffset, characterCount()));
        const int to = field_->toDocument(qBound(0, endOffset, characterCount()));
        return from < to ? field_->textBetween(from, to, QStringLiteral("\n")) : QString();
    }
    int characterCount() const override { return field_->length(); }

    int cursorPosition() const override { return field_->selStart(); }
    void setCursorPosition(int position) override { field_->setSelStart(position); }

    int selectionCount() const override { return field_->textCursor().hasSelection() ? 1 : 0; }
    void selection(int index, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        const QTextCursor c = field_->textCursor();
        if (index != 0 || !c.hasSelection()) return;
        *startOffset = field_->fromDocument(c.selectionStart());
        *endOffset = field_->fromDocument(c.selectionEnd());
    }
    void setSelection(int index, int startOffset, int endOffset) override {
        if (index != 0) return;
        QTextCursor c = field_->textCursor();
        c.setPosition(field_->toDocument(qBound(0, startOffset, characterCount())));
        c.setPosition(field_->toDocument(qBound(0, endOffset, characterCount())),
                      QTextCursor::KeepAnchor);
        field_->setTextCursor(c);
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int index) override {
        if (index != 0) return;
        QTextCursor c = field_->textCursor();
        c.clearSelection();
        field_->setTextCursor(c);
    }

    QRect characterRect(int offset) const override {
        QTextCursor c(field_->document());
        c.setPosition(field_->toDocument(qBound(0, offset, characterCount())));
        QRect r = field_->cursorRect(c);
        r.setWidth(field_->fontMetrics().averageCharWidth());
        r.moveTopLeft(field_->viewport()->mapToGlobal(r.topLeft()));
        return r;
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = field_->viewport()->mapFromGlobal(point);
        return field_->fromDocument(field_->cursorForPosition(local).position());
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        QTextCursor c(field_->document());
        c.setPosition(field_->toDocument(qBound(0, endIndex, characterCount())));
        const QRect end = field_->cursorRect(c);
        c.setPosition(field_->toDocument(qBound(0, startIndex, characterCount())));
        const QRect start = field_->cursorRect(c);
        QScrollBar* bar = field_->verticalScrollBar();
        if (!field_->viewport()->rect().contains(start) ||
            !field_->viewport()->rect().contains(end))
            bar->setValue(c.block().firstLineNumber());
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
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
