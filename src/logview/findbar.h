#pragma once
// The find bar of the data window: the text to find, Previous and Next, Match
// case, and how many matches there are. It knows nothing of what is searched;
// its owner does the finding and shows the count.
//
// While the focus is in the bar, Enter and F3 find the next match, Shift+Enter
// and Shift+F3 the previous one (Enter on a focused button presses that
// button), and Escape asks to close the bar.

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    QString query() const;
    bool matchCase() const;
    // Puts the focus in the text to find, with all of it selected.
    void focusQuery();
    // Shows `text` as the count, and has a screen reader read it out.
    void showCount(const QString& text);

signals:
    void queryChanged(const QString& text, bool matchCase);
    void nextRequested();
    void previousRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* text_;
    QPushButton* previous_;
    QPushButton* next_;
    QCheckBox* matchCase_;
    QLabel* count_;
};
