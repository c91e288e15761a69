#include "logview/fieldfind.h"

#include "logview/byteview.h"
#include "logview/findbar.h"
#include "logview/richtextfield.h"

#include <QApplication>
#include <QRegularExpression>

#include <utility>

FieldFind::FieldFind(RichTextField* field, QWidget* barParent)
    : QObject(barParent), bar_(new FindBar(barParent)) {
    bar_->setObjectName(QStringLiteral("FindBar"));
    bar_->hide();
    counting_.setInterval(0);
    connect(&counting_, &QTimer::timeout, this, &FieldFind::countOn);
    connect(bar_, &FindBar::queryChanged, this, &FieldFind::search);
    connect(bar_, &FindBar::nextRequested, this, [this] { go(true); });
    connect(bar_, &FindBar::previousRequested, this, [this] { go(false); });
    connect(bar_, &FindBar::closeRequested, this, &FieldFind::close);

    text_.widget = field;
    text_.caret = [field] { return qsizetype(field->selStart()); };
    text_.hasSelection = [field] { return field->hasSelection(); };
    text_.selectionStart = [field] { return qsizetype(field->selectionStart()); };
    text_.collapseTo = [field](qsizetype at) { field->setSelStart(int(at)); };
    text_.select = [field](qsizetype from, qsizetype to) {
        field->setSelection(int(from), int(to));
        field->showRange(from, to);
    };
    text_.setMarks = [field](LinePainter::Marks marks) { field->setMarks(std::move(marks)); };
    text_.marksChanged = [field] { field->marksChanged(); };
    text_.finder = std::make_unique<LogFinder>(field->store());
    connect(field, &RichTextField::aboutToSetText, this, [this] { cleared_ = true; });
    connect(field, &RichTextField::changed, this, [this] {
        if (current_ == &text_) fieldChanged();
    });
}

FieldFind::~FieldFind() = default;

void FieldFind::addBytes(ByteView* view) {
    const WireRecord* record = &view->record();
    bytes_.widget = view;
    bytes_.caret = [view] { return view->caret(); };
    bytes_.hasSelection = [view] { return view->hasSelection(); };
    bytes_.selectionStart = [view] { return view->selectionStart(); };
    bytes_.collapseTo = [view](qsizetype at) { view->collapseTo(at); };
    bytes_.select = [view](qsizetype from, qsizetype to) {
        view->setSelection(from, to);
        view->showRange(from, to);
    };
    bytes_.setMarks = [view](LinePainter::Marks marks) { view->setMarks(std::move(marks)); };
    bytes_.marksChanged = [view] { view->marksChanged(); };
    bytes_.finder = std::make_unique<LogFinder>(
        LogFinder::Source{[record](qsizetype at) { return record->piece(at); },
                          [record] { return record->byteCount(); }});
    bytes_.bytes = true;
    connect(view, &ByteView::cleared, this, [this] {
        if (current_ == &bytes_) cleared_ = true;
        bytes_.finder->restart();
    });
    connect(view, &ByteView::changed, this, [this] {
        if (current_ == &bytes_) fieldChanged();
    });
}

void FieldFind::searchBytes(bool bytes) {
    Target* next = bytes && bytes_.finder ? &bytes_ : &text_;
    if (next == current_) return;
    const bool open = bar_->isVisible();
    if (open) current_->setMarks({});
    current_ = next;
    match_ = -1;
    wrapped_ = false;
    if (!open) return;
    markMatches();
    search(bar_->query(), bar_->matchCase());
}

void FieldFind::markMatches() {
    current_->setMarks([this](qsizetype from, qsizetype to) {
        std::vector<std::pair<qsizetype, qsizetype>> marks;
        if (!finder().searchable()) return marks;
        for (const qsizetype start : finder().matchesIn(from, to))
            marks.emplace_back(start, start + finder().queryLength());
        return marks;
    });
}

std::optional<QByteArray> FieldFind::hexBytes(const QString& query) {
    static const QRegularExpression pairs(QStringLiteral("^[0-9A-Fa-f]{2}( [0-9A-Fa-f]{2})*$"));
    if (!pairs.match(query).hasMatch()) return std::nullopt;
    return QByteArray::fromHex(query.toLatin1());
}

