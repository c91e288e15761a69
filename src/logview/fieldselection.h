#pragma once
// The caret and the operator's selection in the data field, where the keys
// and clicks move them, and what the clipboards get of them.

#include "logview/linecolumns.h"
#include "logview/logstore.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QMimeData;

class FieldSelection {
public:
    FieldSelection(const LogStore& store, const LineColumns& columns)
        : store_(store), columns_(columns) {}

    qsizetype caret() const { return caret_; }
    qsizetype anchor() const { return anchor_; }
    bool any() const { return anchor_ != caret_; }
    qsizetype from() const { return std::min(anchor_, caret_); }
    qsizetype to() const { return std::max(anchor_, caret_); }
    // The selection's text, each line end "\n", as a copy gives it.
    QString text() const { return store_.text(from(), to(), u"\n"); }

    // Both ends within the store.
    void set(qsizetype anchor, qsizetype caret);
    // The caret to `position`; the selection goes unless it is extended.
    void moveCaret(qsizetype position, bool extend);

    // Where a key moves the caret, and how many lines the view moves with
    // it (Up, Down, Page Up, Page Down keep the caret where it is on
    // screen). Nothing for a key that does not move it.
    struct Move {
        qsizetype to;
        qsizetype lines;
    };
    std::optional<Move> keyMove(int key, Qt::KeyboardModifiers modifiers, int visibleRows) const;

    // The word (letters, digits and '_') or the one other character at
    // `position`, and the whole line there, without its end.
    std::pair<qsizetype, qsizetype> wordAt(qsizetype position) const;
    std::pair<qsizetype, qsizetype> lineAt(qsizetype position) const;

private:
    const LogStore& store_;
    const LineColumns& columns_;
    qsizetype anchor_ = 0;
    qsizetype caret_ = 0;
};

// What the clipboards get of a selection: the text is made when a program
// asks for it (a paste, a middle click), not when the operator selects, since
// a selection may be the whole log.
class SelectionClipboard {
public:
    ~SelectionClipboard();
    // Ctrl+C: what is selected now, kept even when the store is cleared.
    static void copy(const LogStore& store, qsizetype from, qsizetype to);
    // The X11 primary selection follows the selection as it stands: offered
    // once when one begins, its text asked of `text` when a program wants
    // it, and taken back when the selection goes.
    void follow(bool selected, std::function<QString()> text);

private:
    QPointer<QMimeData> offered_;
};
