#include "platform/endrequests.h"

#ifdef Q_OS_WIN
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>

#include <windows.h>
#else
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef Q_OS_WIN
namespace {

// The system runs a console's control handler on a thread of its own: the
// handler only posts to the catcher, under a lock the catcher's end takes too.
QMutex catcherLock;
QPointer<QObject> catcher;
std::function<void()> onEnd;
HANDLE cleanedUp = nullptr; // set once the catcher is gone

class Catcher : public QObject {
public:
    ~Catcher() override {
        {
            QMutexLocker locker(&catcherLock);
            catcher = nullptr;
            onEnd = nullptr;
        }
        ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        ::SetEvent(cleanedUp);
    }

    static BOOL WINAPI onConsoleEvent(DWORD type) {
        if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT)
            return FALSE;
        {
            QMutexLocker locker(&catcherLock);
            if (!catcher) return FALSE;
            QMetaObject::invokeMethod(
                catcher.data(), [] { onEnd(); }, Qt::QueuedConnection);
        }
        // Once the handler returns from a console's close, the system ends the
        // process at once: wait for the clean-up (the system itself allows a
        // few seconds, then ends the process all the same).
        if (type == CTRL_CLOSE_EVENT) ::WaitForSingleObject(cleanedUp, INFINITE);
        return TRUE;
    }
};

} // namespace

std::unique_ptr<QObject> catchEndRequests(std::function<void()> end) {
    if (!cleanedUp) cleanedUp = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!cleanedUp) return nullptr;
    ::ResetEvent(cleanedUp);
    auto object = std::make_unique<Catcher>();
    {
        QMutexLocker locker(&catcherLock);
        catcher = object.get();
        onEnd = std::move(end);
    }
    if (!::SetConsoleCtrlHandler(Catcher::onConsoleEvent, TRUE)) return nullptr;
    return object;
}
#else
namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const char byte = char(number);
    // Nothing else is safe in a signal handler; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

bool catchEndSignals() {
    if (::pipe(signalPipe) != 0) return false;
    for (const int fd : signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &action, nullptr);
    return true;
}

} // namespace

// The signals reach the event loop through a self-pipe. The pipe stays open
// after the notifier goes: a late signal must not write into a descriptor
// number that something else has taken meanwhile.
std::unique_ptr<QObject> catchEndRequests(std::function<void()> end) {
    if (!catchEndSignals()) return nullptr;
    auto stop = std::make_unique<QSocketNotifier>(qintptr(signalPipe[0]), QSocketNotifier::Read);
    QObject::connect(stop.get(), &QSocketNotifier::activated, stop.get(), [end = std::move(end)] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        end();
    });
    return stop;
}
#endif

} // namespace platform
