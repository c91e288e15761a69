#include "link/lostdevicewatch.h"

#include "link/serialportcomponent.h"

#include <QFile>
#include <QFileInfo>

namespace {
// Only while the device is away; one stat a turn.
constexpr int WatchIntervalMs = 500;

QString boundNode(const SerialPortComponent& port) {
    return QFile::decodeName(SerialPortComponent::deviceForPort(port.commPort()));
}
} // namespace

LostDeviceWatch::LostDeviceWatch(SerialPortComponent* port, QObject* parent)
    : QObject(parent), port_(port) {
    timer_.setInterval(WatchIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &LostDeviceWatch::check);
}

void LostDeviceWatch::start() {
    lostNode_ = boundNode(*port_);
    lostNodeGone_ = false;
    timer_.start();
}

void LostDeviceWatch::stop() {
    timer_.stop();
}

void LostDeviceWatch::check() {
    // Opened again some other way (the line speed switch): nothing to watch.
    if (port_->portOpen()) {
        stop();
        return;
    }
    const QString node = boundNode(*port_);
    if (!QFileInfo::exists(node)) {
        lostNodeGone_ = true;
        return;
    }
    // The node that failed may linger a moment after the loss: only a node
    // that came back, or a new one behind the same name, is worth opening.
    if (node == lostNode_ && !lostNodeGone_) return;
    // A device that is not ready yet fails quietly; the watch goes on.
    if (port_->setPortOpen(true) != PortError::None) return;
    stop();
    emit reopened(node);
}
