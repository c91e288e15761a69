// A device that went away while open (a pulled USB adapter) is watched for
// and opened again when it is back, by its path or by its stable name
// pointing at a new node.

#include "datawindow/colours.h"
#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"
#include "link/serialportcomponent.h"
#include "link/shownname.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {
// Twice a second, and only while the device is away.
constexpr int kWatchIntervalMs = 500;
} // namespace

void RDData::watchForLostDevice() {
    if (!portWatch_) {
        portWatch_ = new QTimer(this);
        portWatch_->setInterval(kWatchIntervalMs);
        connect(portWatch_, &QTimer::timeout, this, &RDData::checkLostDevice);
    }
    lostNode_ = QFile::decodeName(SerialPortComponent::deviceForPort(MSComm1->commPort()));
    lostNodeGone_ = false;
    portWatch_->start();
}

void RDData::stopWatchingLostDevice() {
    if (portWatch_) portWatch_->stop();
}

void RDData::checkLostDevice() {
    // Opened again some other way (the line speed switch): nothing to watch.
    if (MSComm1->portOpen()) {
        stopWatchingLostDevice();
        return;
    }
    const QString node = QFile::decodeName(SerialPortComponent::deviceForPort(MSComm1->commPort()));
    if (!QFileInfo::exists(node)) {
        lostNodeGone_ = true;
        return;
    }
    // The node that failed may linger a moment after the loss: only a node
    // that came back, or a new one behind the same name, is worth opening.
    if (node == lostNode_ && !lostNodeGone_) return;
    // A device that is not ready yet fails quietly; the watch goes on.
    if (MSComm1->setPortOpen(true) != PortError::None) return;
    stopWatchingLostDevice();
    const int inForce = Text1->selColor();
    append(QStringLiteral(">> PORT REOPENED: ") + krt::shownName(node) + QStringLiteral(" <<\r\n"),
           colour::Black);
    Text1->setSelColor(inForce);
    setTimer1Enabled(true);
}
