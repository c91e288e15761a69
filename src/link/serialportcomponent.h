#pragma once
// The data window's serial port: port number, settings text, input length,
// open/close, Output, Input, RTS, and error numbers the callers tell apart.

#include "link/linesettings.h"
#include "link/nodeidentity.h"
#include "link/portbinding.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>
#include <memory>

// What a port operation came to. The values are the numbers the operator
// reads in ">> PORT ERROR: n <<" and "Error #  n".
enum class PortError {
    None = 0,
    InvalidPort = 8002,      // no such device behind the port number
    AlreadyOpen = 8005,      // locked or in use by another program
    DeviceNotOpen = 8012,    // closing a port that is not open
    PortNotOpen = 8018,      // operation valid only when the port is open
    InvalidSettings = 380,   // a settings text that cannot be applied
    PermissionDenied = 8100, // no read/write permission on the device
    DeviceLost = 8101,       // the device went away while the port was open
    OtherFailure = 8199,     // anything else the serial library reports
};

// The number printed for an error.
constexpr int printedNumber(PortError error) {
    return static_cast<int>(error);
}

// The steps of opening a port, in their order.
enum class OpenStep { Close, ChoosePort, Open };

class SerialPortComponent : public QObject {
    Q_OBJECT
public:
    explicit SerialPortComponent(QObject* parent = nullptr);
    ~SerialPortComponent() override;

    // Which device stands behind each port number; by default the bindings
    // of a program started without options.
    void setBindings(std::shared_ptr<const krt::PortBindings> bindings);
    const krt::PortBindings& bindings() const { return *bindings_; }
    // The device behind a port number, as the system's bytes, from the
    // binding in force; a stable name is followed to its node. Empty when
    // the number has no port.
    QByteArray deviceForPort(int port) const { return bindings_->systemPath(port); }

    // A number outside 1..16 is refused at once with 8002.
    PortError setCommPort(int port);
    int commPort() const { return commPort_; }
    // krt::line::Settings9600 and the like; checked at the next open.
    void setSettings(const QString& settings) { settings_ = settings; }
    QString settings() const { return settings_; }
    void setInputLen(int length) { inputLen_ = length; }
    int inputLen() const { return inputLen_; }

    // The one way a port is opened, at start-up, on a port choice, on a
    // line-speed switch and when a lost device is back: close what is open,
    // choose the port number, set the line settings and the input length,
    // open. A failed step is handed to `failed`, which reports it as its
    // caller must and says whether the sequence ends there. `closed` runs
    // after the close (the receive loop takes in what was received).
    // Returns the step the sequence ended at and its result.
    struct OpenOutcome {
        OpenStep step = OpenStep::Open;
        PortError error = PortError::None;
    };
    using StepFailed = std::function<bool(OpenStep, PortError)>;
    OpenOutcome openPort(int port, const QString& settings, const StepFailed& failed,
                         const std::function<void()>& closed = {});

    // Each operation returns PortError::None or the error; errorNumber() and
    // errorDescription() then tell the last failure. Closing keeps what was
    // received and not yet taken: input() still returns it.
    PortError setPortOpen(bool open);
    bool portOpen() const;
    PortError output(const QByteArray& bytes);
    // Up to inputLen() bytes already received; never waits. Bytes received
    // before a close or before the device went away are still returned.
    QByteArray input();
    PortError setRTSEnable(bool enable);

    // Bytes received and not yet taken by input().
    qint64 bytesWaiting() const;

    // The device node the last successful open stood on.
    std::optional<krt::NodeIdentity> openedNode() const { return openedNode_; }

    // After 8005: the program that holds the device ("krt418, process
    // 4242"), when its lock file tells; else empty.
    QString lockHolder() const { return lockHolder_; }

    PortError errorNumber() const { return errorNumber_; }
    QString errorDescription() const { return errorDescription_; }

    QSerialPort* port() { return &port_; }

signals:
    // Bytes have arrived and wait for input().
    void bytesArrived();
    // The open port failed for good (device gone); it has been closed.
    // Emitted once per loss.
    void portLost(PortError error, const QString& description);
    // The port was opened or closed (error None), or an open failed.
    void portChanged(bool open, PortError error);

private:
    PortError openDevice();
    PortError closeDevice();
    PortError fail(PortError error, const QString& description);
    // The failure of an open of device_, from Qt's error and its text.
    PortError mapOpenError(QSerialPort::SerialPortError error, const QString& why);
    // Moves everything received so far, also what the system still holds,
    // into unread_ ahead of a close.
    void keepUnread();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool applySettings();

    QSerialPort port_;
    std::shared_ptr<const krt::PortBindings> bindings_ = std::make_shared<krt::PortBindings>();
    int commPort_ = 1;
    QString settings_ = QLatin1String(krt::line::Settings9600);
    int inputLen_ = 0;
    PortError errorNumber_ = PortError::None;
    bool losing_ = false;
    // The device opened last, as the operator named it.
    QByteArray device_;
    std::optional<krt::NodeIdentity> openedNode_;
    // Received before a close or a loss and not yet taken, from unreadFrom_ on.
    QByteArray unread_;
    qsizetype unreadFrom_ = 0;
    QString errorDescription_;
    QString lockHolder_;
};
