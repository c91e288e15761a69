#include "platform/regularfile.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

QString notRegular(const char* kind) {
    return QString::fromLatin1(kind) + QStringLiteral(", not a regular file");
}

} // namespace

#ifdef Q_OS_WIN
// A name may stand for a device (COM1, CON, NUL) or a named pipe: only a file
// on a disk is read. Opening a pipe does not wait on Windows, nor does asking
// the open handle what it is.
QString openRegularFile(const QString& fileName, QFile& file) {
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return notRegular(info.isDir() ? "a directory" : "something else");
    const QString native = QDir::toNativeSeparators(fileName);
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t*>(native.utf16()),
                                        GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return qt_error_string(int(::GetLastError()));
    const DWORD type = ::GetFileType(handle);
    if (type != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return notRegular(type == FILE_TYPE_CHAR   ? "a device"
                          : type == FILE_TYPE_PIPE ? "a pipe"
                                                   : "something else");
    }
    // The descriptor owns the handle from here on: closing it closes both.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return qt_error_string(errno);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        return file.errorString();
    }
    return QString();
}
#else
namespace {

QString systemError() {
    return qt_error_string(errno);
}

QString notRegular(mode_t mode) {
    return notRegular(S_ISDIR(mode)                    ? "a directory"
                      : S_ISFIFO(mode)                 ? "a FIFO"
                      : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                      : S_ISSOCK(mode)                 ? "a socket"
                                                       : "something else");
}

} // namespace

QString openRegularFile(const QString& fileName, QFile& file) {
    const QByteArray path = QFile::encodeName(fileName);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) return systemError();
    if (!S_ISREG(info.st_mode)) return notRegular(info.st_mode);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return systemError();
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notRegular(info.st_mode);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return QString();
}
#endif

} // namespace platform
