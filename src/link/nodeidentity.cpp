#include "link/nodeidentity.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#else
#include <QFile>
#include <QFileInfo>
#endif

namespace krt {

#ifdef Q_OS_UNIX
namespace {
NodeIdentity identityOf(const struct stat& s) {
    return {quint64(s.st_dev), quint64(s.st_ino), quint64(s.st_rdev),
            qint64(s.st_ctim.tv_sec) * 1'000'000'000 + s.st_ctim.tv_nsec};
}
} // namespace

std::optional<NodeIdentity> nodeIdentity(const QByteArray& path) {
    struct stat s {};
    if (path.isEmpty() || ::stat(path.constData(), &s) != 0) return std::nullopt;
    return identityOf(s);
}

std::optional<NodeIdentity> nodeIdentityOf(const QSerialPort& port) {
    const int handle = port.handle();
    struct stat s {};
    if (handle < 0 || ::fstat(handle, &s) != 0) return std::nullopt;
    return identityOf(s);
}
#else
// Elsewhere a device that comes back is told by its name alone: every node
// that exists looks the same.
std::optional<NodeIdentity> nodeIdentity(const QByteArray& path) {
    if (!QFileInfo::exists(QFile::decodeName(path))) return std::nullopt;
    return NodeIdentity{};
}
std::optional<NodeIdentity> nodeIdentityOf(const QSerialPort&) {
    return std::nullopt;
}
#endif

} // namespace krt
