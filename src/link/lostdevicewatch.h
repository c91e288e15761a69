#pragma once
// Watches for a device that went away while its port was open (a pulled USB
// adapter) and opens the port again when the device is back: by the same
// path, or by its stable name pointing at a new node. A node made anew under
// the same path between two looks is told apart from the lost one by its
// identity, so a device back within one look is opened all the same.

#include "link/nodeidentity.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class SerialPortComponent;

class LostDeviceWatch : public QObject {
    Q_OBJECT
public:
    explicit LostDeviceWatch(SerialPortComponent* port, QObject* parent = nullptr);

    // The port has just lost its device: look for it twice a second.
    void start();
    void stop();
    bool watching() const { return timer_.isActive(); }

signals:
    // The port is open again on `device`, with the settings in force.
    void reopened(const QString& device);

private:
    void check();

    SerialPortComponent* port_;
    QTimer timer_;
    QByteArray lostNode_;
    // The node that was open when the device went away.
    std::optional<krt::NodeIdentity> lostIdentity_;
    bool lostNodeGone_ = false;
};
