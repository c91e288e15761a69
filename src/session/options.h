#pragma once
// What the program is started with: the command line, the environment and
// the settings, read once into one plain value that the shell hands down to
// what needs it (the port bindings, the journal). A new option is one field
// here and its reading in options.cpp.

#include "link/portbinding.h"

#include <QByteArrayList>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <variant>

namespace krt {

struct JournalOptions {
    bool enabled = true;
    QString folder; // where the session files go
    int maxFiles = 200;
    qint64 maxBytes = 200LL * 1000 * 1000;

    // The platform's application data place + "/sessions".
    static QString defaultFolder();
    // From the settings "journal/enabled", "journal/folder" (a relative
    // one taken inside the application data place), "journal/maxFiles"
    // and "journal/maxBytes", each with its default. A limit that is not a
    // whole number in range is ignored, with a warning in the log.
    static JournalOptions fromSettings();
};

// A switch from the settings, as a person writes one: true, yes, on, 1 or
// false, no, off, 0, in any case. Anything else keeps the default, and the
// log says so, as for the limits.
bool switchSetting(const QSettings& settings, const char* key, bool fallback);

struct Options {
    PortSources ports;
    JournalOptions journal;
    // Session records to show at start (--open), each in a window of its own.
    QStringList records;

    // The settings and the environment as they are now, no command line.
    static Options fromSettingsAndEnvironment();
};

// Reads the command line (the program's name first, as the system's bytes)
// over the settings and the environment. Qt's own options (-style,
// -platform, -display ...) are left to the toolkit.
// Returns the options when the windows should open, or the exit status when
// the program has nothing more to do: 0 after --help, --version or
// --list-ports (1 when their answer could not be written, with a message on
// stderr), 2 after a bad option or a missing value (with a one-line message
// on stderr). --help and --version win over everything else on the line,
// wherever they stand (before a "--"), a bad option or a missing value
// included; --help over --version.
std::variant<Options, int> readOptions(const QByteArrayList& arguments);

} // namespace krt
