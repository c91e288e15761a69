// The main window: clock, the way into the data window, and the end of the program.

#include "fakedevice.h"
#include "shell/krt418.h"
#include "shell/picture.h"
#include "shell/startup.h"
#include "testsupport.h"

#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <csignal>

namespace {
// The lock files (QLockFile: the owner's process id on the first line) that
// a process holds in the directories serial ports are locked in.
QStringList lockFilesOf(qint64 pid) {
    QStringList held;
    for (const char* dir : {"/var/lock", "/run/lock", "/tmp"}) {
        for (const QFileInfo& f :
             QDir(QString::fromLatin1(dir)).entryInfoList({"LCK..*"}, QDir::Files)) {
            QFile file(f.filePath());
            if (file.open(QIODevice::ReadOnly) && file.readLine().trimmed().toLongLong() == pid)
                held << f.canonicalFilePath();
        }
    }
    held.removeDuplicates();
    return held;
}
} // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        unloadDataWindow();
        platform::resetSeams();
    }

    void controlsAndClock() {
        const QDateTime fixed(QDate(2004, 4, 3), QTime(9, 5, 7));
        platform::seams().now = [&] { return fixed; };
        KRT418 w;
        w.show();
        QCOMPARE(w.windowTitle(), QString("KRT 418"));
        QCOMPARE(w.Label1->text(), QString("KRT 418 controller 5.0"));
        QCOMPARE(w.Label2->text(), QString("Used with new KRT418 (hardware version 11)"));
        QCOMPARE(w.Command1->text(), QString("Configure ..."));
        QCOMPARE(w.Command2->text(), QString("About..."));
        QCOMPARE(w.Command3->text(), QString("Quit"));
        QVERIFY(w.Command1->isEnabled());
        QCOMPARE(w.Timer1->interval(), 100);
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.MSGDate->text(), QLocale::system().toString(fixed.date(), QLocale::ShortFormat));
        // Hours, minutes and seconds, in the locale's own order.
        QVERIFY(w.MSGtime->text().contains("07"));
        QVERIFY(w.MSGtime->text().contains("05"));
        // The clock follows the PC's time at the next tick.
        const QDateTime later = fixed.addSecs(3600 + 60 + 1);
        platform::seams().now = [&] { return later; };
        QVERIFY(waitUntil([&] { return w.MSGtime->text().contains("08"); }, 1000));
    }

    void pictureClickBeeps() {
        BeepCounter beeps;
        KRT418 w;
        w.show();
        QTest::mouseClick(w.Image2, Qt::LeftButton);
        QCOMPARE(beeps.count, 0);
        QTest::mouseClick(w.Image1, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(beeps.count, 1);
        // The clock on the picture is not the picture.
        QTest::mouseClick(w.MSGtime, Qt::LeftButton);
        QTest::mouseClick(w.MSGDate, Qt::LeftButton);
        QCOMPARE(beeps.count, 1);
    }

    void configureCreatesOrRaisesTheOneDataWindow() {
        FakeDevice device;
        device.attachAs(1);
        KRT418 w;
        w.show();
        QVERIFY(!RDData::existing());
        clickOn(w.Command1);
        RDData* data = RDData::existing();
        QVERIFY(data && data->isVisible());
        QVERIFY(data->MSComm1 && data->parentWidget() == nullptr);
        data->GetDate->click();
        clickOn(w.Command1);
        QCOMPARE(RDData::existing(), data);
        QVERIFY(data->Text1->length() > 0);
        // After "Close" a fresh window opens, empty.
        clickOn(data->Command1);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!RDData::existing());
        clickOn(w.Command1);
        QVERIFY(RDData::existing());
        QCOMPARE(RDData::existing()->Text1->length(), 0);
    }

    void closingTheMainWindowLeavesTheDataWindowWorking() {
        FakeDevice device;
        device.attachAs(1);
        auto* w = new KRT418;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        clickOn(w->Command1);
        w->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        RDData* data = RDData::existing();
        QVERIFY(data && data->isVisible());
        data->MemFree->click();
        QCOMPARE(device.readAtLeast(5), QByteArray("\x02QM\x9E\x03"));
        QVERIFY(device.write("\x06"));
        QVERIFY(waitUntil([&] { return data->Text1->text().endsWith("<ACK>\r\n"); }));
    }

    void titlesCarryNoApplicationName() {
        krt::setUpApplication();
        // Unset, the display name falls back to the application name, and the
        // window system adds nothing to the captions.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("krt418"));
    }

    void everyWayOutReleasesThePort_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("SIGTERM") << SIGTERM << QByteArray();
        QTest::newRow("SIGINT") << SIGINT << QByteArray();
        QTest::newRow("SIGHUP") << SIGHUP << QByteArray();
        QTest::newRow("Quit") << 0 << QByteArray("quit\n");
        QTest::newRow("last window closed") << 0 << QByteArray("close\n");
    }
    void everyWayOutReleasesThePort() {
        QFETCH(int, signal);
        QFETCH(QByteArray, command);
        FakeDevice device;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KRT418_COM1", device.path());
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(KRT418_EXITPROBE_EXE));
        QVERIFY(program.waitForStarted());
        QVERIFY(waitUntil([&] { return program.canReadLine(); }, 30000));
        QCOMPARE(program.readLine(), QByteArray("ready\n"));
        const QStringList locks = lockFilesOf(program.processId());
        QCOMPARE(locks.size(), 1);

        if (signal)
            ::kill(pid_t(program.processId()), signal);
        else
            program.write(command);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(!QFile::exists(locks.first()), qPrintable(locks.first()));
    }

    // Last: exit() leaves the thread unable to run event loops.
    void quitEndsTheEventLoopAtOnce() {
        FakeDevice device;
        device.attachAs(1);
        KRT418 w;
        w.show();
        clickOn(w.Command1);
        QEventLoop loop;
        int code = -1;
        QTimer::singleShot(0, &w, [&] { clickOn(w.Command3); });
        QTimer::singleShot(5000, &loop, [&] { loop.exit(99); });
        code = loop.exec();
        QCOMPARE(code, 0);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
