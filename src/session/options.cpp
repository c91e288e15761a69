#include "session/options.h"

#include "link/portbinding.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace krt {
namespace {

// False when the text did not all reach the stream (a full disk, a closed
// pipe); errno then tells why.
bool print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    return std::fflush(stream) == 0 && written == size_t(bytes.size()) && !std::ferror(stream);
}

// The answer to --help, --version or --list-ports: exit status 0 only when
// it was written whole.
int answer(const QString& program, const QString& text) {
#ifdef SIGPIPE
    // A reader that went away (`krt418 --help | head -0`) is a failed write
    // to report, not a signal that ends the program without a word.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    if (print(stdout, text)) return 0;
    const int e = errno;
    print(stderr, program + QStringLiteral(": cannot write the output: ") +
                      QString::fromLocal8Bit(std::strerror(e != 0 ? e : EIO)) + QLatin1Char('\n'));
    return 1;
}

// Qt's own options, which every Qt program takes; the toolkit takes them out
// of the command line itself when the windows start. Those that name a value
// take the next argument, as Qt reads them.
bool isToolkitOption(QByteArray arg, bool* takesValue) {
    static const char* const withValue[] = {
        "-platform",    "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
        "-qwindowicon", "-qwindowtitle",       "-session",       "-style",  "-stylesheet",
        "-display",     "-geometry",           "-title",         "-icon",   "-name",
        "-visual"};
    static const char* const flags[] = {"-reverse", "-widgetcount", "-nograb",
                                        "-dograb",  "-testability", "-sync"};
    static const char* const joined[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};
    if (arg.startsWith("--")) arg.remove(0, 1);
    *takesValue = false;
    for (const char* option : joined)
        if (arg.startsWith(option)) return true;
    for (const char* option : flags)
        if (arg == option) return true;
    for (const char* option : withValue) {
        if (arg == option) {
            *takesValue = true;
            return true;
        }
    }
    return false;
}

// Arguments as the parser reads them: one character a byte, so that a value
// comes back as the very bytes given (a path need not be valid text).
// Qt's own options are left out.
QStringList parserArguments(const QByteArrayList& arguments) {
    QStringList list;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        bool takesValue = false;
        if (i > 0 && isToolkitOption(arguments[i], &takesValue)) {
            if (takesValue) ++i;
            continue;
        }
        list << QString::fromLatin1(arguments[i]);
    }
    return list;
}

// --help or --version, as a word of its own anywhere before "--": either
// answers whatever else the line holds, a slip beside it included, since
// whoever asks for help is the one most likely to have typed a slip. Even
// where the word would be an option's value ("--com1 --help"): no device is
// called that. The parser still sees compacted forms ("-hv") on a good line.
enum class Asked { Nothing, Help, Version };
Asked askedForAnswer(const QStringList& arguments) {
    Asked asked = Asked::Nothing;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) break;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) return Asked::Help;
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) asked = Asked::Version;
    }
    return asked;
}

// A text of the parser's that quotes an argument, back in the system's encoding.
QString shownArgumentText(const QString& text) {
    return QString::fromLocal8Bit(text.toLatin1());
}

Q_LOGGING_CATEGORY(lcJournal, "krt418.journal", QtWarningMsg)

// A retention limit from the settings: decimal digits only, from low to high.
// Anything else ("-1", "0", "abc", "1e12", "2.5", "0x10") is a slip, not a
// wish, and must never be taken as "keep one": the default holds, and the
// log says so for whoever wonders why the setting did nothing.
qint64 limitSetting(const QSettings& settings, const char* key, qint64 fallback, qint64 low,
                    qint64 high) {
    const QString name = QLatin1String(key);
    if (!settings.contains(name)) return fallback;
    const QString text = settings.value(name).toString().trimmed();
    bool digits = !text.isEmpty() && text.size() <= 18;
    for (const QChar c : text)
        digits = digits && c >= u'0' && c <= u'9';
    const qint64 value = digits ? text.toLongLong() : 0;
    if (digits && value >= low && value <= high) return value;
    qCWarning(lcJournal).noquote()
        << QStringLiteral("%1=%2 in %3 ignored: not a whole number from %4 to %5; keeping %6")
               .arg(name, text, settings.fileName())
               .arg(low)
               .arg(high)
               .arg(fallback);
    return fallback;
}

} // namespace

