#pragma once
// The program's command line: read before any window opens.

#include "link/portbinding.h"

#include <QByteArrayList>

#include <optional>

namespace krt {

// Reads the options in `arguments` (the program's name first), as the
// system's bytes. Options that bind ports take effect for this run; Qt's own
// options (-style, -platform, -display ...) are left to the toolkit.
// Returns the exit status when the program has nothing more to do: 0 after
// --help, --version or --list-ports (1 when their answer could not be
// written, with a message on stderr), 2 after a bad option or a missing value
// (with a one-line message on stderr). Returns nothing when the windows
// should open.
// The port options go into `ports`.
std::optional<int> handleCommandLine(const QByteArrayList& arguments, PortSources& ports);

} // namespace krt
