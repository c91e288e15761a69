#include "logview/findbar.h"

#include "platform/controls.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("FindText"));
    text_->setAccessibleName(QStringLiteral("Find"));
    previous_ = namedButton(QStringLiteral("Previous"), QStringLiteral("FindPrevious"), this);
    next_ = namedButton(QStringLiteral("Next"), QStringLiteral("FindNext"), this);
    matchCase_ = new QCheckBox(QStringLiteral("Match case"), this);
    matchCase_->setObjectName(QStringLiteral("MatchCase"));
    matchCase_->setAccessibleName(matchCase_->text());
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("FindCount"));
    count_->setTextFormat(Qt::PlainText);

    // Two rows, so the bar is no wider than the field above it: the text
    // and its count, then the buttons.
    auto* rows = new QGridLayout(this);
    rows->setContentsMargins(0, 2, 0, 2);
    rows->addWidget(text_, 0, 0, 1, 3);
    rows->addWidget(count_, 0, 3);
    rows->addWidget(previous_, 1, 0);
    rows->addWidget(next_, 1, 1);
    rows->addWidget(matchCase_, 1, 2, 1, 2);
    rows->setColumnStretch(2, 1);
    text_->setMinimumWidth(60);
    setFocusProxy(text_);

    for (QWidget* w : {static_cast<QWidget*>(text_), static_cast<QWidget*>(previous_),
                       static_cast<QWidget*>(next_), static_cast<QWidget*>(matchCase_)})
        w->installEventFilter(this);
    connect(text_, &QLineEdit::textChanged, this,
            [this](const QString& text) { emit queryChanged(text, matchCase_->isChecked()); });
    connect(matchCase_, &QCheckBox::toggled, this,
            [this](bool on) { emit queryChanged(text_->text(), on); });
    connect(previous_, &QPushButton::clicked, this, &FindBar::previousRequested);
    connect(next_, &QPushButton::clicked, this, &FindBar::nextRequested);
}

QString FindBar::query() const {
    return text_->text();
}

bool FindBar::matchCase() const {
    return matchCase_->isChecked();
}

void FindBar::focusQuery() {
    text_->setFocus(Qt::ShortcutFocusReason);
    text_->selectAll();
}

void FindBar::showCount(const QString& text) {
    count_->setText(text);
    // The name change is what a screen reader reads out, every time, the same
    // count included (Next on the only match reads "1 of 1" again). Qt 6.4
    // reports every setAccessibleName as a NameChanged itself; later Qt
    // reports only a real change, so the same name again is reported here.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    const bool same = count_->accessibleName() == text;
#endif
    count_->setAccessibleName(text);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (same) {
        QAccessibleEvent changed(count_, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
#endif
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier && mods != Qt::ShiftModifier)
        return QWidget::eventFilter(watched, event);
    const bool shift = mods == Qt::ShiftModifier;
    void (FindBar::*request)() = nullptr;
    switch (key->key()) {
    case Qt::Key_Escape:
        if (!shift) request = &FindBar::closeRequested;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        request =
            shift || watched == previous_ ? &FindBar::previousRequested : &FindBar::nextRequested;
        break;
    case Qt::Key_F3:
        request = shift ? &FindBar::previousRequested : &FindBar::nextRequested;
        break;
    default:
        break;
    }
    if (!request) return QWidget::eventFilter(watched, event);
    // Claimed ahead of the window's shortcuts, then acted on as a key press.
    event->accept();
    if (type == QEvent::KeyPress) emit(this->*request)();
    return true;
}
