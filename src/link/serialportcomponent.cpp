#include "link/serialportcomponent.h"

#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

SerialPortComponent::SerialPortComponent(QObject* parent) : QObject(parent) {
    // A flood waits in the operating system (whose writer then blocks), not
    // in our memory: we read ahead at most this much.
    port_.setReadBufferSize(64 * 1024);
    connect(&port_, &QSerialPort::readyRead, this, &SerialPortComponent::bytesArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPortComponent::onErrorOccurred);
}

SerialPortComponent::~SerialPortComponent() {
    if (port_.isOpen())
        port_.close();
}

QString SerialPortComponent::deviceForPort(int port) {
    if (port < 1 || port > 16)
        return QString();
    const QByteArray override = qgetenv(QStringLiteral("KRT418_COM%1").arg(port).toLatin1());
    if (!override.isEmpty())
        return QString::fromLocal8Bit(override);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

int SerialPortComponent::fail(int number, const QString& description) {
    errorNumber_ = number;
    errorDescription_ = description;
    return number;
}

int SerialPortComponent::setCommPort(int port) {
    if (port < 1 || port > 16)
        return fail(portError::InvalidPort, QStringLiteral("Invalid port number %1.").arg(port));
    commPort_ = port;
    return 0;
}

bool SerialPortComponent::portOpen() const { return port_.isOpen(); }

bool SerialPortComponent::applySettings() {
    // speed, parity letter, data bits, stop bits
    const QStringList parts = settings_.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int speed = parts[0].trimmed().toInt(&ok);
    if (!ok || speed <= 0)
        return false;
    QSerialPort::Parity parity;
    const QString p = parts[1].trimmed().toUpper();
    if (p == QLatin1String("N"))
        parity = QSerialPort::NoParity;
    else if (p == QLatin1String("E"))
        parity = QSerialPort::EvenParity;
    else if (p == QLatin1String("O"))
        parity = QSerialPort::OddParity;
    else if (p == QLatin1String("M"))
        parity = QSerialPort::MarkParity;
    else if (p == QLatin1String("S"))
        parity = QSerialPort::SpaceParity;
    else
        return false;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    const QString s = parts[3].trimmed();
    QSerialPort::StopBits stop;
    if (s == QLatin1String("1"))
        stop = QSerialPort::OneStop;
    else if (s == QLatin1String("1.5"))
        stop = QSerialPort::OneAndHalfStop;
    else if (s == QLatin1String("2"))
        stop = QSerialPort::TwoStop;
    else
        return false;
    port_.setBaudRate(speed);
    port_.setParity(parity);
    port_.setDataBits(static_cast<QSerialPort::DataBits>(bits));
    port_.setStopBits(stop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

int SerialPortComponent::mapOpenError(QSerialPort::SerialPortError error, const QString& device) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return fail(portError::InvalidPort,
                    QStringLiteral("Invalid port number: no serial device %1.").arg(device));
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        // Qt reports a missing permission and a port locked by another
        // program alike; the operator's remedy differs, so tell them apart.
        const QByteArray path = QFile::encodeName(device);
        if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return fail(portError::PermissionDenied,
                        QStringLiteral("Permission denied on %1: this user may not use the "
                                       "serial port. Add the user to the 'dialout' group "
                                       "(then log in again), or ask the administrator.")
                            .arg(device));
#endif
        return fail(portError::AlreadyOpen,
                    QStringLiteral("Port already open: %1 is in use by another program.")
                        .arg(device));
    }
    case QSerialPort::OpenError:
        return fail(portError::AlreadyOpen, QStringLiteral("Port already open."));
    default:
        return fail(portError::InvalidPort,
                    QStringLiteral("Invalid port number: %1 cannot be opened (%2).")
                        .arg(device, port_.errorString()));
    }
}

