// The receive loop and the change reaction of the data field.

#include "datawindow/operatorinput.h"
#include "datawindow/rddata.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "link/wirerecord.h"
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

void RDData::watchOperatorInput() {
    operatorInput_ = new OperatorInput(this);
}

void RDData::onBytesArrived() {
    if (!timer1Enabled_) return;
    if (flooding_ && MSComm1->bytesWaiting() < kCollectBytes) {
        if (!Timer1->isActive()) Timer1->start(kCollectMs);
        return;
    }
    // The port reports from the event loop, as the timer would.
    Timer1->stop();
    Timer1_Timer();
}

void RDData::Timer1_Timer() {
    // One pass: a tick after another while bytes wait, each reading at most
    // an input length and transformed on its own, all of them then inserted
    // together with one change reaction.
    QStringList chunks;
    QList<qint64> times;
    QElapsedTimer pass;
    pass.start();
    while (chunks.size() < kTicksPerPass && pass.nsecsElapsed() < kPassNanoseconds) {
        const QByteArray chunk = MSComm1->input();
        if (chunk.isEmpty()) break;
        // A read's time is when it was taken from the port.
        const qint64 at = now();
        recordWire(false, chunk, at);
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
        quietInsert_ = !scroll->isChecked() || find_->holdsMatch();
        const int previous = Text1->selColor();
        Text1->setSelColor(colour::Blue);
        Text1->setSelTexts(chunks, times);
        Text1->setSelColor(previous);
        byteView_->recordChanged();
        quietInsert_ = false;
        Text1->setEnabled(true);
    }
    // Sleep until the port says more has come, with the view at the end.
    if (MSComm1->bytesWaiting() <= 0) {
        Timer1->stop();
        Text1->followNow();
        if (pendingLoss_ != PortError::None)
            onPortLost(std::exchange(pendingLoss_, PortError::None), QString());
    } else if (timer1Enabled_) {
        Timer1->start(0); // the pass ended early: more is waiting
    }
}

void RDData::Text1_Change() {
    // Counted as the text reads back, each line end two characters.
    if (Text1->textLength() <= 2) return;
    // Device text with "Auto Scroll" off goes in without moving the view.
    if (quietInsert_) return;
    // The caret goes to the end; a selection the operator holds stays, and
    // only the view follows the end.
    if (Text1->hasSelection())
        Text1->showEnd();
    else
        Text1->setSelStart(Text1->length());
    if (Text1->isEnabled() && fieldMayTakeFocus()) Text1->setFocus();
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

bool RDData::fieldMayTakeFocus() const {
    // The field takes the focus only in the window the operator works in, and
    // only when that takes nothing from the operator: a button losing the
    // focus between press and release drops its click, typing would land in
    // the field, and a control reached with Tab would be left at once. No
    // window is ever activated or raised for it.
    if (QApplication::activeWindow() != this) return false;
    if (QGuiApplication::mouseButtons() != Qt::NoButton || operatorInput_->keyHeld()) return false;
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || focus == Text1) return true;
    return !takesTyping(focus) && !operatorInput_->chosenByKeyboard(focus);
}
