#include "shell/startup.h"

#include "datawindow/rddata.h"
#include "dialogs/openers.h"
#include "session/options.h"
#include "shell/krt418.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace krt {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const char byte = char(number);
    // Nothing else is safe in a signal handler; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// The signals that ask a program to end become an event-loop exit, so the
// clean-up after exec() runs for them as for Quit.
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

void setUpApplication() {
    registerDialogOpeners();
    QApplication::setApplicationName(QStringLiteral("krt418"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/krt418/timer-device.svg")));
}

int runProgram(int argc, char* argv[], const std::function<void(KRT418&)>& started) {
    QCoreApplication::setOrganizationName(QStringLiteral("krt418"));
    QCoreApplication::setApplicationName(QStringLiteral("krt418"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KRT418_VERSION));
    krt::Options options;
    {
        // The options are read before any window (or display) is needed, so
        // --help and --list-ports answer on a terminal without a desktop.
        // They are the system's bytes, read before Qt takes any of them.
        QByteArrayList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QByteArray(argv[i]);
        QCoreApplication core(argc, argv);
        auto read = readOptions(arguments);
        if (const int* status = std::get_if<int>(&read)) return *status;
        options = std::get<krt::Options>(std::move(read));
    }
    QApplication app(argc, argv);
    setUpApplication();

    std::unique_ptr<QSocketNotifier> stop;
    if (catchEndSignals()) {
        stop = std::make_unique<QSocketNotifier>(qintptr(signalPipe[0]), QSocketNotifier::Read);
        QObject::connect(stop.get(), &QSocketNotifier::activated, &app, [] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
            // exit(), not quit(): no window may refuse, and a file dialog's own
            // loop ends with it.
            QCoreApplication::exit(0);
        });
    }

    int status = 0;
    {
        KRT418 window(options);
        window.show();
        if (started) started(window);
        status = app.exec();
        // Quit leaves the data window loaded: destroying it closes the port.
        delete RDData::existing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return status;
}

} // namespace krt