int SerialPortComponent::setPortOpen(bool open) {
    if (!open) {
        if (!port_.isOpen())
            return fail(portError::DeviceNotOpen, QStringLiteral("Device not open."));
        // What was written must leave before the line closes (a speed
        // switch closes right after its command).
        port_.flush();
        if (port_.bytesToWrite() > 0)
            port_.waitForBytesWritten(200);
        port_.close();
        return 0;
    }
    if (port_.isOpen())
        return fail(portError::AlreadyOpen, QStringLiteral("Port already open."));
    const QString device = deviceForPort(commPort_);
    if (device.isEmpty())
        return fail(portError::InvalidPort,
                    QStringLiteral("Invalid port number: there is no COM%1.").arg(commPort_));
    if (!applySettings())
        return fail(portError::InvalidSettings,
                    QStringLiteral("Invalid property value: settings \"%1\".").arg(settings_));
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        port_.clearError();
        return mapOpenError(error, device);
    }
    // A few drivers forget the settings made before the open; set them again.
    applySettings();
    return 0;
}

int SerialPortComponent::output(const QByteArray& bytes) {
    if (!port_.isOpen())
        return fail(portError::PortNotOpen,
                    QStringLiteral("Operation valid only when the port is open."));
    if (bytes.isEmpty())
        return 0;
    const qint64 written = port_.write(bytes);
    if (written != bytes.size())
        return fail(portError::OtherFailure,
                    QStringLiteral("Write failed: %1").arg(port_.errorString()));
    // On the line now, not at the next turn of the event loop: the message
    // sequences pause between their writes and mean the device to wait.
    port_.flush();
    return 0;
}

QByteArray SerialPortComponent::input() {
    if (unreadFrom_ < unread_.size()) {
        const qsizetype left = unread_.size() - unreadFrom_;
        const qsizetype n = inputLen_ > 0 ? qMin<qsizetype>(inputLen_, left) : left;
        const QByteArray chunk = unread_.mid(unreadFrom_, n);
        unreadFrom_ += n;
        if (unreadFrom_ == unread_.size()) {
            unread_.clear();
            unreadFrom_ = 0;
        }
        return chunk;
    }
    if (!port_.isOpen() || inputLen_ <= 0)
        return port_.isOpen() ? port_.readAll() : QByteArray();
    return port_.read(inputLen_);
}

qint64 SerialPortComponent::bytesWaiting() const {
    return (unread_.size() - unreadFrom_) + (port_.isOpen() ? port_.bytesAvailable() : 0);
}

int SerialPortComponent::setRTSEnable(bool enable) {
    if (!port_.isOpen())
        return fail(portError::PortNotOpen,
                    QStringLiteral("Operation valid only when the port is open."));
    if (!port_.setRequestToSend(enable)) {
        const QString why = port_.errorString();
        port_.clearError();
        return fail(portError::OtherFailure, QStringLiteral("RTS cannot be set: %1").arg(why));
    }
    return 0;
}

void SerialPortComponent::onErrorOccurred(QSerialPort::SerialPortError error) {
    // Open, write and RTS failures are reported by their own calls. A resource
    // or read error on an open port means the device is gone: a pulled USB
    // adapter (resource error) or the far end of a pseudo-terminal closed
    // (read error, repeated on every turn of the event loop). Qt reports it
    // from inside its own read handler, so close later, and only once.
    const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!gone || !port_.isOpen() || losing_)
        return;
    losing_ = true;
    const QString why = port_.errorString();
    QMetaObject::invokeMethod(
        this,
        [this, why] {
            if (!port_.isOpen()) {
                losing_ = false;
                return;
            }
            const QString device = port_.portName();
            port_.clearError();
            // What arrived before the loss is the device's text all the same:
            // keep it for input() instead of letting close() drop it.
            unread_ += port_.read(port_.bytesAvailable());
            port_.close();
            losing_ = false;
            fail(portError::DeviceLost,
                 QStringLiteral("The serial device %1 went away (%2).").arg(device, why));
            emit portLost(errorNumber_, errorDescription_);
        },
        Qt::QueuedConnection);
}
