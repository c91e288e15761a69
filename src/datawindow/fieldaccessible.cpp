// What assistive technology reads from the data field: its text exactly as
// the field holds it (each line end one "\n"), with the colour of each run,
// the caret and the selection. A received NUL cannot cross the accessibility
// bus, so readers get a visible stand-in for it in the same place.

#include "datawindow/colours.h"
#include "datawindow/richtextfield.h"

#include <QAccessibleWidget>
#include <QScrollBar>

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
        const int from = clamped(startOffset), to = clamped(endOffset);
        if (from >= to) return QString();
        QString out = field_->store().text(from, to, u"\n");
        return out.replace(QChar(0), QChar(0x2400));
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
    int clamped(int offset) const { return qBound(0, offset, characterCount()); }
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
