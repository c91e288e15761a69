// The session journal (what it holds, how it fails, how the folder is kept in
// bounds) and the question "Clear memory" asks first.

#include "link/frame.h"
#include "link/receive.h"
#include "logview/colours.h"
#include "session/journal.h"
#include "session/recordreader.h"
#include "testsupport.h"

#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const QDateTime kStart(QDate(2026, 12, 8), QTime(16, 3, 12));
enum Trigger { AtStart, FullDisk, Removed };
enum Limits { Sane, Ignored, OldestLive };

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
QStringList entries(const QString& dir, const QString& filter = "*") {
    return QDir(dir).entryList({filter}, QDir::Files, QDir::Name);
}
QString recordOf(const QString& textFile) {
    return textFile.chopped(4) + ".jsonl";
}
static_assert(record::kDeviceColour == colour::Blue);
} // namespace

class TestJournal : public QObject {
    Q_OBJECT
    std::unique_ptr<FakeDevice> device;
    QTemporaryDir home;
    QString folder, file;        // the sessions folder, the first session's file
    krt::JournalOptions options; // what the data windows start their journal with

    QByteArray saved(RDData* w) { // what "Save mesures ..." writes now
        const QString target = home.filePath("saved.txt");
        platform::seams().saveFileName = [=](QWidget*, const QString&, const QString&) {
            return target;
        };
        clickOn(w->Command3);
        return contents(target);
    }

private slots:
    void init() {
        QSettings().clear();
        folder = home.filePath("sessions");
        file = folder + "/2026-12-08_16-03-12.txt";
        options = krt::JournalOptions();
        options.folder = folder;
        platform::seams().now = [] { return kStart; };
    }
    void cleanup() {
        unloadDataWindow();
        platform::resetSeams();
        QDir(folder).removeRecursively();
    }

