#include "link/lostdevicewatch.h"

#include "link/serialportcomponent.h"

#include <QFile>

namespace {
// Only while the device is away; one stat a turn.
constexpr int WatchIntervalMs = 500;

// The node as the system names it (a path need not be text).
QByteArray boundNode(const SerialPortComponent& port) {
    return port.deviceForPort(port.commPort());
}
} // namespace

LostDeviceWatch::LostDeviceWatch(SerialPortComponent* port, QObject* parent)
    : QObject(parent), port_(port) {
    timer_.setInterval(WatchIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &LostDeviceWatch::check);
}

void LostDeviceWatch::start() {
    lostNode_ = boundNode(*port_);
    lostIdentity_ = port_->openedNode();
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
    const QByteArray node = boundNode(*port_);
    const auto identity = krt::nodeIdentity(node);
    if (!identity) {
        lostNodeGone_ = true;
        return;
    }
    // The node that failed may linger a moment after the loss: only a node
    // that came back, or a new one behind the same name, is worth opening.
    // A node made anew in the old one's place between two looks is another
    // node, though its path is the same.
    const bool sameNode = !lostIdentity_ || *identity == *lostIdentity_;
    if (node == lostNode_ && !lostNodeGone_ && sameNode) return;
    // Opened the one way ports are opened, with the port and settings in
    // force. A device that is not ready yet fails quietly; the watch goes on.
    const auto outcome =
        port_->openPort(port_->commPort(), port_->settings(),
                        [](OpenStep step, PortError) { return step != OpenStep::Close; });
    if (outcome.error != PortError::None) return;
    stop();
    emit reopened(QFile::decodeName(node));
}
