#include "link/serialportcomponent.h"

#include "link/linklog.h"
#include "link/portbinding.h"
#include "link/shownname.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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
    if (port_.isOpen()) port_.close();
}

void SerialPortComponent::setBindings(std::shared_ptr<const krt::PortBindings> bindings) {
    if (bindings) bindings_ = std::move(bindings);
}

namespace {

// The serial library takes a port name as text and gives it to the system
// re-encoded, so a name that is not valid in the system's encoding would open
// something else or nothing. Such a name is resolved to the real path of the
// file it leads to (a device node is rarely named that way; a link to it may
// be). Nothing when even that cannot be written as text; errno then tells why.
std::optional<QString> textName(const QByteArray& device) {
    const QString name = QFile::decodeName(device);
    if (QFile::encodeName(name) == device) return name;
#ifdef Q_OS_UNIX
    char* real = ::realpath(device.constData(), nullptr);
    if (!real) return std::nullopt;
    const QByteArray resolved(real);
    std::free(real);
    const QString resolvedName = QFile::decodeName(resolved);
    if (QFile::encodeName(resolvedName) == resolved) return resolvedName;
    errno = EILSEQ;
#endif
    return std::nullopt;
}

#ifdef Q_OS_UNIX
QString systemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Who holds a port's lock file, as the file tells it: its first line is the
// process number, and Qt programs write their name on the second.
// "krt418, process 4242"; empty when no lock file tells.
QString readLockHolder(const QString& lockName) {
    const QString folders[] = {QStringLiteral("/var/lock"),
                               QStringLiteral("/etc/locks"),
                               QStringLiteral("/var/spool/locks"),
                               QStringLiteral("/var/spool/uucp"),
                               QStringLiteral("/tmp"),
                               QStringLiteral("/var/tmp"),
                               QStringLiteral("/var/lock/lockdev"),
                               QStringLiteral("/run/lock")};
    for (const QString& folder : folders) {
        QFile lock(folder + QLatin1Char('/') + lockName);
        if (!lock.open(QIODevice::ReadOnly)) continue;
        const QList<QByteArray> lines = lock.read(4096).split('\n');
        bool ok = false;
        const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
        if (!ok || pid <= 0) return QString();
        QByteArray name = lines.value(1).trimmed();
        if (name.isEmpty()) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            if (comm.open(QIODevice::ReadOnly)) name = comm.readAll().trimmed();
        }
        const QString process = QStringLiteral("process %1").arg(pid);
        return name.isEmpty()
                   ? process
                   : krt::shownName(QString::fromLocal8Bit(name)) + QStringLiteral(", ") + process;
    }
    return QString();
}
#endif

} // namespace

PortError SerialPortComponent::fail(PortError error, const QString& description) {
    errorNumber_ = error;
    errorDescription_ = description;
    qCDebug(lcLink) << "COM" << commPort_ << "error" << printedNumber(error) << description;
    return error;
}

PortError SerialPortComponent::setCommPort(int port) {
    if (port < 1 || port > 16)
        return fail(PortError::InvalidPort, QStringLiteral("Invalid port number %1.").arg(port));
    commPort_ = port;
    return PortError::None;
}

bool SerialPortComponent::portOpen() const {
    return port_.isOpen();
}

