#pragma once
// What a file a user chose is, before anything reads it.

#include <QString>

class QFile;

namespace platform {

// Opens `fileName` into `file` for reading when it is a regular file, and
// refuses anything else: a FIFO without a writer would block in open(), a
// terminal in read(), and nothing may hold up the user-interface thread. The
// file is checked by name, opened without waiting, and checked again once
// open, in case the name now stands for something else. Returns the reason
// for a refusal ("a directory, not a regular file", or the system's words),
// or an empty string when `file` is open.
QString openRegularFile(const QString& fileName, QFile& file);

} // namespace platform
