#pragma once
// Watches for a device that went away while its port was open (a pulled USB
// adapter) and opens the port again when the device is back: by the same
// path, or by its stable name pointing at a new node.

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
    QString lostNode_;
    bool lostNodeGone_ = false;
};
