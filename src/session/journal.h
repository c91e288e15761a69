#pragma once
// The session journal: every text the data field receives, on disk, in the
// form "Save mesures ..." writes (one byte a character, every line end CR LF),
// including what "Clear" later removes. One file per data window session,
// named by its start time, in a "sessions" folder kept within bounds.
//
// Text is buffered and written by a one-second timer that runs only while
// text is waiting, so a killed process loses at most the last second and an
// idle line costs no wake-ups. A failure stops the journal for the session
// and is told once through stopped(); it never blocks or raises a dialog.
// It takes text from whatever it is connected to (the data window connects
// its field's insertions) and needs nothing beyond Qt Core.
//
// Beside each text file it keeps the session's record (the same name with
// ".jsonl", format in recordformat.h): what went over the wire, what went
// into the field, the port's changes, each with its time. The two files are
// one session: created together, written by the same timer (the record in
// whole lines), counted once by retention, locked and deleted together, and
// one failure of either stops both with one line.

#include "session/options.h"
#include "session/recordformat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class Journal : public QObject {
    Q_OBJECT
public:
    // What the retention rule looks at in a session file.
    struct FileInfo {
        QString name;
        qint64 size = 0;
        QDateTime modified;
    };
    // The session files to delete so that at most maxFiles and maxBytes in
    // all are left: empty files, then the oldest beyond the limits. The
    // newest non-empty session is always kept, whatever its size: it is the
    // one an operator looks for after a crash.
    static QStringList filesToDelete(QList<FileInfo> files, int maxFiles, qint64 maxBytes);
    // Whether a file name is one of ours ("yyyy-MM-dd_HH-mm-ss.txt" or
    // ".jsonl", perhaps with "-2", "-3"... before it); nothing else in the
    // folder is touched.
    static bool isSessionFileName(const QString& name);
    // Applies filesToDelete to the sessions in the folder, a text file and
    // its record counted as one session of their sizes added, and the older
    // of their times. A session another running copy is writing stays, both
    // its files (each copy locks its own).
    static void keepInBounds(const QString& folder, int maxFiles, qint64 maxBytes);

    // A journal for the session that started at the given time, in
    // options.folder.
    Journal(const krt::JournalOptions& options, const QDateTime& start, QObject* parent = nullptr);
    ~Journal() override;
    // Keeps the folder in bounds, leaving room for this session's file within
    // maxFiles, and creates it; the file itself is created
    // only once there is text for it, so a session that receives nothing
    // leaves nothing.
    void start();

    // Text inserted at the end of the field: the text file only.
    void add(const QString& inserted);

    // What the record's first line says. Called before the first event;
    // once the record is on disk, later calls change nothing. Until then
    // the header holds the start time, the application's version, COM 0 and
    // empty device and settings.
    void setRecordHeader(int com, const QString& device, const QString& settings,
                         const QString& program, qint64 openedMs);
    // Text inserted at the end of the field in a colour: the text file as
    // add() has it, and a field event in the record, except for the
    // device's own colour (record::kDeviceColour), whose text the record
    // holds as the received bytes (see addWire).
    void addField(const QString& text, int colour, qint64 timeMs);
    // Bytes written to the port or read from it, each read as one chunk, in
    // the order the field takes their text: a reader puts the text of a
    // received chunk where its event stands.
    void addWire(bool sent, QByteArrayView bytes, qint64 timeMs);
    // The port opened, closed, lost or opened again; errorNumber 0 when no
    // error goes with it.
    void addPort(record::PortEvent event, int com, const QString& device, qint64 timeMs,
                 int errorNumber = 0, const QString& errorDescription = QString());
    // The operator cleared the field.
    void addClear(qint64 timeMs);
    // Writes what is waiting now.
    void flush();
    // The end of the session: writes what is waiting and the final CR LF.
    // A session that wrote nothing leaves no file. Later calls do nothing.
    void finish();

    bool isRunning() const { return running_; }
    // The session's file (empty until it is created).
    QString filePath() const { return file_.fileName(); }
    // The session's record, created with the file.
    QString recordPath() const { return record_.fileName(); }

signals:
    // The journal stopped for this session; the line to show says why.
    void stopped(const QString& line);

private:
    // The text as the field keeps it, as a save writes it: CR, LF and CR LF
    // each one line end (CR LF), every other character one byte. Each
    // insertion is taken on its own, as the field takes it: a CR ending one
    // and an LF starting the next are two line ends.
    static void appendFileBytes(QByteArray& out, const QString& inserted);
    void stop(const QString& where, const QString& reason);
    bool createFiles();
    void addRecordLine(const QByteArray& line);
    bool writeAll(QFile& file, QByteArray& bytes, qint64& written);
    void closeFiles();

    QString folder_;
    QString baseName_;
    int maxFiles_ = 0;
    qint64 maxBytes_ = 0;
    QByteArray pending_;
    QTimer writeTimer_;
    QFile file_;
    bool running_ = true;
    bool finished_ = false;
    qint64 written_ = 0;
    QFile record_;
    QByteArray recordHeader_;
    QByteArray recordPending_;
    qint64 recordWritten_ = 0;
};
