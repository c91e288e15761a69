#include "server.h"

#include "pty/rawpty.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
constexpr char Ack = 0x06;
constexpr char Nak = 0x15;
// Answer lines shown one by one on the console; longer answers are summed up.
constexpr int LoggedLines = 12;

// The frame as the program's data field shows it: <02>, payload, <checksum>, <03>.
QString frameImage(const QByteArray& payload) {
    int sum = 0;
    for (const char c : payload)
        sum += quint8(c);
    return QStringLiteral("<02>") + visible(payload, 64) +
           QStringLiteral("<%1><03>").arg(sum & 0xFF, 0, 16).toUpper();
}
} // namespace

Server::Server(const Options& options, QObject* parent)
    : QObject(parent), options_(options), device_(options.clock, options.seed),
      frameTimer_(new QTimer(this)), paceTimer_(new QTimer(this)), inputTimer_(new QTimer(this)) {
    clock_.start();
    log_ = [](const QString& line) {
        const QByteArray text =
            QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")).toLatin1() +
            line.toLatin1() + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    };
    frameTimer_->setSingleShot(true);
    frameTimer_->setTimerType(Qt::PreciseTimer);
    connect(frameTimer_, &QTimer::timeout, this, &Server::onFrameTimeout);
    paceTimer_->setSingleShot(true);
    paceTimer_->setTimerType(Qt::PreciseTimer);
    connect(paceTimer_, &QTimer::timeout, this, &Server::pump);
    inputTimer_->setSingleShot(true);
    connect(inputTimer_, &QTimer::timeout, this, &Server::onInputTick);
}

Server::~Server() {
    delete readNotifier_;
    delete writeNotifier_;
    if (fd_ >= 0) ::close(fd_);
    if (slaveFd_ >= 0) ::close(slaveFd_);
}

bool Server::openPty(QString* error) {
    // Raw on both ends before the program opens it: no echo, no line editing,
    // no XON/XOFF eaten by the terminal driver.
    const krt::pty::Pair pty = krt::pty::openRaw(B9600);
    if (pty.master < 0) {
        if (error)
            *error = QStringLiteral("cannot open a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::fcntl(pty.slave, F_SETFD, FD_CLOEXEC);
    slaveFd_ = pty.slave;
    isPty_ = true;
    path_ = QString::fromLocal8Bit(pty.path.c_str());
    return adopt(pty.master, error);
}

bool Server::openPort(const QString& path, QString* error) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || !::isatty(fd)) {
        if (error)
            *error = fd < 0 ? QStringLiteral("cannot open %1: %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(errno)))
                            : QStringLiteral("%1 is not a serial device").arg(path);
        if (fd >= 0) ::close(fd);
        return false;
    }
    krt::pty::makeRaw(fd, B9600);
    ::tcflush(fd, TCIOFLUSH);
    isPty_ = false;
    path_ = path;
    return adopt(fd, error);
}

bool Server::adopt(int fd, QString*) {
    fd_ = fd;
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    readNotifier_ = new QSocketNotifier(qintptr(fd_), QSocketNotifier::Read);
    connect(readNotifier_, &QSocketNotifier::activated, this, &Server::onReadable);
    writeNotifier_ = new QSocketNotifier(qintptr(fd_), QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &Server::pump);
    refilledMs_ = clock_.elapsed();
    if (options_.inputs) inputTimer_->start(int(QRandomGenerator::global()->bounded(2000, 5001)));
    return true;
}

void Server::log(const QString& line) {
    if (log_) log_(line);
}

void Server::logLines(const QList<QByteArray>& lines) {
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.size() > LoggedLines && i == 3) {
            log(QStringLiteral("-> ... %1 lines in all").arg(lines.size()));
            i = int(lines.size()) - 2;
            continue;
        }
        log(QStringLiteral("-> ") + visible(lines[i]));
    }
}

void Server::fail(const QString& why) {
    if (readNotifier_) readNotifier_->setEnabled(false);
    if (writeNotifier_) writeNotifier_->setEnabled(false);
    frameTimer_->stop();
    paceTimer_->stop();
    inputTimer_->stop();
    log(QStringLiteral("line failed: ") + why);
    emit lineFailed(why);
}

