// The main window: clock, the way into the data window, and the end of the program.

#include "fakedevice.h"
#include "shell/krt418.h"
#include "shell/picture.h"
#include "testsupport.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

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
