#include "session/journal.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/stat.h>
#endif

namespace {

const char* const kNameFormat = "yyyy-MM-dd_HH-mm-ss";

// The system's own words for the last failure: QFile may only say "Unknown
// error" where the system said "No space left on device".
QString lastErrorText(const QFile& file, int savedErrno) {
    if (savedErrno != 0) return QString::fromLocal8Bit(std::strerror(savedErrno));
    return file.errorString();
}

// Creates the folder and its missing parents one by one, so that the
// reason given is the one of the level that failed. Empty on success.
QString makeFolder(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) return QString();
    // A link whose target is missing (an unmounted disk, a moved folder):
    // mkdir would only say "File exists", and creating the target would put
    // the journal where nobody looks for it.
    if (info.isSymLink() && !info.exists())
        return QStringLiteral("a symbolic link to %1, which leads nowhere")
            .arg(QDir::toNativeSeparators(info.symLinkTarget()));
    if (info.exists()) return QString::fromLocal8Bit(std::strerror(ENOTDIR));
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath()) {
        const QString failure = makeFolder(parent);
        if (!failure.isEmpty()) return failure;
    }
    errno = 0;
    if (QDir().mkdir(path)) return QString();
    const int e = errno;
    return e != 0 ? QString::fromLocal8Bit(std::strerror(e)) : QStringLiteral("cannot create it");
}

// Two copies may share the folder. Each holds an advisory lock on its own
// session file for as long as it writes it, and retention deletes only files
// it could lock itself. The kernel drops a flock lock when its holder ends,
// however it ends, so a killed copy leaves no stale lock (a lock file beside
// the session would). Unlike an fcntl lock, a flock lock belongs to the open
// file, so our own retention opening and closing a file cannot drop it. On
// Windows the system itself refuses to delete a file another process holds
// open (Qt opens files without delete sharing).
//
// Takes the lock on the open file and says whether another holds it. A file
// system without locks holds none: the journal still works there.
bool heldByAnother(const QFile& file) {
#ifdef Q_OS_UNIX
    return ::flock(file.handle(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
#else
    Q_UNUSED(file);
    return false;
#endif
}

// Whether the open file is still the one its name leads to: not deleted, nor
// deleted and replaced by a file of the same name.
bool stillNamed(const QFile& file) {
#ifdef Q_OS_UNIX
    struct stat open {};
    struct stat named {};
    return ::fstat(file.handle(), &open) == 0 &&
           ::stat(QFile::encodeName(file.fileName()).constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
#else
    return QFileInfo::exists(file.fileName());
#endif
}

// A session another copy is writing stays. On POSIX systems the name goes
// while our lock is held (QFile::remove() on the open file would drop it
// first). On Windows no file of ours is opened for it: a file open without
// delete sharing cannot be deleted, ours no more than another copy's.
void removeUnlessHeld(const QString& path) {
#ifdef Q_OS_WIN
    QFile::remove(path);
#else
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && !heldByAnother(file)) QFile::remove(file.fileName());
#endif
}

} // namespace

bool Journal::isSessionFileName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(-\\d+)?\\.txt$"));
    return pattern.match(name).hasMatch();
}

QStringList Journal::filesToDelete(QList<FileInfo> files, int maxFiles, qint64 maxBytes) {
    std::sort(files.begin(), files.end(), [](const FileInfo& a, const FileInfo& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.name > b.name;
    });
    QStringList doomed;
    int kept = 0;
    qint64 total = 0;
    bool full = false; // once a session does not fit, no older one is kept
    for (const FileInfo& f : files) {
        if (f.size == 0) {
            doomed << f.name;
            continue;
        }
        full = full || (kept > 0 && (kept >= maxFiles || total + f.size > maxBytes));
        if (full) {
            doomed << f.name;
            continue;
        }
        ++kept;
        total += f.size;
    }
    return doomed;
}

void Journal::keepInBounds(const QString& folder, int maxFiles, qint64 maxBytes) {
    const QDir dir(folder);
    QList<FileInfo> files;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden)) {
        if (isSessionFileName(info.fileName()))
            files.append({info.fileName(), info.size(), info.lastModified()});
    }
    for (const QString& name : filesToDelete(files, maxFiles, maxBytes)) {
        removeUnlessHeld(dir.filePath(name));
    }
}