void FieldFind::open() {
    if (!bar_->isVisible()) {
        QWidget* focus = QApplication::focusWidget();
        focusBefore_ = focus && !bar_->isAncestorOf(focus) ? focus : nullptr;
        bar_->show();
        markMatches();
        if (!bar_->query().isEmpty()) search(bar_->query(), bar_->matchCase());
    }
    bar_->focusQuery();
}

void FieldFind::close() {
    if (!bar_->isVisible()) return;
    counting_.stop();
    match_ = -1;
    current_->setMarks({});
    QWidget* back = focusBefore_ && focusBefore_->isVisible() && focusBefore_->isEnabled()
                        ? focusBefore_.data()
                        : current_->widget;
    bar_->hide();
    back->setFocus(Qt::OtherFocusReason);
    emit closed();
}

bool FieldFind::holdsMatch() const {
    return bar_->isVisible() && match_ >= 0;
}

void FieldFind::search(const QString& text, bool matchCase) {
    const auto bytes = current_->bytes ? hexBytes(text) : std::nullopt;
    if (bytes)
        finder().setBytes(*bytes);
    else
        finder().setQuery(text, matchCase);
    // Typing on keeps the match where it is while it still matches: the
    // search starts where the shown match starts, else at the caret.
    const qsizetype from = match_ >= 0 ? match_ : current_->caret();
    const bool wentRound = match_ >= 0 && wrapped_;
    match_ = -1;
    wrapped_ = false;
    if (!finder().searchable()) {
        counting_.stop();
        if (!text.isEmpty() && current_->hasSelection())
            current_->collapseTo(current_->selectionStart());
        current_->marksChanged();
        bar_->showCount(shownCount_ = text.isEmpty() ? QString() : QStringLiteral("No match"));
        return;
    }
    LogFinder::Match match = finder().next(from);
    match.wrapped = match.wrapped || wentRound;
    show(match);
}

void FieldFind::go(bool forward) {
    if (!finder().searchable()) return;
    if (match_ < 0) {
        show(forward ? finder().next(current_->caret()) : finder().previous(current_->caret()));
        return;
    }
    show(forward ? finder().next(match_ + 1) : finder().previous(match_));
}

void FieldFind::show(const LogFinder::Match& match) {
    match_ = match.start;
    wrapped_ = match.wrapped;
    if (match.found()) {
        current_->select(match.start, match.start + finder().queryLength());
    } else if (current_->hasSelection()) {
        // "No match": the last match's selection would say otherwise. The
        // caret stays where it began, for the next search.
        current_->collapseTo(current_->selectionStart());
    }
    current_->marksChanged();
    countOn();
}

void FieldFind::countOn() {
    // One step now; a count that needs more goes on from the event loop,
    // so typing never waits for it.
    if (finder().count(kCountStepBytes)) {
        counting_.stop();
        showCount();
    } else if (!counting_.isActive()) {
        counting_.start();
    }
}

void FieldFind::showCount() {
    QString text;
    if (finder().matchCount() == 0)
        text = QStringLiteral("No match");
    else if (match_ < 0)
        text = finder().matchCount() == 1 ? QStringLiteral("1 match")
                                          : QStringLiteral("%1 matches").arg(finder().matchCount());
    else
        text = QStringLiteral("%1 of %2").arg(finder().ordinal(match_)).arg(finder().matchCount());
    if (wrapped_ && match_ >= 0) text += QStringLiteral(" (wrapped)");
    // Read out only when it changes, not for every line that arrives.
    if (text != shownCount_) bar_->showCount(shownCount_ = text);
}

void FieldFind::fieldChanged() {
    if (std::exchange(cleared_, false)) {
        // "Clear" or a new text: the count and the match shown went with
        // the old one.
        finder().restart();
        match_ = -1;
        wrapped_ = false;
    }
    if (!bar_->isVisible() || !finder().searchable()) return;
    // The count grows with the matches in the new text.
    if (!counting_.isActive()) countOn();
}
