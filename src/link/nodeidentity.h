#pragma once
// Which file a path names at a moment: a device node removed and made anew
// under the same name (an adapter or emulator back within a moment, with
// the same /dev path) is another node, though its path is the same.

#include <QByteArray>
#include <QSerialPort>
#include <QtGlobal>

#include <optional>

namespace krt {

struct NodeIdentity {
    quint64 fileSystem = 0;
    quint64 inode = 0;
    quint64 device = 0;   // the device number of a device node
    qint64 changedNs = 0; // status change time, set when the node is made

    bool operator==(const NodeIdentity& other) const {
        return fileSystem == other.fileSystem && inode == other.inode && device == other.device &&
               changedNs == other.changedNs;
    }
    bool operator!=(const NodeIdentity& other) const { return !(*this == other); }
};

// The node a path leads to now; nothing when there is none.
std::optional<NodeIdentity> nodeIdentity(const QByteArray& path);
// The node an open port stands on. Its native handle is a file descriptor on
// POSIX systems; elsewhere (a HANDLE on Windows) nothing is told.
std::optional<NodeIdentity> nodeIdentityOf(const QSerialPort& port);

} // namespace krt
