#pragma once
// The program's command line: read before any window opens.

#include <QStringList>

#include <optional>

namespace krt {

// Reads the options in `arguments` (the program's name first). Options that
// bind ports take effect for this run. Returns the exit status when the
// program has nothing more to do: 0 after --help, --version or
// --list-ports, 2 after a bad option or a missing value (with a one-line
// message on stderr). Returns nothing when the windows should open.
std::optional<int> handleCommandLine(const QStringList& arguments);

} // namespace krt