void Journal::appendFileBytes(QByteArray& out, const QString& inserted) {
    const qsizetype n = inserted.size();
    const QChar* text = inserted.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        // The breaks the field makes of an insertion (its paragraph and frame
        // marks never come from a byte, but they break a line all the same).
        if (u == u'\r' || u == u'\n' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) {
            out.append("\r\n", 2);
            if (u == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        } else {
            // As krt::toWire has it: what is not Latin-1 goes out as '?'.
            out.append(u <= 0xFF ? char(u) : '?');
        }
    }
}

Journal::Journal(const krt::JournalOptions& options, const QDateTime& start, QObject* parent)
    : QObject(parent),
      // --journal-dir is relative to the folder the program started in, as
      // any path on a command line.
      folder_(QFileInfo(options.folder.isEmpty() ? krt::JournalOptions::defaultFolder()
                                                 : options.folder)
                  .absoluteFilePath()),
      baseName_(start.toString(QString::fromLatin1(kNameFormat))), maxFiles_(options.maxFiles),
      maxBytes_(options.maxBytes) {
    writeTimer_.setSingleShot(true);
    writeTimer_.setInterval(1000);
    // Text must be on disk within the second: a coarse timer may fire late.
    writeTimer_.setTimerType(Qt::PreciseTimer);
    connect(&writeTimer_, &QTimer::timeout, this, &Journal::flush);
}

void Journal::start() {
    // Room for the session starting now: maxFiles counts it too.
    keepInBounds(folder_, maxFiles_ - 1, maxBytes_);
    const QString failure = makeFolder(folder_);
    if (!failure.isEmpty()) stop(folder_, failure);
}

Journal::~Journal() {
    finish();
}

void Journal::add(const QString& inserted) {
    if (!running_ || inserted.isEmpty()) return;
    appendFileBytes(pending_, inserted);
    if (!writeTimer_.isActive()) writeTimer_.start();
}

bool Journal::createFile() {
    // A name already taken (two sessions in one second, a clock set back)
    // gets a number rather than being written over.
    const QDir dir(folder_);
    for (int n = 1; n < 1000; ++n) {
        const QString name = baseName_ + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) +
                             QStringLiteral(".txt");
        file_.setFileName(dir.filePath(name));
        // Unbuffered: what write() accepted is with the system, and survives
        // the process being killed.
        errno = 0;
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            // Between the open and the lock another copy's retention may have
            // taken the new empty file for a dead one: then try the next name.
            if (!heldByAnother(file_) && stillNamed(file_)) return true;
            file_.close();
            continue;
        }
        const int e = errno;
        if (!QFileInfo::exists(file_.fileName())) {
            stop(file_.fileName(), lastErrorText(file_, e));
            return false;
        }
    }
    stop(dir.filePath(baseName_ + QStringLiteral(".txt")), QStringLiteral("no free file name"));
    return false;
}

void Journal::flush() {
    writeTimer_.stop();
    if (!running_ || pending_.isEmpty()) return;
    if (!file_.isOpen() && !createFile()) return;
    // Writing on into a file that was deleted would lose everything from here on.
    if (!stillNamed(file_)) {
        stop(file_.fileName(), QStringLiteral("the file was removed"));
        return;
    }
    qsizetype done = 0;
    while (done < pending_.size()) {
        errno = 0;
        const qint64 n = file_.write(pending_.constData() + done, pending_.size() - done);
        if (n <= 0) {
            stop(file_.fileName(), lastErrorText(file_, errno));
            return;
        }
        done += n;
        written_ += n;
    }
    pending_.clear();
}

void Journal::finish() {
    if (finished_) return;
    finished_ = true;
    if (running_ && written_ + pending_.size() > 0) {
        pending_ += "\r\n";
        flush();
    }
    writeTimer_.stop();
    pending_.clear();
    running_ = false;
    if (file_.isOpen()) {
        file_.close();
        if (written_ == 0) file_.remove();
    }
}

void Journal::stop(const QString& where, const QString& reason) {
    running_ = false;
    writeTimer_.stop();
    pending_.clear();
    if (file_.isOpen()) {
        file_.close();
        if (written_ == 0) file_.remove();
    }
    // At the end of the session there is nobody left to tell.
    if (finished_) return;
    emit stopped(QStringLiteral(">> JOURNAL STOPPED: ") + QDir::toNativeSeparators(where) +
                 QStringLiteral(": ") + reason + QStringLiteral(" <<"));
}
