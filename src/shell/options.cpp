#include "shell/options.h"

#include "datawindow/journal.h"
#include "link/portbinding.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace krt {
namespace {

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

std::optional<int> handleCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Controls a KRT 418 timing device over a serial line."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and exits."));
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("Lists the serial ports present, one a line: path, stable name, "
                       "description, manufacturer, serial number and the COM ports bound to it "
                       "(separated by tabs), and exits."));
    const QCommandLineOption com1(QStringLiteral("com1"),
                                  QStringLiteral("Uses <device> as COM1 for this run."),
                                  QStringLiteral("device"));
    const QCommandLineOption com2(QStringLiteral("com2"),
                                  QStringLiteral("Uses <device> as COM2 for this run."),
                                  QStringLiteral("device"));
    const QCommandLineOption noJournal(
        QStringLiteral("no-journal"),
        QStringLiteral("Keeps no journal of the data window's sessions for this run."));
    const QCommandLineOption journalDir(QStringLiteral("journal-dir"),
                                        QStringLiteral("Keeps the session journals in <folder>."),
                                        QStringLiteral("folder"));
    parser.addOptions({help, version, listPorts, com1, com2, noJournal, journalDir});

    const QString program = QFileInfo(arguments.value(0)).fileName();
    if (!parser.parse(arguments)) {
        print(stderr, program + QStringLiteral(": ") + parser.errorText() +
                          QStringLiteral(" (see --help)\n"));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, program + QStringLiteral(": unexpected argument '") +
                          parser.positionalArguments().first() +
                          QStringLiteral("' (see --help)\n"));
        return 2;
    }
    for (const QCommandLineOption* option : {&com1, &com2, &journalDir}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
            print(stderr, program + QStringLiteral(": --") + option->names().first() +
                              QStringLiteral(" needs a value (see --help)\n"));
            return 2;
        }
    }
    if (parser.isSet(help)) {
        // helpText() names the program after the running application.
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, program + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
                          QLatin1Char('\n'));
        return 0;
    }
    if (parser.isSet(listPorts)) {
        print(stdout, describePorts(detectedPorts()));
        return 0;
    }
    if (parser.isSet(com1)) setOptionBinding(1, parser.value(com1));
    if (parser.isSet(com2)) setOptionBinding(2, parser.value(com2));
    if (parser.isSet(noJournal)) Journal::options().enabled = false;
    if (parser.isSet(journalDir)) Journal::options().folder = parser.value(journalDir);
    return std::nullopt;
}

} // namespace krt
