// The session journal (what it holds, how it fails, how the folder is kept in
// bounds) and the question "Clear memory" asks first.

#include "datawindow/colours.h"
#include "datawindow/journal.h"
#include "fakedevice.h"
#include "link/frame.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QDateTime kStart(QDate(2026, 12, 8), QTime(16, 3, 12));

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

// The line the journal shows when it stops, and nothing after it.
QString stopLine(const RichTextField* field) {
    const QString text = field->text();
    const qsizetype at = text.indexOf(QLatin1String(">> JOURNAL STOPPED: "));
    return at < 0 ? QString() : text.mid(at, text.indexOf(QLatin1String("\r\n"), at) - at);
}

// The data window, run by itself until it is killed (see killedProgramLeavesAPrefix).
int runJournalChild(int argc, char** argv) {
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    Journal::options().folder = QString::fromLocal8Bit(argv[2]);
    RDData::instance()->show();
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDevice> device;
    QTemporaryDir home;
    QString folder;

    // What "Save mesures ..." writes now.
    QByteArray saved(RDData* w) {
        const QString file = home.filePath("saved.txt");
        platform::seams().saveFileName = [file](QWidget*, const QString&, const QString&) {
            return file;
        };
        clickOn(w->Command3);
        return contents(file);
    }

    QString sessionFile(const QString& name = "2026-12-08_16-03-12.txt") {
        return QDir(folder).filePath(name);
    }

private slots:
    void init() {
        folder = home.filePath("sessions");
        Journal::options() = Journal::Options();
        Journal::options().folder = folder;
        platform::seams().now = [] { return kStart; };
    }

    void cleanup() {
        unloadDataWindow();
        device.reset();
        platform::resetSeams();
        QDir(folder).removeRecursively();
        QFile::setPermissions(home.filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // --- What the journal holds ---------------------------------------------

    // Every byte value from the device, our own lines, a CR and an LF in two
    // insertions and a "Clear" in the middle: the journal is what two saves
    // would have made one file of.
    void journalIsWhatSaveWritesHadNothingBeenCleared() {
        RDData* w = openDataWindowOn(device);
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QVERIFY(device->write(all));
        QVERIFY(waitUntil([&] { return w->Text1->text().contains(QChar(0xFF)); }));
        clickOn(w->GetDate);
        const QByteArray before = saved(w);

        clickOn(w->Command5);
        w->append(QStringLiteral("A\r"), colour::Black);
        w->append(QStringLiteral("\nB\n\rC\r\n"), colour::Black);
        QVERIFY(device->write(all));
        QVERIFY(waitUntil([&] { return w->Text1->text().contains(QChar(0xFF)); }));
        const QByteArray after = saved(w);

        w->close();
        QCOMPARE(entries(folder), QStringList{"2026-12-08_16-03-12.txt"});
        QCOMPARE(contents(sessionFile()), before.chopped(2) + after);
    }

    // Sessions in the same second each get a file; start-up's error lines are
    // journaled; a session that received nothing, or ran with the journal
    // off, leaves no file; "Quit" finishes the journal as closing does.
    void eachSessionItsOwnFile() {
        BeepCounter beeps;
        pointPortAtNothing(1);
        RDData* w = RDData::instance();
        const QByteArray first = krt::toWire(w->Text1->text() + "\r\n");
        QVERIFY(first.startsWith("Error #  "));
        w->close();

        openDataWindowOn(device);
        unloadDataWindow();

        Journal::options().enabled = false;
        openDataWindowOn(device)->append(QStringLiteral("not kept"), colour::Black);
        unloadDataWindow();

        Journal::options().enabled = true;
        w = openDataWindowOn(device);
        w->append(QStringLiteral("quit"), colour::Black);
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        QCOMPARE(entries(folder),
                 (QStringList{"2026-12-08_16-03-12-2.txt", "2026-12-08_16-03-12.txt"}));
        QCOMPARE(contents(sessionFile()), first);
        QCOMPARE(contents(sessionFile("2026-12-08_16-03-12-2.txt")), QByteArray("quit\r\n"));
    }

    // A killed program leaves what it had written: a prefix of what its field
    // received, with the timer (not the unload) having written it.
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
        QString file;
        QVERIFY(waitUntil(
            [&] {
                const QStringList names = entries(folder);
                file = names.isEmpty() ? QString() : QDir(folder).filePath(names.first());
                return !file.isEmpty() && QFileInfo(file).size() >= half / 2;
            },
            60000));
        for (qsizetype at = half; at < half + 8 * 65536; at += 65536)
            QVERIFY(device->write(stream.mid(at, 65536)));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());

        QByteArray journal = contents(file);
        QVERIFY(journal.size() >= half / 2);
        QVERIFY(!journal.replace("\r\n", "").contains('\r'));
        QVERIFY(!journal.contains('\n'));
        QVERIFY(stream.replace('\r', "").startsWith(journal));
    }

    // --- When it cannot be written --------------------------------------------

    void unwritableFolderStopsTheJournal_data() {
        QTest::addColumn<QString>("sessions");
        QTest::addColumn<QString>("reason");
        QFile plain(home.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QTest::newRow("a file") << plain.fileName() << "Not a directory";
        QTest::newRow("under a file") << plain.fileName() + "/sessions"
                                      << "Not a directory";
        if (geteuid() == 0) {
            QTest::newRow("not writable") << "/sys/krt418-sessions"
                                          << "Operation not permitted";
        } else {
            QVERIFY(QDir(home.path()).mkdir("locked"));
            QVERIFY(
                QFile::setPermissions(home.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
            QTest::newRow("not writable")
                << home.filePath("locked/sessions") << "Permission denied";
        }
    }

    void unwritableFolderStopsTheJournal() {
        QFETCH(QString, sessions);
        QFETCH(QString, reason);
        Journal::options().folder = sessions;
        RDData* w = openDataWindowOn(device);
        QCOMPARE(stopLine(w->Text1), ">> JOURNAL STOPPED: " + sessions + ": " + reason + " <<");
        QVERIFY(colouredText(w->Text1).startsWith("[0]>> JOURNAL STOPPED: "));
        // The window goes on as before.
        QCOMPARE(w->Text1->selColor(), colour::Red);
        QVERIFY(device->write("OK\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("OK\r\n"); }));
        QCOMPARE(w->Text1->text().count("JOURNAL"), 1);
    }

    // A file size limit stands in for the full disk, as in the save tests.
    void fullDiskStopsTheJournalOnce() {
        RDData* w = openDataWindowOn(device);
        w->append(QStringLiteral("first\r\n"), colour::Blue);
        QVERIFY(waitUntil([&] { return QFileInfo(sessionFile()).size() == 7; }));

        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit tight = before;
        tight.rlim_cur = 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        const QByteArray more(4000, 'x');
        QVERIFY(device->write(more));
        const bool stopped = waitUntil([&] { return !stopLine(w->Text1).isEmpty(); });
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(stopped);

        QCOMPARE(stopLine(w->Text1),
                 ">> JOURNAL STOPPED: " + sessionFile() + ": File too large <<");
        QCOMPARE(contents(sessionFile()), "first\r\n" + more.left(1024 - 7));
        // Nothing more is tried, and the line is not repeated.
        QVERIFY(device->write("later\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("later\r\n"); }));
        QCOMPARE(w->Text1->text().count("JOURNAL"), 1);
        w->close();
        QCOMPARE(QFileInfo(sessionFile()).size(), 1024);
    }

    void removedFileStopsTheJournal() {
        RDData* w = openDataWindowOn(device);
        w->append(QStringLiteral("open line"), colour::Blue);
        QVERIFY(waitUntil([&] { return QFile::exists(sessionFile()); }));
        QVERIFY(QFile::remove(sessionFile()));
        w->append(QStringLiteral(" goes on"), colour::Red);
        QVERIFY(waitUntil([&] { return !stopLine(w->Text1).isEmpty(); }));
        QCOMPARE(w->Text1->text(), "open line goes on\r\n>> JOURNAL STOPPED: " + sessionFile() +
                                       ": the file was removed <<\r\n");
        QCOMPARE(w->Text1->selColor(), colour::Red);
        QCOMPARE(entries(folder), QStringList());
    }

    // --- Keeping the folder in bounds ---------------------------------------

    // Sizes are listed newest first; the files are named s0 (newest), s1...
    void retention_data() {
        QTest::addColumn<QList<qint64>>("sizes");
        QTest::addColumn<int>("maxFiles");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QStringList>("deleted");
        using L = QList<qint64>;
        QTest::newRow("within bounds") << L{10, 20, 30} << 3 << qint64(60) << QStringList();
        QTest::newRow("empty ones go, newest too")
            << L{0, 10, 0} << 200 << qint64(1000) << QStringList{"s0", "s2"};
        QTest::newRow("too many: the oldest")
            << L{1, 1, 1, 1} << 2 << qint64(1000) << QStringList{"s2", "s3"};
        QTest::newRow("empty ones do not count")
            << L{0, 1, 1, 1} << 2 << qint64(1000) << QStringList{"s0", "s3"};
        QTest::newRow("too big: the oldest, even small ones")
            << L{40, 50, 20, 1} << 200 << qint64(100) << QStringList{"s2", "s3"};
        QTest::newRow("the newest stays, whatever its size")
            << L{500, 10} << 200 << qint64(100) << QStringList{"s1"};
    }

    void retention() {
        QFETCH(QList<qint64>, sizes);
        QFETCH(int, maxFiles);
        QFETCH(qint64, maxBytes);
        QFETCH(QStringList, deleted);
        QList<Journal::FileInfo> files;
        for (int i = int(sizes.size()) - 1; i >= 0; --i)
            files.append({QStringLiteral("s%1").arg(i), sizes[i], kStart.addSecs(-3600 * i)});
        QStringList got = Journal::filesToDelete(files, maxFiles, maxBytes);
        got.sort();
        QCOMPARE(got, deleted);
    }

    // By the files' times, not their names; nothing but session files is touched.
    void startUpKeepsTheFolderInBounds() {
        QVERIFY(QDir().mkpath(folder));
        const auto make = [&](const QString& name, int size, int daysAgo) {
            QFile f(QDir(folder).filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(size, 'x'));
            f.flush();
            QVERIFY(f.setFileTime(kStart.addDays(-daysAgo), QFileDevice::FileModificationTime));
        };
        make("2026-01-01_00-00-00.txt", 10, 1);
        make("2026-01-02_00-00-00.txt", 10, 3);
        make("2026-01-03_00-00-00-2.txt", 10, 2);
        make("2026-01-04_00-00-00.txt", 0, 4);
        make("notes.txt", 10, 9);
        Journal::options().maxFiles = 2;
        openDataWindowOn(device);
        QCOMPARE(entries(folder), (QStringList{"2026-01-01_00-00-00.txt",
                                               "2026-01-03_00-00-00-2.txt", "notes.txt"}));
    }

    // --- "Clear memory" asks first ---------------------------------------------

    void clearMemoryAsksFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void clearMemoryAsksFirst() {
        QFETCH(bool, yes);
        RDData* w = openDataWindowOn(device);
        QStringList asked;
        platform::seams().confirm = [&](QWidget* parent, const QString& title,
                                        const QString& text) {
            asked << title << text;
            return parent == w && yes;
        };
        clickOn(w->ClearMemory);
        QCOMPARE(asked, (QStringList{"Clear memory", "Erase every time stored in the KRT 418?"}));
        if (yes) {
            QCOMPARE(device->readAtLeast(5), krt::buildFrame("CC"));
            QCOMPARE(w->Text1->text(), QString(">> CLEAR MEMORY <<\r\n<02>CC<86><03>\r\n"));
        } else {
            QVERIFY(device->staysQuiet(50));
            QCOMPARE(w->Text1->text(), QString());
        }
        // Every other button stays one click.
        clickOn(w->SetDefaults);
        QCOMPARE(asked.size(), 2);
        QVERIFY(!device->readAtLeast(1).isEmpty());
    }

    void realQuestionAnswersNoByDefault_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Return") << int(Qt::Key_Return);
    }

    void realQuestionAnswersNoByDefault() {
        QFETCH(int, key);
        RDData* w = openDataWindowOn(device);
        QString shown;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            answer.stop();
            shown = box->windowTitle() + "|" + box->text();
            QTest::keyClick(box, Qt::Key(key));
        });
        answer.start(10);
        clickOn(w->ClearMemory);
        QCOMPARE(shown, QString("Clear memory|Erase every time stored in the KRT 418?"));
        QVERIFY(device->staysQuiet(50));
        QCOMPARE(w->Text1->text(), QString());
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--journal-child") == 0)
        return runJournalChild(argc, argv);
    QApplication app(argc, argv);
    TestJournal test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journal.moc"
