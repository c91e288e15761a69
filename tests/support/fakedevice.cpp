#include "fakedevice.h"

#include "link/portbinding.h"
#include "pty/rawpty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// Session journals and settings of every suite go to the test locations,
// never into the real home.
static void useTestLocations() {
    QStandardPaths::setTestModeEnabled(true);
}
Q_COREAPP_STARTUP_FUNCTION(useTestLocations)

FakeDevice::FakeDevice() {
    reopen();
}

FakeDevice::~FakeDevice() {
    vanish();
}

bool FakeDevice::reopen() {
    vanish();
    const krt::pty::Pair pty = krt::pty::openRaw();
    master_ = pty.master;
    slave_ = pty.slave;
    if (master_ < 0) return false;
    path_ = QString::fromLocal8Bit(pty.path.c_str());
    return true;
}

void FakeDevice::attachAs(int port) const {
    qputenv(krt::environmentName(port).constData(), path_.toLocal8Bit());
}

void pointPortAtNothing(int port) {
    qputenv(krt::environmentName(port).constData(), "/dev/krt418-no-such-port");
}

bool FakeDevice::write(const QByteArray& bytes) {
    qsizetype done = 0;
    QElapsedTimer clock;
    clock.start();
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (clock.elapsed() > 30000) return false;
        // The line is full: let the program read for a moment, in a real
        // event loop so its receive timer runs as it does in production.
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QByteArray FakeDevice::readAll() {
    QByteArray all;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) break;
        all.append(buffer, n);
    }
    return all;
}

QByteArray FakeDevice::readAtLeast(int n, int timeoutMs) {
    QByteArray all = readAll();
    QElapsedTimer clock;
    clock.start();
    while (all.size() < n && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
        all += readAll();
    }
    return all;
}

bool FakeDevice::staysQuiet(int ms) {
    QElapsedTimer clock;
    clock.start();
    QByteArray got;
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += readAll();
    }
    return got.isEmpty();
}

void FakeDevice::vanish() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    master_ = slave_ = -1;
}