void Server::onReadable() {
    // A bounded number of reads per wake-up, so a flood cannot starve the
    // sending side or the timers.
    for (int round = 0; round < 16; ++round) {
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            handle(reader_.feed(QByteArray(buffer, int(n)), clock_.elapsed()));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
        fail(n == 0 ? QStringLiteral("the line was closed")
                    : QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    armFrameTimer();
}

void Server::onFrameTimeout() {
    handle(reader_.poll(clock_.elapsed()));
    armFrameTimer();
}

void Server::armFrameTimer() {
    const qint64 deadline = reader_.deadline();
    if (deadline < 0) {
        frameTimer_->stop();
        return;
    }
    frameTimer_->start(int(qMax<qint64>(0, deadline - clock_.elapsed())));
}

void Server::onInputTick() {
    QStringList console;
    device_.measure(device_.randomOpenInput(), &console);
    for (const QString& line : console)
        log(line);
    inputTimer_->start(int(QRandomGenerator::global()->bounded(2000, 5001)));
}

void Server::handle(const QList<ReaderEvent>& events) {
    for (const ReaderEvent& e : events) {
        switch (e.kind) {
        case ReaderEvent::Frame:
            answer(e.bytes);
            break;
        case ReaderEvent::Rejected:
            log(QStringLiteral("<- %1  NAK  %2")
                    .arg(visible(e.bytes, 64), QLatin1String(FrameReader::reasonText(e.reason))));
            queue(QByteArray(1, Nak));
            break;
        case ReaderEvent::Xoff:
            held_ = true;
            log(QStringLiteral("<- XOFF  sending held, %1 bytes waiting").arg(waitingOutput()));
            break;
        case ReaderEvent::Xon:
            log(QStringLiteral("<- XON   sending resumed, %1 bytes waiting").arg(waitingOutput()));
            held_ = false;
            break;
        case ReaderEvent::Loose:
            for (const QString& line : device_.looseText(e.bytes))
                log(line);
            break;
        }
    }
    pump();
}

void Server::answer(const QByteArray& payload) {
    const Answer a = device_.command(payload);
    QByteArray bytes(1, a.accepted ? Ack : Nak);
    for (const QByteArray& line : a.lines)
        bytes += Device::wireLine(line);
    if (waitingOutput() + bytes.size() > MaxWaiting) {
        // Too much is already waiting (held by XOFF): refuse rather than pile up.
        log(QStringLiteral("<- %1  NAK  busy: %2 bytes still waiting")
                .arg(frameImage(payload))
                .arg(waitingOutput()));
        queue(QByteArray(1, Nak));
        return;
    }
    log(QStringLiteral("<- %1  %2  %3")
            .arg(frameImage(payload), a.accepted ? QStringLiteral("ACK") : QStringLiteral("NAK"),
                 a.what));
    queue(bytes);
    logLines(a.lines);
    for (const QString& line : a.console)
        log(line);
    if (a.newLineSpeed) {
        pendingSpeed_ = a.newLineSpeed;
        pendingSpeedAt_ = queued_ - bytes.size() + 1; // right after the acknowledge
    }
}

bool Server::queue(const QByteArray& bytes) {
    if (waitingOutput() + bytes.size() > MaxWaiting + 1) return false;
    if (outPos_ > 0 && outPos_ >= out_.size() / 2) {
        out_.remove(0, outPos_);
        outPos_ = 0;
    }
    out_ += bytes;
    queued_ += bytes.size();
    return true;
}

void Server::applyLineSpeed(int speed) {
    pendingSpeed_ = 0;
    if (!isPty_) {
        termios t{};
        if (::tcgetattr(fd_, &t) == 0) {
            const speed_t s = speed == 19200 ? B19200 : B9600;
            ::cfsetispeed(&t, s);
            ::cfsetospeed(&t, s);
            ::tcsetattr(fd_, TCSADRAIN, &t);
        }
    }
    log(QStringLiteral("line speed now %1 bit/s").arg(speed));
}

// Writes what the pacing, XOFF and the line allow; comes back by the pace
// timer or when the line can take more.
void Server::pump() {
    writeNotifier_->setEnabled(false);
    while (fd_ >= 0 && !held_ && waitingOutput() > 0) {
        qsizetype allowed = waitingOutput();
        if (pendingSpeed_) allowed = qMin<qsizetype>(allowed, pendingSpeedAt_ - sent_);
        if (!options_.fast) {
            const qint64 now = clock_.elapsed();
            const double rate = charactersPerSecond();
            // At most one answer line's worth of burst after a quiet spell.
            credit_ = qMin(credit_ + double(now - refilledMs_) * rate / 1000.0, 31.0);
            refilledMs_ = now;
            allowed = qMin<qsizetype>(allowed, qsizetype(std::floor(credit_)));
            if (allowed <= 0) {
                paceTimer_->start(int(std::ceil((1.0 - credit_) * 1000.0 / rate)));
                return;
            }
        }
        const ssize_t n = ::write(fd_, out_.constData() + outPos_, size_t(allowed));
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                writeNotifier_->setEnabled(true);
                return;
            }
            if (errno == EINTR) continue;
            fail(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        outPos_ += n;
        sent_ += n;
        credit_ -= double(n);
        if (pendingSpeed_ && sent_ >= pendingSpeedAt_) applyLineSpeed(pendingSpeed_);
    }
    if (waitingOutput() == 0) {
        out_.clear();
        outPos_ = 0;
    }
}

} // namespace sim
