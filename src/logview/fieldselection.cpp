#include "logview/fieldselection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>

namespace {

bool isWordCharacter(char c) {
    const QChar ch = QLatin1Char(c);
    return ch.isLetterOrNumber() || ch == QLatin1Char('_');
}

class TextOnRequest : public QMimeData {
public:
    explicit TextOnRequest(std::function<QString()> text) : text_(std::move(text)) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& type) const override { return type == u"text/plain"; }

protected:
    QVariant retrieveData(const QString& type, QMetaType as) const override {
        if (type != u"text/plain") return {};
        if (as.id() == QMetaType::QByteArray) return text_().toUtf8();
        return text_();
    }

private:
    std::function<QString()> text_;
};

} // namespace

void FieldSelection::set(qsizetype anchor, qsizetype caret) {
    anchor_ = std::clamp<qsizetype>(anchor, 0, store_.length());
    caret_ = std::clamp<qsizetype>(caret, 0, store_.length());
}

void FieldSelection::moveCaret(qsizetype position, bool extend) {
    caret_ = std::clamp<qsizetype>(position, 0, store_.length());
    if (!extend) anchor_ = caret_;
}

std::optional<FieldSelection::Move>
FieldSelection::keyMove(int key, Qt::KeyboardModifiers modifiers, int visibleRows) const {
    const bool control = modifiers & Qt::ControlModifier;
    const qsizetype line = store_.lineAt(caret_);
    const qsizetype lineStart = store_.lineStart(line);
    const auto lineMove = [&](qsizetype lines) {
        const qsizetype target = std::clamp<qsizetype>(line + lines, 0, store_.lineCount() - 1);
        return Move{columns_.positionNear(target, columns_.columnOf(caret_)), target - line};
    };
    switch (key) {
    case Qt::Key_Left:
        return Move{caret_ - 1, 0};
    case Qt::Key_Right:
        return Move{caret_ + 1, 0};
    case Qt::Key_Up:
        return lineMove(-1);
    case Qt::Key_Down:
        return lineMove(1);
    case Qt::Key_PageUp:
        return lineMove(-visibleRows);
    case Qt::Key_PageDown:
        return lineMove(visibleRows);
    case Qt::Key_Home:
        return Move{control ? 0 : lineStart, 0};
    case Qt::Key_End:
        return Move{control ? store_.length() : lineStart + store_.lineLength(line), 0};
    default:
        return std::nullopt;
    }
}

std::pair<qsizetype, qsizetype> FieldSelection::wordAt(qsizetype position) const {
    const auto [start, end] = lineAt(position);
    if (start == end) return {start, start};
    position = std::clamp(position, start, end - 1);
    qsizetype from = position, to = position + 1;
    if (isWordCharacter(store_.at(position))) {
        while (from > start && isWordCharacter(store_.at(from - 1)))
            --from;
        while (to < end && isWordCharacter(store_.at(to)))
            ++to;
    }
    return {from, to};
}

std::pair<qsizetype, qsizetype> FieldSelection::lineAt(qsizetype position) const {
    const qsizetype line = store_.lineAt(position);
    const qsizetype start = store_.lineStart(line);
    return {start, start + store_.lineLength(line)};
}

SelectionClipboard::~SelectionClipboard() {
    // A primary selection offered by a field that is gone has nothing left to give.
    if (offered_ && QGuiApplication::clipboard()->ownsSelection())
        QGuiApplication::clipboard()->clear(QClipboard::Selection);
}

void SelectionClipboard::copy(const LogStore& store, qsizetype from, qsizetype to) {
    if (from >= to) return;
    QGuiApplication::clipboard()->setMimeData(
        new TextOnRequest([excerpt = store.excerpt(from, to)] { return excerpt.text(); }));
}

void SelectionClipboard::follow(bool selected, std::function<QString()> text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) return;
    const bool offered = offered_ && clipboard->ownsSelection();
    if (selected && !offered) {
        auto* data = new TextOnRequest(std::move(text));
        offered_ = data;
        clipboard->setMimeData(data, QClipboard::Selection);
    } else if (!selected && offered) {
        offered_ = nullptr;
        clipboard->clear(QClipboard::Selection);
    }
}