bool SerialPortComponent::applySettings() {
    // speed, parity letter, data bits, stop bits
    const QStringList parts = settings_.split(QLatin1Char(','));
    if (parts.size() != 4) return false;
    bool ok = false;
    const int speed = parts[0].trimmed().toInt(&ok);
    if (!ok || speed <= 0) return false;
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
    if (!ok || bits < 5 || bits > 8) return false;
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

PortError SerialPortComponent::mapOpenError(QSerialPort::SerialPortError error,
                                            const QString& why) {
    qCDebug(lcLink) << "open of" << device_ << "failed:" << error << why;
    const QString shown = krt::shownName(device_);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return fail(PortError::InvalidPort,
                    QStringLiteral("Invalid port number: no serial device %1.").arg(shown));
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        // Qt reports a missing permission, a port locked by another program
        // and a lock it could not even try alike; the operator's remedy
        // differs, so find the real cause.
        if (::access(device_.constData(), R_OK | W_OK) != 0) {
            const int e = errno;
            if (e == EACCES)
                return fail(PortError::PermissionDenied,
                            QStringLiteral("Permission denied on %1: this user may not use the "
                                           "serial port. Add the user to the 'dialout' group "
                                           "(then log in again), or ask the administrator.")
                                .arg(shown));
            if (e == ENOENT || e == ENOTDIR)
                return fail(PortError::InvalidPort,
                            QStringLiteral("Invalid port number: no serial device %1.").arg(shown));
            return fail(PortError::OtherFailure,
                        QStringLiteral("%1 cannot be opened (%2).").arg(shown, systemErrorText(e)));
        }
        // The lock file is named after the port ("LCK.." and the name with
        // its slashes made underscores), in one directory.
        const QString lockName =
            QStringLiteral("LCK..") +
            QString(port_.portName()).replace(QLatin1Char('/'), QLatin1Char('_'));
        if (QFile::encodeName(lockName).size() > NAME_MAX)
            return fail(PortError::OtherFailure,
                        QStringLiteral("%1 cannot be locked: the name of its lock file is too "
                                       "long (%2).")
                            .arg(shown, systemErrorText(ENAMETOOLONG)));
        const QString holder = readLockHolder(lockName);
        lockHolder_ = holder;
        if (!holder.isEmpty())
            return fail(PortError::AlreadyOpen,
                        QStringLiteral("Port already open: %1 is in use by another program "
                                       "(%2).")
                            .arg(shown, holder));
#endif
        return fail(
            PortError::AlreadyOpen,
            QStringLiteral("Port already open: %1 is in use by another program.").arg(shown));
    }
    case QSerialPort::OpenError:
        return fail(PortError::AlreadyOpen, QStringLiteral("Port already open."));
    default:
        return fail(
            PortError::InvalidPort,
            QStringLiteral("Invalid port number: %1 cannot be opened (%2).").arg(shown, why));
    }
}

void SerialPortComponent::keepUnread() {
    // What the system still holds is read first: the last close of a line
    // may drop its input. A device that keeps sending keeps the line ready,
    // so the passes are bounded.
    for (int pass = 0; pass < 64 && port_.waitForReadyRead(0); ++pass) {
    }
    unread_ += port_.readAll();
}

PortError SerialPortComponent::setPortOpen(bool open) {
    const PortError result = open ? openDevice() : closeDevice();
    if (open || result == PortError::None) emit portChanged(open, result);
    return result;
}

PortError SerialPortComponent::closeDevice() {
    if (!port_.isOpen()) return fail(PortError::DeviceNotOpen, QStringLiteral("Device not open."));
    // What was written must leave before the line closes (a speed
    // switch closes right after its command).
    port_.flush();
    if (port_.bytesToWrite() > 0) port_.waitForBytesWritten(200);
    keepUnread();
    port_.close();
    return PortError::None;
}

PortError SerialPortComponent::openDevice() {
    if (port_.isOpen()) return fail(PortError::AlreadyOpen, QStringLiteral("Port already open."));
    const QByteArray device = deviceForPort(commPort_);
    if (device.isEmpty())
        return fail(PortError::InvalidPort,
                    QStringLiteral("Invalid port number: there is no COM%1.").arg(commPort_));
    if (!applySettings())
        return fail(PortError::InvalidSettings,
                    QStringLiteral("Invalid property value: settings \"%1\".").arg(settings_));
    device_ = device;
    lockHolder_.clear();
    const std::optional<QString> name = textName(device);
    if (!name) {
#ifdef Q_OS_UNIX
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            return mapOpenError(QSerialPort::DeviceNotFoundError, QString());
        if (e == EACCES) return mapOpenError(QSerialPort::PermissionError, QString());
        return mapOpenError(QSerialPort::UnknownError, systemErrorText(e));
#else
        return mapOpenError(QSerialPort::DeviceNotFoundError, QString());
#endif
    }
    port_.setPortName(*name);
    qCDebug(lcLink) << "COM" << commPort_ << "opens" << device_ << "at" << settings_;
    if (!port_.open(QIODevice::ReadWrite)) {
        // The reason's text goes with the error: read both before clearing.
        const auto error = port_.error();
        const QString why = port_.errorString();
        port_.clearError();
        return mapOpenError(error, why);
    }
    // A few drivers forget the settings made before the open; set them again.
    applySettings();
    openedNode_ = krt::nodeIdentityOf(port_);
    qCDebug(lcLink) << "COM" << commPort_ << "open";
    return PortError::None;
}