    // Every byte value, a CR and an LF in two insertions, and a "Clear": the
    // journal is what two saves around the Clear would make one file of.
    void journalIsWhatSaveWritesHadNothingBeenCleared() {
        RDData* w = openDataWindowOn(device, options);
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QVERIFY(device->write(all));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith(QChar(0xFF)); }));
        clickOn(w->GetDate);
        const QByteArray before = saved(w);
        clickOn(w->Command5);
        w->append("A\r", colour::Black);
        w->append("\nB\n\rC\r\n", colour::Black);
        QVERIFY(device->write(all));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith(QChar(0xFF)); }));
        const QByteArray after = saved(w);
        w->close();
        QCOMPARE(contents(file), before.chopped(2) + after);
    }

    // Start-up's error lines are in the journal; a second session in the same
    // second gets a file of its own; "Quit" finishes a journal as closing
    // does; a silent session, or one without journal, leaves no file.
    void eachSessionItsOwnFile() {
        BeepCounter beeps;
        pointPortAtNothing(1);
        const QByteArray errors = krt::toWire(
            RDData::instance(std::make_shared<krt::PortBindings>(), krt::Options{{}, options, {}})
                ->Text1->text() +
            "\r\n");
        QVERIFY(errors.startsWith("Error #  "));
        unloadDataWindow();
        openDataWindowOn(device, options)->append("quit", colour::Black);
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        unloadDataWindow();
        openDataWindowOn(device, options);
        unloadDataWindow();
        options.enabled = false;
        openDataWindowOn(device, options)->append("off", colour::Black);
        unloadDataWindow();
        QCOMPARE(entries(folder),
                 QStringList({"2026-12-08_16-03-12-2.jsonl", "2026-12-08_16-03-12-2.txt",
                              recordOf(file).section('/', -1), file.section('/', -1)}));
        QCOMPARE(contents(file), errors);
        QCOMPARE(contents(folder + "/2026-12-08_16-03-12-2.txt"), QByteArray("quit\r\n"));
    }

    // A killed program leaves a prefix of what its field received, written by
    // the timer while the text poured in.
    void killedProgramLeavesAPrefix() {
        device = std::make_unique<FakeDevice>();
        device->attachAs(1);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--journal-child", folder});
        QVERIFY(child.waitForReadyRead(20000));
        QByteArray stream;
        for (int i = 0; stream.size() < 2 * 1024 * 1024; ++i)
            stream += QByteArray::number(i).rightJustified(8, '0') + " TIME 12:34:56.789 INPUT 1\r";
        const qsizetype half = stream.size() / 2;
        QVERIFY(device->write(stream.left(half)));
        QString sessionFile; // named by the child's own clock
        QVERIFY(waitUntil(
            [&] {
                sessionFile = folder + "/" + entries(folder, "*.txt").value(0);
                return QFileInfo(sessionFile).size() >= half / 2;
            },
            60000));
        QVERIFY(device->write(stream.mid(half, half / 2)));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QByteArray journal = contents(sessionFile);
        QVERIFY(journal.size() >= half / 2);
        QVERIFY(!journal.replace("\r\n", "").contains('\r') && !journal.contains('\n'));
        QVERIFY(stream.replace('\r', "").startsWith(journal));
        // The record beside it is whole lines but for at most a cut last one
        // (or still empty, had the kill come between the two writes).
        RecordReader record({});
        record.readAll(recordOf(sessionFile));
        QVERIFY2(record.refusal().isEmpty() ? record.skippedLines() == 0 ||
                                                  (record.skippedLines() == 1 &&
                                                   record.problems().first().contains("cut short"))
                                            : record.refusal() == "an empty file",
                 qPrintable(record.summary()));
    }

    // A session's record read back: every event as given, times to the
    // millisecond in a zone away from UTC, the device's text re-created from
    // its bytes; the text file just as add() alone makes it.
    void recordReadsBackAsWritten() {
        const qint64 t0 = QDateTime(kStart.date(), kStart.time(), Qt::UTC).toMSecsSinceEpoch();
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Paris");
        tzset();
        const auto restoreZone = qScopeGuard([&] {
            if (zone.isEmpty())
                qunsetenv("TZ");
            else
                qputenv("TZ", zone);
            tzset();
        });
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        const QString frame = krt::frameImage("QD") + "\r\n";
        const QString odd = QString(">> \u20AC\u00E9 \uFDD0x\r\n");
        const QList<std::pair<QString, int>> texts{{">> GET DATE <<\r\n", colour::Black},
                                                   {frame, colour::Red},
                                                   {transformChunk(all), colour::Blue},
                                                   {odd, colour::Black}};
        Journal journal(options, kStart);
        journal.setRecordHeader(1, "/dev/ttyS0", "9600,N,8,1", "1.2", t0);
        journal.start();
        journal.addPort(record::PortEvent::Opened, 1, "/dev/ttyS0", t0 + 1);
        journal.addField(texts[0].first, texts[0].second, t0 + 2);
        journal.addField(texts[1].first, texts[1].second, t0 + 2);
        journal.addWire(true, krt::buildFrame("QD"), t0 + 3);
        journal.addWire(false, all, t0 + 1004);
        journal.addField(texts[2].first, texts[2].second, t0 + 1004);
        journal.addPort(record::PortEvent::Lost, 1, "/dev/ttyS0", t0 + 5, 8002,
                        "Invalid port number");
        journal.addClear(t0 + 6);
        journal.addField(texts[3].first, texts[3].second, t0 + 7);
        journal.finish();
        QCOMPARE(journal.recordPath(), recordOf(file));

        QStringList log;
        RecordReader::Sink sink;
        sink.header = [&](const RecordReader::Header& h) {
            log << QString("header %1 %2 %3 %4 %5 %6")
                       .arg(h.version)
                       .arg(h.openedMs - t0)
                       .arg(h.program)
                       .arg(h.com)
                       .arg(h.device, h.settings);
        };
        sink.field = [&](const QString& text, int colour, qint64 t) {
            log << QString("field %1 %2 ").arg(colour).arg(t - t0) + text;
        };
        sink.wire = [&](bool sent, const QByteArray& bytes, qint64 t) {
            log << QString("%1 %2 ").arg(sent ? "sent" : "received").arg(t - t0) +
                       QString::fromLatin1(bytes.toHex());
        };
        sink.port = [&](const RecordReader::Port& p, qint64 t) {
            log << QString("port %1 %2 %3 %4 %5 %6")
                       .arg(record::portEventName(p.event))
                       .arg(t - t0)
                       .arg(p.com)
                       .arg(p.device)
                       .arg(p.errorNumber)
                       .arg(p.errorDescription);
        };
        sink.clear = [&](qint64 t) { log << QString("clear %1").arg(t - t0); };
        RecordReader reader(sink);
        QCOMPARE(reader.readAll(journal.recordPath()), QString());
        QCOMPARE(reader.summary(), QString("8 events read"));
        const QStringList expected{"header 1 0 1.2 1 /dev/ttyS0 9600,N,8,1",
                                   "port opened 1 1 /dev/ttyS0 0 ",
                                   "field 0 2 " + texts[0].first,
                                   "field 255 2 " + frame,
                                   "sent 3 " + QString::fromLatin1(krt::buildFrame("QD").toHex()),
                                   "received 1004 " + QString::fromLatin1(all.toHex()),
                                   "field 16711680 1004 " + texts[2].first,
                                   "port lost 5 1 /dev/ttyS0 8002 Invalid port number",
                                   "clear 6",
                                   "field 0 7 " + odd};
        QCOMPARE(log, expected);
        // The format itself: the first line and a received line word for word.
        const QList<QByteArray> lines = contents(journal.recordPath()).split('\n');
        QCOMPARE(lines.first(), "{\"record\":\"krt418-session\",\"version\":1,\"opened\":\"2026-12-"
                                "08T17:03:12.000+01:00\",\"program\":\"1.2\",\"com\":1,\"device\":"
                                "\"/dev/ttyS0\",\"settings\":\"9600,N,8,1\"}");
        QVERIFY(lines.value(5).startsWith("{\"t\":\"2026-12-08T17:03:13.004+01:00\",\"kind\":"
                                          "\"received\",\"bytes\":\"\\u0000\\u0001"));

        krt::JournalOptions plainOptions = options;
        plainOptions.folder = folder + "-plain";
        Journal plain(plainOptions, kStart);
        plain.start();
        for (const auto& [text, colour] : texts)
            plain.add(text);
        plain.finish();
        QCOMPARE(contents(file), contents(plain.filePath()));
        QDir(plainOptions.folder).removeRecursively();
    }

    // The record fails on its own: one line names it, and both files stop
    // where they were (a record cut by a full disk still reads).
    void recordFailureStopsBoth_data() {
        QTest::addColumn<int>("trigger");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("summary");
        QTest::newRow("disk full") << int(FullDisk) << "File too large"
                                   << "1 event read, 1 line skipped: line 3: cut short (the file "
                                      "ends inside it)";
        QTest::newRow("record removed") << int(Removed) << "the file was removed"
                                        << "No such file or directory";
    }
    void recordFailureStopsBoth() {
        QFETCH(int, trigger);
        QFETCH(QString, reason);
        QFETCH(QString, summary);
        const qint64 t0 = kStart.toMSecsSinceEpoch();
        Journal journal(options, kStart);
        QStringList lines;
        connect(&journal, &Journal::stopped, [&](const QString& line) { lines << line; });
        journal.start();
        journal.addField("first\r\n", colour::Black, t0);
        QVERIFY(waitUntil([&] { return QFileInfo(recordOf(file)).size() > 0; }));
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight{1024, before.rlim_max};
        QVERIFY(trigger == Removed ? QFile::remove(recordOf(file))
                                   : setrlimit(RLIMIT_FSIZE, &tight) == 0);
        journal.addWire(false, QByteArray(4000, 'x'), t0);
        journal.addField("second\r\n", colour::Black, t0);
        const bool stopped = waitUntil([&] { return !lines.isEmpty(); });
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(stopped);
        journal.addField("third\r\n", colour::Black, t0);
        journal.flush();
        journal.finish();
        QCOMPARE(lines,
                 QStringList(">> JOURNAL STOPPED: " + recordOf(file) + ": " + reason + " <<"));
        QCOMPARE(contents(file), "first\r\nsecond\r\n");
        RecordReader reader({});
        reader.readAll(recordOf(file));
        QCOMPARE(reader.summary(), summary);
    }

    void failureStopsTheJournalWithOneLine_data() {
        QTest::addColumn<int>("trigger");
        QTest::addColumn<QString>("sessions");
        QTest::addColumn<QString>("reason");
        QFile plain(home.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QTest::newRow("folder is a file") << int(AtStart) << plain.fileName() << "Not a directory";
        QVERIFY(QFile::link("/nonexistent/sessions", home.filePath("dangling")));
        QTest::newRow("folder is a dangling link")
            << int(AtStart) << home.filePath("dangling")
            << "a symbolic link to /nonexistent/sessions, which leads nowhere";
        // Root writes into any folder, but not into /sys.
        if (geteuid() == 0)
            QTest::newRow("no write") << int(AtStart) << "/sys/krt418"
                                      << "Operation not permitted";
        QVERIFY(QDir(home.path()).mkdir("locked"));
        QVERIFY(QFile::setPermissions(home.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
        if (geteuid() != 0)
            QTest::newRow("no write")
                << int(AtStart) << home.filePath("locked/s") << "Permission denied";
        // A file size limit stands in for the full disk, as in the save tests.
        QTest::newRow("disk full") << int(FullDisk) << QString() << "File too large";
        QTest::newRow("file removed") << int(Removed) << QString() << "the file was removed";
    }
    void failureStopsTheJournalWithOneLine() {
        QFETCH(int, trigger);
        QFETCH(QString, sessions);
        QFETCH(QString, reason);
        if (!sessions.isEmpty()) options.folder = sessions;
        RDData* w = openDataWindowOn(device, options);
        w->append("first\r\n", colour::Blue);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (trigger != AtStart) {
            QVERIFY(waitUntil([&] { return QFileInfo(file).size() == 7; }));
            rlimit tight{1024, before.rlim_max};
            QVERIFY(trigger == Removed ? QFile::remove(file)
                                       : setrlimit(RLIMIT_FSIZE, &tight) == 0);
        }
        w->append(QString(4000, 'x'), colour::Red);
        const bool stopped = waitUntil([&] { return w->Text1->text().contains("STOPPED"); });
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(stopped);
        // Black, on a line of its own; then nothing changes: the colour in
        // force, the window, what was on disk.
        const QString line = "[0]>> JOURNAL STOPPED: " + (sessions.isEmpty() ? file : sessions) +
                             ": " + reason + " <<\n";
        const QString shown = colouredText(w->Text1);
        QVERIFY2(trigger == AtStart ? shown.startsWith(line) : shown.endsWith("x\n" + line),
                 qPrintable(shown.right(200)));
        QCOMPARE(w->Text1->selColor(), colour::Red);
        QVERIFY(device->write("OK\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("OK\r\n"); }));
        w->close();
        QCOMPARE(w->Text1->text().count("JOURNAL"), 1);
        if (trigger == FullDisk) QCOMPARE(contents(file), "first\r\n" + QByteArray(1024 - 7, 'x'));
    }

    // Sizes (in 100 kB) newest first, of files whose names run the other way
    // round (the times decide) and "notes.txt", the oldest, which is not ours.
    // The limits as written in the settings file ("" leaves the default); one
    // that is not a whole number in range is ignored with a note, never taken
    // as "keep one". The live session of another copy is never deleted.
    void startUpKeepsTheFolderInBounds_data() {
        QTest::addColumn<QList<qint64>>("sizes");
        QTest::addColumn<QString>("maxFiles");
        QTest::addColumn<QString>("maxBytes");
        QTest::addColumn<QList<int>>("kept");
        QTest::addColumn<int>("limits");
        QTest::addColumn<bool>("pairs");
        using L = QList<qint64>;
        using K = QList<int>;
        // Each also as sessions of a text file and a record of half its size
        // each: a pair is one session of the sizes added.
        const auto row = [](const char* name, const L& sizes, const char* maxFiles,
                            const char* maxBytes, const K& kept, int limits) {
            QTest::newRow(name) << sizes << maxFiles << maxBytes << kept << limits << false;
            if (limits != Ignored)
                QTest::newRow(qPrintable(QString(name) + ", as pairs"))
                    << sizes << maxFiles << maxBytes << kept << limits << true;
        };
        row("in bounds", L{10, 20, 30}, "4", "6000000", K{0, 1, 2}, Sane);
        row("empty ones go and do not count", L{0, 1, 1, 1}, "3", "", K{1, 2}, Sane);
        row("the new session counts", L{1, 1, 1}, "3", "", K{0, 1}, Sane);
        row("too big: oldest first, small ones too", L{40, 50, 20, 1}, "", "10000000", K{0, 1},
            Sane);
        row("the newest stays, whatever its size", L{500, 10}, "", "10000000", K{0}, Sane);
        row("another copy's live session stays", L{1, 1, 1, 1}, "1", "", K{0, 3}, OldestLive);
        for (const char* v : {"-1", "0", "abc", "2.5", " ", "100001"})
            row(qPrintable(QString("maxFiles=") + v), L{1, 1, 1, 1}, v, "", K{0, 1, 2, 3}, Ignored);
        for (const char* v : {"-1", "lots", "1e12", "1000000000000", "200", "0x10"})
            row(qPrintable(QString("maxBytes=") + v), L{1, 1, 1, 1}, "", v, K{0, 1, 2, 3}, Ignored);
    }
    void startUpKeepsTheFolderInBounds() {
        QFETCH(QList<qint64>, sizes);
        QFETCH(QString, maxFiles);
        QFETCH(QString, maxBytes);
        QFETCH(QList<int>, kept);
        QFETCH(int, limits);
        QFETCH(bool, pairs);
        QVERIFY(QDir().mkpath(folder));
        QStringList names, expected{"notes.txt"};
        Journal other(options, kStart.addYears(-1)); // another copy, writing
        for (int age = 0; age <= sizes.size(); ++age) {
            const bool live = limits == OldestLive && age == sizes.size() - 1;
            if (live) {
                other.add("live");
                other.flush();
            }
            names << (age == sizes.size() ? "notes.txt"
                      : live              ? other.filePath().section('/', -1)
                                          : QString("2026-01-01_00-00-0%1.txt").arg(age));
            const qint64 size = age < sizes.size() ? sizes[age] * 100000 : 1;
            const bool twin = pairs && age < sizes.size() && !live;
            QFile f(folder + "/" + names[age]);
            QVERIFY(f.open(QIODevice::Append));
            QVERIFY(live || f.resize(twin ? size / 2 : size));
            QVERIFY(f.setFileTime(kStart.addDays(-age), QFileDevice::FileModificationTime));
            QFile record(folder + "/" + recordOf(names[age]));
            QVERIFY(!twin ||
                    (record.open(QIODevice::Append) && record.resize(size - size / 2) &&
                     record.setFileTime(kStart.addDays(-age), QFileDevice::FileModificationTime)));
        }
        for (int i : kept) {
            expected << names[i];
            if (pairs || names[i] == other.filePath().section('/', -1))
                expected << recordOf(names[i]);
        }
        expected.sort();
        QSettings settings;
        for (const auto& [key, value] :
             {std::pair{"journal/maxFiles", maxFiles}, {"journal/maxBytes", maxBytes}}) {
            if (value.isEmpty()) continue;
            settings.setValue(key, value);
            if (limits == Ignored)
                QTest::ignoreMessage(QtWarningMsg,
                                     QRegularExpression(QString("^%1=.* ignored").arg(key)));
        }
        settings.sync();
        options = krt::JournalOptions::fromSettings();
        options.folder = folder;
        openDataWindowOn(device, options);
        QCOMPARE(entries(folder), expected);
    }

    // journal/folder as written in the settings file; relative ones never
    // depend on where the program was started.
    void folderFromSettings_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("expected");
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QTest::newRow("none") << "" << data + "/sessions";
        QTest::newRow("absolute") << "/srv/krt 418"
                                  << "/srv/krt 418";
        QTest::newRow("relative") << "lab/sessions" << data + "/lab/sessions";
        QTest::newRow("home") << "~/sessions" << QDir::homePath() + "/sessions";
    }
    void folderFromSettings() {
        QFETCH(QString, setting);
        QFETCH(QString, expected);
        QSettings().setValue("journal/folder", setting);
        QCOMPARE(krt::JournalOptions::fromSettings().folder, expected);
    }

    // journal/enabled as a person writes it; what is no switch keeps it on.
    void switchFromSettings_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("enabled");
        for (const char* off : {"false", "no", "off", "0", " No ", "OFF"})
            QTest::newRow(off) << off << false;
        for (const char* on : {"true", "yes", "on", "1", "Yes"})
            QTest::newRow(on) << on << true;
        QTest::newRow("not a switch") << "maybe" << true;
    }
    void switchFromSettings() {
        QFETCH(QString, setting);
        QFETCH(bool, enabled);
        QSettings().setValue("journal/enabled", setting);
        if (setting == u"maybe")
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^journal/enabled=maybe in .* "
                                                                  "ignored.*keeping true$"));
        QCOMPARE(krt::JournalOptions::fromSettings().enabled, enabled);
    }

    // The real question: only Y sends; No is the default and Escape is No.
    void clearMemoryAsksFirst_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Y") << int(Qt::Key_Y);
        QTest::newRow("N") << int(Qt::Key_N);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void clearMemoryAsksFirst() {
        QFETCH(int, key);
        RDData* w = openDataWindowOn(device, options);
        QString shown;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                answer.stop();
                shown = box->windowTitle() + "|" + box->text();
                QTest::keyClick(box, Qt::Key(key));
            }
        });
        answer.start(10);
        clickOn(w->ClearMemory);
        QCOMPARE(shown, QString("Clear memory|Erase every time stored in the KRT 418?"));
        QCOMPARE(device->readAtLeast(5, 200), key == Qt::Key_Y ? krt::buildFrame("CC") : "");
        // Every other button stays one click.
        clickOn(w->SetDefaults);
        QCOMPARE(device->readAtLeast(5), krt::buildFrame("CD"));
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--journal-child") == 0) {
        // The data window alone, as the program runs it, until it is killed.
        QApplication app(argc, argv);
        QStandardPaths::setTestModeEnabled(true);
        krt::Options options = krt::Options::fromSettingsAndEnvironment();
        options.journal.folder = QString::fromLocal8Bit(argv[2]);
        RDData::instance(std::make_shared<krt::PortBindings>(), options)->show();
        std::puts("ready");
        std::fflush(stdout);
        return app.exec();
    }
    QApplication app(argc, argv);
    TestJournal test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journal.moc"
