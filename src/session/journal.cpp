#include "session/journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/stat.h>
#endif

namespace {

const char* const kNameFormat = "yyyy-MM-dd_HH-mm-ss";
// Record events wait for the session's first text (a session that receives
// nothing leaves no file), but not beyond this.
const qsizetype kRecordWaitBytes = 1 << 20;

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

// A session another copy is writing stays, all its files. On POSIX systems
// the names go while our locks are held (QFile::remove() on the open file
// would drop them first). On Windows no file of ours is opened for it: a file
// open without delete sharing cannot be deleted, ours no more than another
// copy's, and a pair half deleted is still one session to retention.
void removeUnlessHeld(const QStringList& paths) {
#ifdef Q_OS_WIN
    for (const QString& path : paths)
        QFile::remove(path);
#else
    std::vector<std::unique_ptr<QFile>> files;
    for (const QString& path : paths) {
        files.push_back(std::make_unique<QFile>(path));
        if (!files.back()->open(QIODevice::ReadOnly) || heldByAnother(*files.back())) return;
    }
    for (const auto& file : files)
        QFile::remove(file->fileName());
#endif
}

// A file we created and no longer want: its name goes if it is still ours.
void dropOwn(QFile& file) {
    const bool ours = stillNamed(file);
#ifdef Q_OS_WIN
    file.close();
    if (ours) QFile::remove(file.fileName());
#else
    if (ours) QFile::remove(file.fileName());
    file.close();
#endif
}

// Creates `name` for the session and locks it. Taken: the name is in use, or
// another copy's retention took the new file away; try the next one.
enum class Claim { Claimed, Taken, Failed };
Claim claim(QFile& file, const QString& name, QString& failure) {
    file.setFileName(name);
    // Unbuffered: what write() accepted is with the system, and survives
    // the process being killed.
    errno = 0;
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        // Between the open and the lock another copy's retention may have
        // taken the new empty file for a dead one.
        if (!heldByAnother(file) && stillNamed(file)) return Claim::Claimed;
        file.close();
        return Claim::Taken;
    }
    const int e = errno;
    if (QFileInfo::exists(name)) return Claim::Taken;
    failure = lastErrorText(file, e);
    return Claim::Failed;
}

} // namespace

bool Journal::isSessionFileName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(-\\d+)?\\.(txt|jsonl)$"));
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
    // A session by its name without extension: its text file and its record.
    QMap<QString, FileInfo> sessions;
    QMap<QString, QStringList> members;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden)) {
        if (!isSessionFileName(info.fileName())) continue;
        const QString base = info.completeBaseName();
        FileInfo& session = sessions[base];
        session.name = base;
        session.size += info.size();
        const QDateTime modified = info.lastModified();
        if (!session.modified.isValid() || modified < session.modified) session.modified = modified;
        members[base] << info.absoluteFilePath();
    }
    for (const QString& name : filesToDelete(sessions.values(), maxFiles, maxBytes)) {
        removeUnlessHeld(members.value(name));
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
      maxBytes_(options.maxBytes),
      recordHeader_(record::headerLine(start.toMSecsSinceEpoch(),
                                       QCoreApplication::applicationVersion(), 0, QString(),
                                       QString())) {
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

void Journal::setRecordHeader(int com, const QString& device, const QString& settings,
                              const QString& program, qint64 openedMs) {
    if (record_.isOpen()) return;
    recordHeader_ = record::headerLine(openedMs, program, com, device, settings);
}

void Journal::addRecordLine(const QByteArray& line) {
    if (!running_) return;
    recordPending_ += line;
    if (!writeTimer_.isActive()) writeTimer_.start();
}

void Journal::addField(const QString& text, int colour, qint64 timeMs) {
    if (!running_ || text.isEmpty()) return;
    add(text);
    if (colour != record::kDeviceColour) addRecordLine(record::fieldLine(text, colour, timeMs));
}

void Journal::addWire(bool sent, QByteArrayView bytes, qint64 timeMs) {
    if (bytes.isEmpty()) return;
    addRecordLine(record::wireLine(sent, bytes, timeMs));
}

void Journal::addPort(record::PortEvent event, int com, const QString& device, qint64 timeMs,
                      int errorNumber, const QString& errorDescription) {
    addRecordLine(record::portLine(event, com, device, errorNumber, errorDescription, timeMs));
}

void Journal::addClear(qint64 timeMs) {
    addRecordLine(record::clearLine(timeMs));
}

bool Journal::createFiles() {
    // A name already taken (two sessions in one second, a clock set back)
    // gets a number rather than being written over; a session's text file
    // and record share the number.
    const QDir dir(folder_);
    QString failure;
    for (int n = 1; n < 1000; ++n) {
        const QString base =
            dir.filePath(baseName_ + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)));
        const Claim text = claim(file_, base + QStringLiteral(".txt"), failure);
        if (text == Claim::Failed) {
            stop(file_.fileName(), failure);
            return false;
        }
        if (text == Claim::Taken) continue;
        const Claim rec = claim(record_, base + QStringLiteral(".jsonl"), failure);
        if (rec == Claim::Claimed) {
            recordPending_.prepend(recordHeader_);
            return true;
        }
        dropOwn(file_);
        if (rec == Claim::Failed) {
            stop(record_.fileName(), failure);
            return false;
        }
    }
    stop(dir.filePath(baseName_ + QStringLiteral(".txt")), QStringLiteral("no free file name"));
    return false;
}

void Journal::flush() {
    writeTimer_.stop();
    if (!running_) return;
    if (!file_.isOpen()) {
        if (pending_.isEmpty() && recordPending_.size() < kRecordWaitBytes) return;
        if (!createFiles()) return;
    }
    // The text first: its failure is the one its readers know.
    if (writeAll(file_, pending_, written_)) writeAll(record_, recordPending_, recordWritten_);
}

bool Journal::writeAll(QFile& file, QByteArray& bytes, qint64& written) {
    if (bytes.isEmpty()) return true;
    // Writing on into a file that was deleted would lose everything from here on.
    if (!stillNamed(file)) {
        stop(file.fileName(), QStringLiteral("the file was removed"));
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        errno = 0;
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            stop(file.fileName(), lastErrorText(file, errno));
            return false;
        }
        done += n;
        written += n;
    }
    bytes.clear();
    return true;
}

void Journal::finish() {
    if (finished_) return;
    finished_ = true;
    if (running_) {
        if (written_ + pending_.size() > 0) pending_ += "\r\n";
        flush();
    }
    writeTimer_.stop();
    pending_.clear();
    recordPending_.clear();
    running_ = false;
    closeFiles();
}

void Journal::closeFiles() {
    // A session that wrote nothing but the record's header leaves no file.
    const bool nothing = written_ == 0 && recordWritten_ <= recordHeader_.size();
    for (QFile* file : {&file_, &record_}) {
        if (!file->isOpen()) continue;
        file->close();
        if (nothing) file->remove();
    }
}

void Journal::stop(const QString& where, const QString& reason) {
    running_ = false;
    writeTimer_.stop();
    pending_.clear();
    recordPending_.clear();
    closeFiles();
    // At the end of the session there is nobody left to tell.
    if (finished_) return;
    emit stopped(QStringLiteral(">> JOURNAL STOPPED: ") + QDir::toNativeSeparators(where) +
                 QStringLiteral(": ") + reason + QStringLiteral(" <<"));
}
