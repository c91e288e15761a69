#pragma once
// What the operator is doing with the keyboard, for the data field's focus
// rule.

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWidget>

// What the operator is doing with the keyboard: the keys held down now, and
// the control the keyboard last moved the focus to. Seen through an
// application-wide event filter, since key presses go to whichever widget
// has the focus.
class OperatorInput : public QObject {
public:
    explicit OperatorInput(QObject* parent);

    bool keyHeld() const { return !held_.isEmpty(); }
    bool chosenByKeyboard(const QWidget* w) const { return w && w == chosen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSet<int> held_;
    QPointer<QWidget> chosen_;
};
