#pragma once
// Find in the data field: the find bar under the field, the search over the
// field's store, the matches marked in view and counted in steps, so that a
// field of any size is searched as fast as the operator types.

#include "logview/logfinder.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class FindBar;
class RichTextField;
class QWidget;

class FieldFind : public QObject {
    Q_OBJECT
public:
    FieldFind(RichTextField* field, QWidget* barParent);

    FindBar* bar() const { return bar_; }
    // Shows the bar with the focus in it; the focus it had returns on close.
    void open();
    void close();
    // Whether a match is shown: the field then keeps its view while lines
    // arrive, as with "Auto Scroll" off.
    bool holdsMatch() const;

    // Bytes of the field searched per step of the count.
    static constexpr qsizetype kCountStepBytes = 4 * 1024 * 1024;

signals:
    // The bar was closed (the view may go back to following the end).
    void closed();

private:
    void search(const QString& text, bool matchCase);
    void go(bool forward);
    void show(const LogFinder::Match& match);
    void countOn();
    void showCount();
    void fieldChanged();

    RichTextField* field_;
    FindBar* bar_;
    LogFinder finder_;
    QTimer counting_;
    QPointer<QWidget> focusBefore_;
    // Where the match shown starts (-1: none), and whether reaching it went
    // round the end of the field.
    qsizetype match_ = -1;
    bool wrapped_ = false;
    bool cleared_ = false;
    QString shownCount_;
};
