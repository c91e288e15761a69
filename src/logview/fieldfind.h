#pragma once
// Find in the data field: the find bar under the field, the search over the
// field's store, the matches marked in view and counted in steps, so that a
// field of any size is searched as fast as the operator types. With the
// byte view shown the same bar searches the wire record instead, for bytes
// written in hex ("06 50 44") or for text.

#include "logview/linepainter.h"
#include "logview/logfinder.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class ByteView;
class FindBar;
class RichTextField;
class QWidget;

class FieldFind : public QObject {
    Q_OBJECT
public:
    FieldFind(RichTextField* field, QWidget* barParent);
    ~FieldFind() override;
    // The byte view the bar searches while it is shown (searchBytes).
    void addBytes(ByteView* view);
    void searchBytes(bool bytes);

    FindBar* bar() const { return bar_; }
    // Shows the bar with the focus in it; the focus it had returns on close.
    void open();
    void close();
    // Whether a match is shown: the view then keeps its place while lines
    // arrive, as with "Auto Scroll" off.
    bool holdsMatch() const;

    // Bytes searched per step of the count.
    static constexpr qsizetype kCountStepBytes = 4 * 1024 * 1024;

    // The bytes a query in hex stands for ("06 50 44": pairs of hex digits
    // between single spaces), or nothing when it is text.
    static std::optional<QByteArray> hexBytes(const QString& query);

signals:
    // The bar was closed (the view may go back to following the end).
    void closed();

private:
    // What a search looks at and shows its matches in.
    struct Target {
        QWidget* widget;
        std::function<qsizetype()> caret;
        std::function<bool()> hasSelection;
        std::function<qsizetype()> selectionStart;
        std::function<void(qsizetype)> collapseTo;
        std::function<void(qsizetype, qsizetype)> select; // and bring into view
        std::function<void(LinePainter::Marks)> setMarks;
        std::function<void()> marksChanged;
        std::unique_ptr<LogFinder> finder;
        bool bytes = false;
    };
    void watch(QObject* view, Target& target);
    LogFinder& finder() const { return *current_->finder; }
    void markMatches();
    void search(const QString& text, bool matchCase);
    void go(bool forward);
    void show(const LogFinder::Match& match);
    void countOn();
    void showCount();
    void fieldChanged();

    FindBar* bar_;
    Target text_;
    Target bytes_;
    Target* current_ = &text_;
    QTimer counting_;
    QPointer<QWidget> focusBefore_;
    // Where the match shown starts (-1: none), and whether reaching it went
    // round the end of the field.
    qsizetype match_ = -1;
    bool wrapped_ = false;
    bool cleared_ = false;
    QString shownCount_;
};