bool switchSetting(const QSettings& settings, const char* key, bool fallback) {
    const QString name = QLatin1String(key);
    if (!settings.contains(name)) return fallback;
    const QVariant value = settings.value(name);
    if (value.typeId() == QMetaType::Bool) return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    for (const char* yes : {"true", "yes", "on", "1"})
        if (text == QLatin1String(yes)) return true;
    for (const char* no : {"false", "no", "off", "0"})
        if (text == QLatin1String(no)) return false;
    qCWarning(lcJournal).noquote()
        << QStringLiteral("%1=%2 in %3 ignored: not one of true, yes, on, 1, false, no, off, 0; "
                          "keeping %4")
               .arg(name, value.toString(), settings.fileName(),
                    fallback ? QStringLiteral("true") : QStringLiteral("false"));
    return fallback;
}

QString JournalOptions::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/sessions");
}

JournalOptions JournalOptions::fromSettings() {
    QSettings settings;
    JournalOptions o;
    o.enabled = switchSetting(settings, "journal/enabled", o.enabled);
    // A settings file has no working folder of its own, and the one the
    // program happens to start in says nothing: a relative folder lies in the
    // application data place, beside the default one. "~" is the home folder,
    // as whoever wrote it meant.
    QString folder = settings.value(QStringLiteral("journal/folder")).toString();
    if (folder == u'~' || folder.startsWith(QStringLiteral("~/")))
        folder = QDir::homePath() + folder.mid(1);
    o.folder = folder.isEmpty()
                   ? defaultFolder()
                   : QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                         .filePath(folder);
    // Beyond these a limit no longer bounds anything: the line brings at most
    // 960 bytes a second, about 30 GB in a year of non-stop flood, and each
    // start lists every file. Below 1 MB, "200" was surely meant in MB.
    o.maxFiles = int(limitSetting(settings, "journal/maxFiles", o.maxFiles, 1, 100000));
    o.maxBytes = limitSetting(settings, "journal/maxBytes", o.maxBytes, 1000 * 1000,
                              100LL * 1000 * 1000 * 1000);
    return o;
}

Options Options::fromSettingsAndEnvironment() {
    return {{{}, PortSources::readEnvironment(), PortSources::readSaved()},
            JournalOptions::fromSettings(),
            {}};
}

std::variant<Options, int> readOptions(const QByteArrayList& arguments) {
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
    const QCommandLineOption openRecord(
        QStringLiteral("open"),
        QStringLiteral("Shows the session kept in the record <file> (a .jsonl file of the "
                       "sessions folder) in a window of its own; may be given more than once."),
        QStringLiteral("file"));
    parser.addOptions({help, version, listPorts, com1, com2, noJournal, journalDir, openRecord});

    const QString program = QFileInfo(QFile::decodeName(arguments.value(0))).fileName();
    const QStringList words = parserArguments(arguments);
    const QString versionText =
        program + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n');
    // helpText() names the program after the running application.
    switch (askedForAnswer(words)) {
    case Asked::Help:
        return answer(program, parser.helpText());
    case Asked::Version:
        return answer(program, versionText);
    case Asked::Nothing:
        break;
    }
    if (!parser.parse(words)) {
        print(stderr, program + QStringLiteral(": ") + shownArgumentText(parser.errorText()) +
                          QStringLiteral(" (see --help)\n"));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, program + QStringLiteral(": unexpected argument '") +
                          shownArgumentText(parser.positionalArguments().first()) +
                          QStringLiteral("' (see --help)\n"));
        return 2;
    }
    for (const QCommandLineOption* option : {&com1, &com2, &journalDir, &openRecord}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
            print(stderr, program + QStringLiteral(": --") + option->names().first() +
                              QStringLiteral(" needs a value (see --help)\n"));
            return 2;
        }
    }
    if (parser.isSet(help)) return answer(program, parser.helpText());
    if (parser.isSet(version)) return answer(program, versionText);
    Options options = Options::fromSettingsAndEnvironment();
    // The paths exactly as given, byte for byte.
    if (parser.isSet(com1)) options.ports.options[1] = parser.value(com1).toLatin1();
    if (parser.isSet(com2)) options.ports.options[2] = parser.value(com2).toLatin1();
    // After the bindings: the list marks the ports they bind.
    if (parser.isSet(listPorts))
        return answer(program, PortBindings(options.ports).describe(detectedPorts()));
    if (parser.isSet(noJournal)) options.journal.enabled = false;
    if (parser.isSet(journalDir))
        options.journal.folder = QFile::decodeName(parser.value(journalDir).toLatin1());
    for (const QString& file : parser.values(openRecord))
        options.records << QFile::decodeName(file.toLatin1());
    return options;
}

} // namespace krt