SerialPortComponent::OpenOutcome
SerialPortComponent::openPort(int port, const QString& settings, const StepFailed& failed,
                              const std::function<void()>& closed) {
    PortError error = setPortOpen(false);
    if (error != PortError::None && failed(OpenStep::Close, error)) return {OpenStep::Close, error};
    if (closed) closed();
    error = setCommPort(port);
    if (error != PortError::None && failed(OpenStep::ChoosePort, error))
        return {OpenStep::ChoosePort, error};
    setSettings(settings);
    setInputLen(krt::line::InputLengthBytes);
    error = setPortOpen(true);
    if (error != PortError::None) failed(OpenStep::Open, error);
    return {OpenStep::Open, error};
}

PortError SerialPortComponent::output(const QByteArray& bytes) {
    if (!port_.isOpen())
        return fail(PortError::PortNotOpen,
                    QStringLiteral("Operation valid only when the port is open."));
    if (bytes.isEmpty()) return PortError::None;
    const qint64 written = port_.write(bytes);
    if (written != bytes.size())
        return fail(PortError::OtherFailure,
                    QStringLiteral("Write failed: %1").arg(port_.errorString()));
    // On the line now, not at the next turn of the event loop: the message
    // sequences pause between their writes and mean the device to wait.
    port_.flush();
    return PortError::None;
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
    if (!port_.isOpen() || inputLen_ <= 0) return port_.isOpen() ? port_.readAll() : QByteArray();
    return port_.read(inputLen_);
}

qint64 SerialPortComponent::bytesWaiting() const {
    return (unread_.size() - unreadFrom_) + (port_.isOpen() ? port_.bytesAvailable() : 0);
}

PortError SerialPortComponent::setRTSEnable(bool enable) {
    if (!port_.isOpen())
        return fail(PortError::PortNotOpen,
                    QStringLiteral("Operation valid only when the port is open."));
    if (!port_.setRequestToSend(enable)) {
        const QString why = port_.errorString();
        port_.clearError();
        return fail(PortError::OtherFailure, QStringLiteral("RTS cannot be set: %1").arg(why));
    }
    return PortError::None;
}

void SerialPortComponent::onErrorOccurred(QSerialPort::SerialPortError error) {
    // Open, write and RTS failures are reported by their own calls. A resource
    // or read error on an open port means the device is gone: a pulled USB
    // adapter (resource error) or the far end of a pseudo-terminal closed
    // (read error, repeated on every turn of the event loop). Qt reports it
    // from inside its own read handler, so close later, and only once.
    const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!gone || !port_.isOpen() || losing_) return;
    losing_ = true;
    const QString why = port_.errorString();
    qCDebug(lcLink) << "device" << device_ << "lost:" << error << why;
    QMetaObject::invokeMethod(
        this,
        [this, why] {
            if (!port_.isOpen()) {
                losing_ = false;
                return;
            }
            port_.clearError();
            // What arrived before the loss is the device's text all the same:
            // keep it for input() instead of letting close() drop it.
            unread_ += port_.read(port_.bytesAvailable());
            port_.close();
            losing_ = false;
            fail(PortError::DeviceLost, QStringLiteral("The serial device %1 went away (%2).")
                                            .arg(krt::shownName(device_), why));
            emit portLost(errorNumber_, errorDescription_);
        },
        Qt::QueuedConnection);
}
