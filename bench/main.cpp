// krt418-bench: how the receive path holds up over an event day.
//
//   krt418-bench                      every figure, each measured in a child process
//   krt418-bench --only receive,idle  some of them
//   krt418-bench --scale 0.1          a tenth of the text (a quick look, not for the README)
//   krt418-bench --child NAME         one measurement in this process (used by the above)
//   krt418-bench --no-journal         the data window without its session journal (which
//                                     otherwise goes to a temporary folder)
//   krt418-bench --self-test          checks of the ways the figures are taken
//
// Output: one "name: value unit" line per figure. It measures, it never judges:
// the exit status is non-zero only when a measurement could not be taken.

#include "figures.h"
#include "selftest.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

struct Measurement {
    const char* name;
    int (*run)(const BenchOptions&);
    const char* what;
};

const Measurement kMeasurements[] = {
    {"receive", figureReceive, "device text through pty, MSComm1, Timer1 and Text1"},
    {"raw", figureRawAppend, "the same text appended to a plain QPlainTextEdit"},
    {"growth", figureGrowth,
     "cost of 1,000 lines at 1,000, 200,000 and 1,000,000 lines, memory per line"},
    {"plainmemory", figurePlainMemory, "memory per line of a plain QPlainTextEdit"},
    {"idle", figureIdle, "CPU of the data window on a quiet line"},
    {"polling", figureBusyTimer, "CPU of the same with a 1 ms timer polling for nothing"},
    {"latency", figureLatency, "far-end write to the line on screen, lines 1 to 5 ms apart"},
    {"firstline", figureFirstLineLatency, "the same for a line after a second of quiet"},
    {"flood", figureFlood, "CPU and time until 2 MiB of device lines are in the field and painted"},
    {"paced", figurePaced, "CPU at 200 device lines a second"},
    {"paced31", figurePacedSlow, "CPU at 31 device lines a second"},
    {"paced31noscroll", figurePacedNoScroll, "the same with \"Auto Scroll\" off"},
    {"pacedlongline", figurePacedLongLine,
     "CPU at 960 characters a second onto a 100 MB line without an end"},
    {"longline", figureLongLine, "a 2 MB line without a line end, then on to 100 MB"},
    {"floodmemory", figureFloodMemory, "memory beyond the field's text while 50 MB are pushed"},
    {"click", figureClick, "\"Clear\" clicked (100 ms hold) while lines arrive at 31 a second"},
    {"bigfield", figureBigField,
     "paint, find, copy all and save with 1,000,000 lines in the field"},
    {"bytes", figureByteView,
     "the wire record of 1,000,000 lines: bytes held, the byte view painted and searched"},
    {"record", figureRecord,
     "the session record: bytes per device line, the reader over 1,000,000 lines"},
    {"selectall", figureSelectAllExtend,
     "Ctrl+A, then Shift+Up, with 10,000,000 lines in the field"},
};

void usage() {
    std::fprintf(stderr, "usage: krt418-bench [--only a,b,...] [--scale x] [--idle-seconds n] "
                         "[--no-journal] [--verbose] [--self-test]\nmeasurements:\n");
    for (const Measurement& m : kMeasurements)
        std::fprintf(stderr, "  %-12s %s\n", m.name, m.what);
}

void preferOffscreen() {
    // Without a display the windows still exist and draw, off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int runChild(const QString& name, const BenchOptions& options, bool journal, int argc,
             char** argv) {
    preferOffscreen();
    QApplication app(argc, argv);
    // Measured as the operator runs it, journal included, but not kept: the
    // data window reads settings of its own, in a folder that goes with it.
    QTemporaryDir settingsAndSessions;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsAndSessions.path());
    QSettings settings;
    settings.setValue(QStringLiteral("journal/enabled"), journal);
    settings.setValue(QStringLiteral("journal/folder"),
                      settingsAndSessions.filePath(QStringLiteral("sessions")));
    settings.sync();
    for (const Measurement& m : kMeasurements)
        if (name == QLatin1String(m.name)) return m.run(options);
    usage();
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    QString child;
    QStringList only;
    bool verbose = false;
    bool journal = true;
    bool checkSelf = false;
    QStringList passOn;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == "--child" && hasValue) {
            child = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--only" && hasValue) {
            only = QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (arg == "--scale" && hasValue) {
            options.scale = QByteArray(argv[++i]).toDouble();
            passOn << QStringLiteral("--scale") << QString::number(options.scale);
        } else if (arg == "--idle-seconds" && hasValue) {
            options.idleSeconds = QByteArray(argv[++i]).toInt();
            passOn << QStringLiteral("--idle-seconds") << QString::number(options.idleSeconds);
        } else if (arg == "--no-journal") {
            journal = false;
            passOn << QStringLiteral("--no-journal");
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--self-test") {
            checkSelf = true;
        } else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else {
            usage();
            return 2;
        }
    }
    if (options.scale <= 0 || options.idleSeconds <= 0) {
        usage();
        return 2;
    }
    if (!child.isEmpty()) return runChild(child, options, journal, argc, argv);
    if (checkSelf) {
        preferOffscreen();
        QApplication app(argc, argv);
        return selfTest() == 0 ? 0 : 1;
    }

    preferOffscreen();
    QCoreApplication app(argc, argv);
    std::printf("# krt418-bench, Qt %s, platform %s, scale %g, journal %s\n", qVersion(),
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "default"
                                                     : qgetenv("QT_QPA_PLATFORM").constData(),
                options.scale, journal ? "on" : "off");
    std::fflush(stdout);

    QMap<QString, double> figures;
    const QRegularExpression figureLine(QStringLiteral("^([a-z0-9_]+): ([-0-9.]+) (.*)$"));
    int failures = 0;
    for (const Measurement& m : kMeasurements) {
        if (!only.isEmpty() && !only.contains(QLatin1String(m.name))) continue;
        QProcess process;
        process.setProgram(QCoreApplication::applicationFilePath());
        process.setArguments(QStringList{QStringLiteral("--child"), QLatin1String(m.name)} +
                             passOn);
        process.setReadChannel(QProcess::StandardOutput);
        process.start();
        if (!process.waitForFinished(15 * 60 * 1000)) process.kill();
        process.waitForFinished();
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        std::fputs(out.constData(), stdout);
        for (const QString& line : QString::fromLocal8Bit(out).split(QLatin1Char('\n'))) {
            const auto match = figureLine.match(line);
            if (match.hasMatch()) figures[match.captured(1)] = match.captured(2).toDouble();
        }
        const bool failed = process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0;
        if (failed) {
            ++failures;
            std::printf("# %s: no figure (%s)\n", m.name, err.trimmed().right(400).constData());
        } else if (verbose && !err.isEmpty()) {
            std::fputs(err.constData(), stderr);
        }
        std::fflush(stdout);
    }

    // Ratios to the baselines measured in this same run.
    const auto ratio = [&](const char* name, const char* top, const char* bottom) {
        const QString t = QLatin1String(top), b = QLatin1String(bottom);
        if (figures.contains(t) && figures.contains(b) && figures[b] > 0)
            printFigure(name, figures[t] / figures[b], "x", 2);
    };
    ratio("receive_vs_raw_append", "receive_chars_per_s", "raw_append_chars_per_s");
    ratio("receive_vs_raw_append_cpu", "receive_chars_per_cpu_s", "raw_append_chars_per_cpu_s");
    ratio("memory_vs_plain", "memory_bytes_per_line", "memory_bytes_per_line_plain");
    return failures == 0 ? 0 : 1;
}
