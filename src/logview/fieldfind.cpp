#include "logview/fieldfind.h"

#include "logview/findbar.h"
#include "logview/richtextfield.h"

#include <QApplication>

#include <utility>

FieldFind::FieldFind(RichTextField* field, QWidget* barParent)
    : QObject(barParent), field_(field), bar_(new FindBar(barParent)), finder_(field->store()) {
    bar_->setObjectName(QStringLiteral("FindBar"));
    bar_->hide();
    counting_.setInterval(0);
    connect(&counting_, &QTimer::timeout, this, &FieldFind::countOn);
    connect(bar_, &FindBar::queryChanged, this, &FieldFind::search);
    connect(bar_, &FindBar::nextRequested, this, [this] { go(true); });
    connect(bar_, &FindBar::previousRequested, this, [this] { go(false); });
    connect(bar_, &FindBar::closeRequested, this, &FieldFind::close);
    connect(field_, &RichTextField::aboutToSetText, this, [this] { cleared_ = true; });
    connect(field_, &RichTextField::changed, this, &FieldFind::fieldChanged);
}

void FieldFind::open() {
    if (!bar_->isVisible()) {
        QWidget* focus = QApplication::focusWidget();
        focusBefore_ = focus && !bar_->isAncestorOf(focus) ? focus : nullptr;
        bar_->show();
        field_->setMarks([this](qsizetype from, qsizetype to) {
            std::vector<std::pair<qsizetype, qsizetype>> marks;
            if (!finder_.searchable()) return marks;
            for (const qsizetype start : finder_.matchesIn(from, to))
                marks.emplace_back(start, start + finder_.queryLength());
            return marks;
        });
        if (!bar_->query().isEmpty()) search(bar_->query(), bar_->matchCase());
    }
    bar_->focusQuery();
}

void FieldFind::close() {
    if (!bar_->isVisible()) return;
    counting_.stop();
    match_ = -1;
    field_->setMarks({});
    QWidget* back = focusBefore_ && focusBefore_->isVisible() && focusBefore_->isEnabled()
                        ? focusBefore_.data()
                        : static_cast<QWidget*>(field_);
    bar_->hide();
    back->setFocus(Qt::OtherFocusReason);
    emit closed();
}

bool FieldFind::holdsMatch() const {
    return bar_->isVisible() && match_ >= 0;
}

void FieldFind::search(const QString& text, bool matchCase) {
    finder_.setQuery(text, matchCase);
    // Typing on keeps the match where it is while it still matches: the
    // search starts where the shown match starts, else at the caret.
    const qsizetype from = match_ >= 0 ? match_ : field_->selStart();
    const bool wentRound = match_ >= 0 && wrapped_;
    match_ = -1;
    wrapped_ = false;
    if (!finder_.searchable()) {
        counting_.stop();
        if (!text.isEmpty() && field_->hasSelection())
            field_->setSelStart(field_->selectionStart());
        field_->marksChanged();
        bar_->showCount(shownCount_ = text.isEmpty() ? QString() : QStringLiteral("No match"));
        return;
    }
    LogFinder::Match match = finder_.next(from);
    match.wrapped = match.wrapped || wentRound;
    show(match);
}

void FieldFind::go(bool forward) {
    if (!finder_.searchable()) return;
    if (match_ < 0) {
        show(forward ? finder_.next(field_->selStart()) : finder_.previous(field_->selStart()));
        return;
    }
    show(forward ? finder_.next(match_ + 1) : finder_.previous(match_));
}

void FieldFind::show(const LogFinder::Match& match) {
    match_ = match.start;
    wrapped_ = match.wrapped;
    if (match.found()) {
        const qsizetype end = match.start + finder_.queryLength();
        field_->setSelection(int(match.start), int(end));
        field_->showRange(match.start, end);
    } else if (field_->hasSelection()) {
        // "No match": the last match's selection would say otherwise. The
        // caret stays where it began, for the next search.
        field_->setSelStart(field_->selectionStart());
    }
    field_->marksChanged();
    countOn();
}

void FieldFind::countOn() {
    // One step now; a count that needs more goes on from the event loop,
    // so typing never waits for it.
    if (finder_.count(kCountStepBytes)) {
        counting_.stop();
        showCount();
    } else if (!counting_.isActive()) {
        counting_.start();
    }
}

void FieldFind::showCount() {
    QString text;
    if (finder_.matchCount() == 0)
        text = QStringLiteral("No match");
    else if (match_ < 0)
        text = finder_.matchCount() == 1 ? QStringLiteral("1 match")
                                         : QStringLiteral("%1 matches").arg(finder_.matchCount());
    else
        text = QStringLiteral("%1 of %2").arg(finder_.ordinal(match_)).arg(finder_.matchCount());
    if (wrapped_ && match_ >= 0) text += QStringLiteral(" (wrapped)");
    // Read out only when it changes, not for every line that arrives.
    if (text != shownCount_) bar_->showCount(shownCount_ = text);
}

void FieldFind::fieldChanged() {
    if (std::exchange(cleared_, false)) {
        // "Clear" or a new text: the count and the match shown went with
        // the old one.
        finder_.restart();
        match_ = -1;
        wrapped_ = false;
    }
    if (!bar_->isVisible() || !finder_.searchable()) return;
    // The count grows with the matches in the new text.
    if (!counting_.isActive()) countOn();
}
