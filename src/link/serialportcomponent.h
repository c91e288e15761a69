#pragma once
// The data window's serial port: port number, settings text, input length,
// open/close, Output, Input, RTS, and error numbers the callers tell apart.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace portError {
constexpr int None = 0;
constexpr int InvalidPort = 8002;      // no such device behind the port number
constexpr int AlreadyOpen = 8005;      // locked or in use by another program
constexpr int DeviceNotOpen = 8012;    // closing a port that is not open
constexpr int PortNotOpen = 8018;      // operation valid only when the port is open
constexpr int InvalidSettings = 380;   // a settings text that cannot be applied
constexpr int PermissionDenied = 8100; // no read/write permission on the device
constexpr int DeviceLost = 8101;       // the device went away while the port was open
constexpr int OtherFailure = 8199;     // anything else the serial library reports
} // namespace portError

class SerialPortComponent : public QObject {
    Q_OBJECT
public:
    explicit SerialPortComponent(QObject* parent = nullptr);
    ~SerialPortComponent() override;

    // The device behind a port number, as the system's bytes, from the
    // binding in force (option, KRT418_COMn, saved choice, platform default);
    // a stable name is followed to its node. Empty when the number has no port.
    static QByteArray deviceForPort(int port);

    // A number outside 1..16 is refused at once with 8002.
    int setCommPort(int port);
    int commPort() const { return commPort_; }
    // "9600,N,8,1"; checked at the next open.
    void setSettings(const QString& settings) { settings_ = settings; }
    QString settings() const { return settings_; }
    void setInputLen(int length) { inputLen_ = length; }
    int inputLen() const { return inputLen_; }

    // Each operation returns 0 or an error number; errorNumber() and
    // errorDescription() then tell the last failure. Closing keeps what was
    // received and not yet taken: input() still returns it.
    int setPortOpen(bool open);
    bool portOpen() const;
    int output(const QByteArray& bytes);
    // Up to inputLen() bytes already received; never waits. Bytes received
    // before a close or before the device went away are still returned.
    QByteArray input();
    int setRTSEnable(bool enable);

    // Bytes received and not yet taken by input().
    qint64 bytesWaiting() const;

    int errorNumber() const { return errorNumber_; }
    QString errorDescription() const { return errorDescription_; }

    QSerialPort* port() { return &port_; }

signals:
    // Bytes have arrived and wait for input().
    void bytesArrived();
    // The open port failed for good (device gone); it has been closed.
    // Emitted once per loss.
    void portLost(int number, const QString& description);

private:
    int fail(int number, const QString& description);
    // The failure of an open of device_, from Qt's error and its text.
    int mapOpenError(QSerialPort::SerialPortError error, const QString& why);
    // Moves everything received so far, also what the system still holds,
    // into unread_ ahead of a close.
    void keepUnread();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool applySettings();

    QSerialPort port_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    int inputLen_ = 0;
    int errorNumber_ = 0;
    bool losing_ = false;
    // The device opened last, as the operator named it.
    QByteArray device_;
    // Received before a close or a loss and not yet taken, from unreadFrom_ on.
    QByteArray unread_;
    qsizetype unreadFrom_ = 0;
    QString errorDescription_;
};
