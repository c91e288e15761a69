#pragma once
// Names from outside (file names, device paths) as they are written into the
// data field and into error texts: a name may hold any character, and a line
// feed or another control character written raw would break the log's line.

#include <QByteArray>
#include <QString>

namespace krt {

// The name with every control character (C0, DEL and C1) spelled out: "\n",
// "\r", "\t", and "\xHH" for the others. Everything else stays as it is.
QString shownName(const QString& name);

// A name kept as the bytes the system uses (a device path): valid UTF-8 is
// shown as text, with control characters spelled out as above; each byte that
// is not part of valid UTF-8 is shown as "\xHH".
QString shownName(const QByteArray& systemName);

} // namespace krt
