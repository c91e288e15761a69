// krt418-sim: a KRT 418 on a pseudo-terminal (or on a serial port), for
// trying the program and for testing it without the device.
//
// stdout gets exactly one line, the path to open; the exchange is logged on
// stderr. Ctrl+C, SIGTERM or SIGHUP stop it.

#include "server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const char byte = char(number);
    // Nothing else is safe in a signal handler; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

int fail(const QString& text) {
    std::fprintf(stderr, "krt418-sim: %s\n", text.toLocal8Bit().constData());
    return 2;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("krt418-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("KRT 418 device emulator. Prints the path of its line on stdout and logs "
                       "the exchange on stderr until stopped (Ctrl+C, SIGTERM)."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Serve this serial device instead of a new "
                                                 "pseudo-terminal."),
                                  QStringLiteral("path"));
    const QCommandLineOption fast(QStringLiteral("fast"),
                                  QStringLiteral("Answer at once, without pacing to the line "
                                                 "speed."));
    const QCommandLineOption times(QStringLiteral("times"),
                                   QStringLiteral("Start with n measured times in memory."),
                                   QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption inputs(QStringLiteral("inputs"),
                                    QStringLiteral("Measure a time on a random input every few "
                                                   "seconds, like a running event."));
    parser.addOptions({port, fast, times, inputs});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1 (see --help)")
                        .arg(parser.positionalArguments().first()));

    bool ok = false;
    const int preload = parser.value(times).toInt(&ok);
    if (!ok || preload < 0 || preload > sim::Device::Capacity)
        return fail(
            QStringLiteral("--times takes a number from 0 to %1").arg(sim::Device::Capacity));

    sim::Server::Options options;
    options.fast = parser.isSet(fast);
    options.inputs = parser.isSet(inputs);
    sim::Server server(options);
    server.device().preload(preload);

    QString error;
    const bool opened =
        parser.isSet(port) ? server.openPort(parser.value(port), &error) : server.openPty(&error);
    if (!opened) return fail(error);

    if (::pipe(signalPipe) != 0) return fail(QStringLiteral("cannot create a pipe"));
    for (const int fd : signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier stop(qintptr(signalPipe[0]), QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        std::fprintf(stderr, "krt418-sim: stopped (signal %d)\n", int(byte));
        QCoreApplication::quit();
    });
    QObject::connect(&server, &sim::Server::lineFailed, &app,
                     [](const QString&) { QCoreApplication::exit(1); });

    std::printf("%s\n", server.path().toLocal8Bit().constData());
    std::fflush(stdout);
    std::fprintf(stderr,
                 "krt418-sim: KRT 418 on %s, 9600 bit/s%s, %d times in memory%s\n"
                 "krt418-sim: <- is what the PC sent, -> what the device answers\n",
                 server.path().toLocal8Bit().constData(),
                 options.fast ? ", not paced" : ", paced at 960 characters a second",
                 int(server.device().memory().size()),
                 options.inputs ? ", measuring on its inputs" : "");
    return app.exec();
}
