#pragma once
// The emulator's line: owns the device end of a pseudo-terminal (or a real
// serial port), reads frames with FrameReader, lets Device answer them, and
// sends the answers paced at the line speed, held while the PC sent XOFF.
// Everything runs on the Qt event loop of the calling thread, so a test can
// run the program and the emulator side by side in one thread.

#include "device.h"
#include "framereader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;
class QTimer;

namespace sim {

class Server : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool fast = false;   // send as fast as the line takes it, no pacing
        bool inputs = false; // a time on a random input every few seconds
        quint32 seed = 418;
        Device::Clock clock; // the PC's clock when empty
    };
    using Log = std::function<void(const QString& line)>;

    // Answers that would grow the waiting output beyond this are refused
    // (NAK), so a flood of upload requests while held by XOFF cannot eat memory.
    static constexpr qsizetype MaxWaiting = 4 * 1024 * 1024;

    explicit Server(const Options& options, QObject* parent = nullptr);
    ~Server() override;

    // A new pseudo-terminal; the program opens path().
    bool openPty(QString* error);
    // An existing serial device, set to 9600,N,8,1 without flow control.
    bool openPort(const QString& path, QString* error);
    QString path() const { return path_; }

    Device& device() { return device_; }
    // Console lines go here; the default writes them to stderr with the time.
    void setLog(Log log) { log_ = std::move(log); }

    qsizetype waitingOutput() const { return out_.size() - outPos_; }
    bool held() const { return held_; }
    qint64 bytesSent() const { return sent_; }
    int charactersPerSecond() const { return device_.lineSpeed() / 10; }

signals:
    // The line broke for good (a serial adapter pulled); nothing more is served.
    void lineFailed(const QString& why);

private:
    bool adopt(int fd, QString* error);
    void onReadable();
    void onFrameTimeout();
    void onInputTick();
    void handle(const QList<ReaderEvent>& events);
    void answer(const QByteArray& payload);
    bool queue(const QByteArray& bytes);
    void pump();
    void armFrameTimer();
    void applyLineSpeed(int speed);
    void fail(const QString& why);
    void log(const QString& line);
    void logLines(const QList<QByteArray>& lines);

    Options options_;
    Device device_;
    FrameReader reader_;
    Log log_;
    QElapsedTimer clock_;

    int fd_ = -1;
    int slaveFd_ = -1; // held open so the line survives the program closing it
    bool isPty_ = false;
    QString path_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QTimer* frameTimer_;
    QTimer* paceTimer_;
    QTimer* inputTimer_;

    QByteArray out_;
    qsizetype outPos_ = 0;
    qint64 queued_ = 0; // bytes ever queued
    qint64 sent_ = 0;   // bytes ever written
    bool held_ = false;
    double credit_ = 0; // characters the pacing allows now
    qint64 refilledMs_ = 0;
    int pendingSpeed_ = 0;      // takes effect once this many bytes have gone:
    qint64 pendingSpeedAt_ = 0; // the acknowledge goes out at the old speed
};

} // namespace sim
