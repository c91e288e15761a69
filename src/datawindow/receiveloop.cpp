#include "datawindow/receiveloop.h"

#include "datawindow/operatorinput.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "logview/byteview.h"
#include "logview/colours.h"
#include "logview/fieldfind.h"
#include "logview/richtextfield.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSet>
#include <QTextEdit>
#include <QTimer>

#include <utility>

namespace {
// A pass of the receive loop ends after this many ticks or this long, so
// the operator's input and the painting go on during a flood.
constexpr int kTicksPerPass = 512;
constexpr qint64 kPassNanoseconds = 4'000'000;
// During a flood the port reports every few KiB. A pass costs the view a
// fixed amount besides its lines (the scroll range looks at a screenful of
// them), so after a pass that took a bulk the next one waits a moment for
// more to collect. A lone line is still taken the moment it arrives.
constexpr int kBulkTicks = 64;
constexpr int kCollectMs = 3;
constexpr qint64 kCollectBytes = 16 * 1024;
} // namespace

ReceiveLoop::ReceiveLoop(const Parts& parts, const Calls& calls, QWidget* window)
    : QObject(window), parts_(parts), calls_(calls), window_(window),
      operatorInput_(new OperatorInput(this)) {
    connect(parts_.port, &SerialPortComponent::bytesArrived, this, &ReceiveLoop::bytesArrived);
}

void ReceiveLoop::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled)
        parts_.timer->stop();
    else if (parts_.port->bytesWaiting() > 0)
        parts_.timer->start();
}

bool ReceiveLoop::passDue() const {
    return parts_.timer->isActive();
}

bool ReceiveLoop::holdLoss(PortError error) {
    if (!enabled_ || parts_.port->bytesWaiting() <= 0) return false;
    pendingLoss_ = error;
    parts_.timer->start();
    return true;
}

void ReceiveLoop::bytesArrived() {
    if (!enabled_) return;
    if (flooding_ && parts_.port->bytesWaiting() < kCollectBytes) {
        if (!parts_.timer->isActive()) parts_.timer->start(kCollectMs);
        return;
    }
    // The port reports from the event loop, as the timer would.
    parts_.timer->stop();
    pass();
}

void ReceiveLoop::pass() {
    RichTextField* field = parts_.field;
    SerialPortComponent* port = parts_.port;
    // One pass: a tick after another while bytes wait, each reading at most
    // an input length and transformed on its own, all of them then inserted
    // together with one change reaction.
    QStringList chunks;
    QList<qint64> times;
    QElapsedTimer pass;
    pass.start();
    while (chunks.size() < kTicksPerPass && pass.nsecsElapsed() < kPassNanoseconds) {
        const QByteArray chunk = port->input();
        if (chunk.isEmpty()) break;
        // A read's time is when it was taken from the port.
        const qint64 at = calls_.now();
        calls_.received(chunk, at);
        chunks.append(transformChunk(chunk));
        times.append(at);
    }
    flooding_ = chunks.size() >= kBulkTicks;
    if (!chunks.isEmpty()) {
        // With "Auto Scroll" off the text goes in as into a disabled field: the
        // view does not follow it and the focus stays. The change reaction
        // knows it from quietInsert_, so the field itself is not disabled and
        // enabled again for it, which would repaint it whole on every pass.
        // Nor does an insertion move the view away from a match the find bar shows.
        quietInsert_ = !parts_.autoScroll->isChecked() || parts_.find->holdsMatch();
        const int previous = field->selColor();
        field->setSelColor(colour::Blue);
        field->setSelTexts(chunks, times);
        field->setSelColor(previous);
        parts_.bytes->recordChanged();
        quietInsert_ = false;
        field->setEnabled(true);
    }
    // Sleep until the port says more has come, with the view at the end.
    if (port->bytesWaiting() <= 0) {
        parts_.timer->stop();
        field->followNow();
        if (pendingLoss_ != PortError::None)
            calls_.lost(std::exchange(pendingLoss_, PortError::None));
    } else if (enabled_) {
        parts_.timer->start(0); // the pass ended early: more is waiting
    }
}

void ReceiveLoop::fieldChanged() {
    RichTextField* field = parts_.field;
    // Counted as the text reads back, each line end two characters.
    if (field->textLength() <= 2) return;
    // Device text with "Auto Scroll" off goes in without moving the view.
    if (quietInsert_) return;
    // The caret goes to the end; a selection the operator holds stays, and
    // only the view follows the end.
    if (field->hasSelection())
        field->showEnd();
    else
        field->setSelStart(field->length());
    if (field->isEnabled() && fieldMayTakeFocus()) field->setFocus();
}

namespace {
bool takesTyping(const QWidget* w) {
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
        qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w))
        return true;
    const auto* combo = qobject_cast<const QComboBox*>(w);
    return combo && combo->isEditable();
}
} // namespace

bool ReceiveLoop::fieldMayTakeFocus() const {
    // The field takes the focus only in the window the operator works in, and
    // only when that takes nothing from the operator: a button losing the
    // focus between press and release drops its click, typing would land in
    // the field, and a control reached with Tab would be left at once. No
    // window is ever activated or raised for it.
    if (QApplication::activeWindow() != window_) return false;
    if (QGuiApplication::mouseButtons() != Qt::NoButton || operatorInput_->keyHeld()) return false;
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || focus == parts_.field) return true;
    return !takesTyping(focus) && !operatorInput_->chosenByKeyboard(focus);
}
