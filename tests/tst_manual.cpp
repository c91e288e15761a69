// The manual command window against a fake device: the bytes on the line,
// their order around the pauses, and the coloured lines in the data field.

#include "dialogs/manualwindow.h"
#include "fakedevice.h"
#include "logview/colours.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {
QByteArray frame(const QByteArray& payload) {
    unsigned sum = 0;
    for (char c : payload)
        sum += quint8(c);
    return '\x02' + payload + char(sum & 0xFF) + '\x03';
}
} // namespace

class TestManual : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeDevice> device;
    // Each pause: its length and every byte on the line when it began.
    QList<QPair<int, QByteArray>> sleeps;
    QByteArray line;
    std::function<void(int)> duringSleep;

    RDData* data() { return RDData::existing(); }
    // Everything the program has written so far, pauses included.
    QByteArray onLine() { return line += device->readAll(); }
    ManualWindow* openManual(const QString& text = QString()) {
        clickOn(data()->Manual);
        ManualWindow* m = ManualWindow::existing();
        m->commandtosend->setText(text);
        return m;
    }
    // Deferred deletes run, so an unloaded window is really gone.
    static void settle() {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
    void expectClosed() {
        settle();
        QVERIFY(!ManualWindow::existing());
        QVERIFY(data()->Text1->isEnabled());
    }
    QString chooseFile(const QByteArray& content) {
        static QTemporaryDir dir;
        static int count = 0;
        const QString path = dir.filePath(QStringLiteral("import%1.txt").arg(++count));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }

private slots:
    void init() {
        device = std::make_unique<FakeDevice>();
        device->attachAs(1);
        RDData::instance()->show();
        sleeps.clear();
        line.clear();
        duringSleep = nullptr;
        platform::seams().sleep = [this](int ms) {
            line += device->readAll();
            sleeps.append({ms, line});
            if (duringSleep) duringSleep(int(sleeps.size()));
        };
    }
    void cleanup() {
        if (ManualWindow* m = ManualWindow::existing()) m->close();
        unloadDataWindow();
        settle();
        device.reset();
        platform::resetSeams();
    }

    void layoutAndOpening() {
        ManualWindow* m = openManual();
        QCOMPARE(m->windowTitle(), QString("Manual command ..."));
        QVERIFY(!data()->Text1->isEnabled());
        QVERIFY(m->Command1->isDefault());
        // Tab order from the text field through the buttons.
        QList<QWidget*> order = {m->commandtosend, m->Command1, m->Command2, m->Command3,
                                 m->Command4,      m->Command5, m->Command6, m->Command7,
                                 m->Command8,      m->Command9};
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget* next = order[i]->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, order[i + 1]);
        }
        // Three columns of equal width.
        QCOMPARE(m->Command3->x(), m->Command6->x());
        QCOMPARE(m->Command4->x(), m->Command9->x());
        QCOMPARE(m->Command1->x(), m->Command2->x());
        QCOMPARE(m->Command3->width(), m->Command4->width());
        QCOMPARE(m->Command4->width(), m->Command1->width());
        QVERIFY(m->Command3->x() < m->Command4->x() && m->Command4->x() < m->Command1->x());
        // A second opening only brings the same window up.
        m->commandtosend->setText("kept");
        clickOn(data()->Manual);
        QCOMPARE(ManualWindow::existing(), m);
        QCOMPARE(m->commandtosend->text(), QString("kept"));
    }

    void freeCommand_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("image");
        QTest::newRow("PB") << "PB" << QByteArray("\x02PB\x92\x03") << "<02>PB<92><03>";
        QTest::newRow("Pl as typed") << "Pl" << QByteArray("\x02Pl\xBC\x03") << "<02>Pl<BC><03>";
        QTest::newRow("one digit") << "ZZV" << QByteArray("\x02ZZV\x0A\x03") << "<02>ZZV<A><03>";
        QTest::newRow("empty") << "" << QByteArray("\x02\x00\x03", 3) << "<02><0><03>";
        QTest::newRow("latin-1 byte")
            << QString::fromLatin1("P\xE9") << QByteArray("\x02P\xE9\x39\x03")
            << QString::fromLatin1("<02>P\xE9<39><03>");
        // 'P' + '?' + 'B': the euro sign goes out as '?' and is counted as such.
        QTest::newRow("above 0xFF")
            << QString("P\u20ACB") << QByteArray("\x02P?B\xD1\x03") << "<02>P?B<D1><03>";
    }
    void freeCommand() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, image);
        openManual(text)->Command1->click();
        QCOMPARE(device->readAtLeast(bytes.size()), bytes);
        QCOMPARE(colouredText(data()->Text1), "[0]>> KRT COMMAND <<\n[255]" + image + "\n");
        expectClosed();
    }

    void enterSendsFreeCommand() {
        ManualWindow* m = openManual();
        QTest::keyClicks(m->commandtosend, "PB");
        QTest::keyClick(m->commandtosend, Qt::Key_Return);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02PB\x92\x03"));
        expectClosed();
    }

    void linkButtonsDiscardTheText_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("field");
        QTest::newRow("Link Printer") << "Command6" << QByteArray("\x02LP\x9C\x03")
                                      << "[0]>> LINK PRINTER <<\n[255]<02>LP<9C><03>\n";
        QTest::newRow("Link Line") << "Command7" << QByteArray("\x02LL\x98\x03")
                                   << "[0]>> LINK LINE <<\n[255]<02>LL<98><03>\n";
        QTest::newRow("Link Off") << "Command8" << QByteArray("\x02LX\xA4\x03")
                                  << "[0]>> LINK OFF <<\n[255]<02>LX<A4><03>\n";
    }
    void linkButtonsDiscardTheText() {
        QFETCH(QString, button);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, field);
        clickOn(openManual("HELLO")->findChild<QPushButton*>(button));
        QCOMPARE(device->readAtLeast(bytes.size() + 1, 300), bytes);
        QCOMPARE(colouredText(data()->Text1), field);
        expectClosed();
        ManualWindow* again = openManual();
        QCOMPARE(again->commandtosend->text(), QString());
    }

    void sendText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("field");
        QTest::newRow("text") << "Hello 1" << QByteArray("Hello 1\r")
                              << "[0]>> SEND TEXT <<\nHello 1\n";
        QTest::newRow("empty") << "" << QByteArray("\r") << "[0]>> SEND TEXT <<\n\n";
    }
    void sendText() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, field);
        clickOn(openManual(text)->Command9);
        QCOMPARE(device->readAtLeast(bytes.size() + 1, 300), bytes);
        QCOMPARE(colouredText(data()->Text1), field);
        QCOMPARE(data()->Text1->selColor(), colour::Black);
        expectClosed();
    }

    // Link frame, pause, pending events, the green text, pause, text (with CR
    // for the printer) and "LX" in one write, pause. The device answers the
    // link frame during the first pause; the answer shows above the message.
    void messages_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("link");
        QTest::addColumn<QByteArray>("rest");
        QTest::addColumn<int>("lastSleep");
        QTest::newRow("printer") << "Command3"
                                 << ">> PRINTER MESSAGE <<\n[255]<02>LP<9C><03>"
                                 << QByteArray("\x02LP\x9C\x03")
                                 << QByteArray("Go \xE9?\r\x02LX\xA4\x03") << 10;
        QTest::newRow("run.time") << "Command4"
                                  << ">> RUNNING TIME MESSAGE <<\n[255]<02>LL<98><03>"
                                  << QByteArray("\x02LL\x98\x03")
                                  << QByteArray("Go \xE9?\x02LX\xA4\x03") << 100;
    }
    void messages() {
        QFETCH(QString, button);
        QFETCH(QString, title);
        QFETCH(QByteArray, link);
        QFETCH(QByteArray, rest);
        QFETCH(int, lastSleep);
        duringSleep = [this](int n) {
            if (n == 1) device->write("\x06");
        };
        clickOn(openManual(QString::fromLatin1("Go \xE9") + QChar(0x3A9))
                    ->findChild<QPushButton*>(button));
        QCOMPARE(sleeps.size(), 3);
        QCOMPARE(sleeps[0], qMakePair(100, link));
        QCOMPARE(sleeps[1], qMakePair(100, link));
        QCOMPARE(sleeps[2], qMakePair(lastSleep, link + rest));
        QVERIFY(device->staysQuiet(50));
        QCOMPARE(colouredText(data()->Text1), "[0]" + title + "\n[16711680]<ACK>\n[65280]" +
                                                  QString::fromLatin1("Go \xE9?") +
                                                  "\n[255]<02>LX<A4><03>\n");
        expectClosed();
    }

    void clicksDuringPendingEventsAreIgnored() {
        ManualWindow* m = openManual("X");
        duringSleep = [m](int n) {
            if (n != 1) return;
            for (auto* b : {m->Command6, m->Command3, m->Command2})
                QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
            QMetaObject::invokeMethod(m, "close", Qt::QueuedConnection);
            QCoreApplication::postEvent(m, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
        };
        clickOn(m->Command3);
        QCOMPARE(sleeps.size(), 3);
        QVERIFY(device->staysQuiet(50));
        QCOMPARE(onLine(), QByteArray("\x02LP\x9C\x03X\r\x02LX\xA4\x03"));
        QCOMPARE(colouredText(data()->Text1), QString("[0]>> PRINTER MESSAGE <<\n"
                                                      "[255]<02>LP<9C><03>\n[65280]X\n"
                                                      "[255]<02>LX<A4><03>\n"));
        expectClosed();
    }

    void dataWindowUnloadedDuringPendingEvents_data() {
        QTest::addColumn<bool>("deleteAtOnce");
        QTest::newRow("deleted at once") << true;
        QTest::newRow("deleted later") << false;
    }
    void dataWindowUnloadedDuringPendingEvents() {
        QFETCH(bool, deleteAtOnce);
        ManualWindow* m = openManual("X");
        duringSleep = [&](int n) {
            if (n != 1) return;
            QMetaObject::invokeMethod(
                qApp,
                [deleteAtOnce] {
                    clickOn(RDData::existing()->Command1);
                    // The data window goes, and then the manual window with it.
                    for (int i = 0; deleteAtOnce && i < 2; ++i)
                        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                },
                Qt::QueuedConnection);
        };
        clickOn(m->Command4);
        settle();
        QVERIFY(!RDData::existing());
        QVERIFY(!ManualWindow::existing());
        if (deleteAtOnce) QCOMPARE(sleeps.size(), 1);
    }

    void dataWindowUnloadClosesTheWindow() {
        openManual("X");
        unloadDataWindow();
        settle();
        QVERIFY(!ManualWindow::existing());
        QVERIFY(device->staysQuiet(50));
    }

    // On a closed port every button reports the failed write, stops there,
    // and the window still closes.
    void failedWrite_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        const QString error = ">> PORT ERROR: 8018 <<\n";
        QTest::newRow("free") << "Command1"
                              << "[0]>> KRT COMMAND <<\n[255]<02>PB<92><03>\n" + error;
        QTest::newRow("printer") << "Command3"
                                 << "[0]>> PRINTER MESSAGE <<\n" + error;
        QTest::newRow("run.time") << "Command4"
                                  << "[0]>> RUNNING TIME MESSAGE <<\n" + error;
        QTest::newRow("link") << "Command6"
                              << "[0]>> LINK PRINTER <<\n" + error;
        QTest::newRow("text") << "Command9"
                              << "[0]>> SEND TEXT <<\nPB\n" + error;
    }
    void failedWrite() {
        QFETCH(QString, button);
        QFETCH(QString, field);
        pointPortAtNothing(2);
        clickOn(data()->Option1[1]);
        data()->Text1->setText(QString());
        clickOn(openManual("PB")->findChild<QPushButton*>(button));
        QCOMPARE(colouredText(data()->Text1), field);
        QVERIFY(sleeps.isEmpty());
        expectClosed();
    }

    void closePaths_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Close") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("frame") << 2;
    }
    void closePaths() {
        QFETCH(int, how);
        ManualWindow* m = openManual("unsent");
        if (how == 0)
            clickOn(m->Command2);
        else if (how == 1)
            QTest::keyClick(m->commandtosend, Qt::Key_Escape);
        else
            m->close();
        expectClosed();
        QVERIFY(device->staysQuiet(50));
        QCOMPARE(data()->Text1->length(), 0);
    }

    void importKeepsEveryByteAndLineEnd() {
        const QByteArray content("first\r\nsecond\nthird \xE9\xFF");
        const QString path = chooseFile(content);
        platform::seams().openFileName = [path](QWidget*) { return path; };
        ManualWindow* m = openManual("old");
        clickOn(m->Command5);
        QCOMPARE(m->commandtosend->text(), QString::fromLatin1(content));
        QCOMPARE(ManualWindow::existing(), m);
        QCOMPARE(data()->Text1->length(), 0);
        // Sent raw, it goes out byte for byte.
        clickOn(m->Command9);
        QCOMPARE(device->readAtLeast(content.size() + 2, 300), content + '\r');
    }

    void importRefusesAndCancels_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason"); // empty: cancelled, nothing written
        QTest::newRow("cancelled") << QByteArray() << QString();
        QTest::newRow("missing") << QByteArray() << "No such file";
        QTest::newRow("too large") << QByteArray(ManualWindow::ImportLimit + 1, 'A') << "1 MiB";
        QTest::newRow("NUL") << QByteArray("AB\0CD", 5) << "NUL";
    }
    void importRefusesAndCancels() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QString path;
        if (!content.isEmpty())
            path = chooseFile(content);
        else if (!reason.isEmpty())
            path = QStringLiteral("/nonexistent/krt-import.txt");
        platform::seams().openFileName = [path](QWidget*) { return path; };
        ManualWindow* m = openManual("old");
        clickOn(m->Command5);
        QCOMPARE(m->commandtosend->text(), QString("old"));
        QCOMPARE(ManualWindow::existing(), m);
        const QString field = data()->Text1->text();
        if (reason.isEmpty()) {
            QCOMPARE(field, QString());
        } else {
            QCOMPARE(field.count("\r\n"), 1);
            QVERIFY2(field.contains(path) && field.contains(reason), qPrintable(field));
        }
        QVERIFY(device->staysQuiet(50));
    }

    // Only regular files: anything else could block the program for good.
    void importRefusesWhatIsNoRegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO without a writer") << "a FIFO";
        QTest::newRow("terminal") << "a device";
        QTest::newRow("directory") << "a directory";
    }
    void importRefusesWhatIsNoRegularFile() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        FakeDevice terminal;
        QString path = dir.path();
        if (kind == "a FIFO") {
            path = dir.filePath("fifo");
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "a device") {
            path = terminal.path();
        }
        platform::seams().openFileName = [path](QWidget*) { return path; };
        data()->Text1->setSelColor(colour::Red);
        ManualWindow* m = openManual("old");
        clickOn(m->Command5);
        QCOMPARE(m->commandtosend->text(), QString("old"));
        // A black action line, and the colour in force kept.
        QCOMPARE(colouredText(data()->Text1),
                 "[0]>> IMPORT FAILED: " + path + ": " + kind + ", not a regular file <<\n");
        QCOMPARE(data()->Text1->selColor(), colour::Red);
    }

    // Closing either window while the real "Import text file..." dialog is
    // open cancels the dialog, then closes; nothing is imported or sent.
    void closingWhileTheImportDialogIsOpen_data() {
        QTest::addColumn<bool>("dataWindow");
        QTest::newRow("manual window") << false;
        QTest::newRow("data window") << true;
    }
    void closingWhileTheImportDialogIsOpen() {
        QFETCH(bool, dataWindow);
        QPointer<ManualWindow> m = openManual("old");
        QPointer<QFileDialog> dialog;
        whenFileDialogShows([&](QFileDialog* d) {
            dialog = d;
            if (dataWindow)
                data()->close();
            else
                m->close();
        });
        clickOn(m->Command5);
        QVERIFY(!dialog);
        settle();
        QVERIFY(!m);
        QCOMPARE(!RDData::existing(), dataWindow);
        if (!dataWindow) {
            QVERIFY(data()->Text1->isEnabled());
            QCOMPARE(data()->Text1->length(), 0);
        }
        QVERIFY(device->staysQuiet(50));
    }

    void dataWindowUnloadedWhileChoosingFile() {
        const QString path = chooseFile("text");
        platform::seams().openFileName = [path](QWidget*) {
            unloadDataWindow();
            return path;
        };
        clickOn(openManual()->Command5);
        settle();
        QVERIFY(!ManualWindow::existing());
    }

    void hostileFreeCommand() {
        QString text;
        QByteArray payload;
        for (int i = 0; i < 10000; ++i) {
            const char16_t c = char16_t(i % 3 == 0 ? 0x100 + i % 0x80 : (i * 7) % 256);
            text += QChar(c);
            payload += c > 0xFF ? '?' : char(c);
        }
        clickOn(openManual(text)->Command1);
        const QByteArray expected = frame(payload);
        QCOMPARE(device->readAtLeast(expected.size()), expected);
        QVERIFY(device->staysQuiet(50));
        expectClosed();
    }
};

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
