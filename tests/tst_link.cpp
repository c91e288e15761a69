// The port controls of the data window and its fixed commands, against a
// fake device. The frame layer and the port component alone: tst_wire.

#include "datawindow/controltable.h"
#include "fakedevice.h"
#include "link/frame.h"
#include "link/serialportcomponent.h"
#include "logview/colours.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>

#include <unistd.h>

namespace {
// What a click on each fixed command button does, by its name: the bytes on
// the line, the field after it, and the help line after sending (none: the
// line stays as it was).
struct Golden {
    const char* control;
    const char* bytes;
    const char* field;
    const char* help;
};
const Golden kGolden[] = {
    {"GetDate", "\x02QD\x95\x03", "[0]>> GET DATE <<\n[255]<02>QD<95><03>\n", nullptr},
    {"MemFree", "\x02QM\x9E\x03", "[0]>> MEMORY FREE <<\n[255]<02>QM<9E><03>\n", nullptr},
    {"ViewP", "\x02QP\xA1\x03", "[0]>> VIEW PARAMETERS <<\n[255]<02>QP<A1><03>\n",
     "Ask the KRT 418 about all actual Parameters"},
    {"SetDefaults",
     "\x02"
     "CD\x87\x03",
     "[0]>> SET DEFAULTS <<\n[255]<02>CD<87><03>\n",
     "Set the KRT418 to the factory default parameters"},
    {"NewSession",
     "\x02"
     "CS\x96\x03",
     "[0]>> NEW SESSION <<\n[255]<02>CS<96><03>\n", nullptr},
    {"UploadTimes",
     "\x02"
     "CU\x98\x03",
     "[0]>> UPLOAD TIMES <<\n[255]<02>CU<98><03>\n", nullptr},
    {"UploadPrint",
     "\x02"
     "CA\x84\x03",
     "[0]>> UPLOAD TIMES & PRINT <<\n[255]<02>CA<84><03>\n", nullptr},
    {"ClearMemory",
     "\x02"
     "CC\x86\x03",
     "[0]>> CLEAR MEMORY <<\n[255]<02>CC<86><03>\n", nullptr},
};
} // namespace

class TestLink : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeDevice> device;
    RDData* openDataWindow() { return openDataWindowOn(device); }

private slots:
    void cleanup() {
        unloadDataWindow();
        device.reset();
        platform::resetSeams();
    }

    // Every fixed command button of the table has its row here, and every
    // row here is such a button.
    void everyCommandButtonHasItsGoldenRow() {
        QStringList table, golden;
        for (const controls::Control& c : controls::table())
            if (c.command && c.kind == controls::Kind::Button) table << QString::fromLatin1(c.name);
        for (const Golden& g : kGolden)
            golden << QString::fromLatin1(g.control);
        table.sort();
        golden.sort();
        QCOMPARE(golden, table);
    }

    // Every fixed command button: title in black, the exact frame on the
    // line, the image in red.
    void fixedCommandButtons_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("help");
        for (const Golden& g : kGolden)
            QTest::newRow(g.control) << g.control << QByteArray(g.bytes) << g.field
                                     << (g.help ? QString::fromLatin1(g.help) : QString());
    }
    void fixedCommandButtons() {
        QFETCH(QString, control);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, field);
        QFETCH(QString, help);
        RDData* w = openDataWindow();
        const QString helpBefore = w->Myhelp->text();
        auto* b = w->findChild<QPushButton*>(control);
        QVERIFY(b);
        // "Clear memory" asks first; here the answer is yes.
        platform::seams().confirm = [](QWidget*, const QString&, const QString&) { return true; };
        b->click();
        QCOMPARE(device->readAtLeast(bytes.size()), bytes);
        QCOMPARE(colouredText(w->Text1), field);
        QCOMPARE(w->Text1->text(),
                 QString(field).remove(QRegularExpression("\\[\\d+\\]")).replace("\n", "\r\n"));
        QCOMPARE(w->Myhelp->text(), help.isNull() ? helpBefore : help);
        QCOMPARE(w->Text1->selColor(), colour::Red);
    }

    void checkBoxesAlternate() {
        RDData* w = openDataWindow();
        clickOn(w->buzzer);
        QVERIFY(w->buzzer->isChecked());
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02PB\x92\x03"));
        clickOn(w->buzzer);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02Pb\xB2\x03"));
        clickOn(w->lockinput);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02Pe\xB5\x03"));
        clickOn(w->lockinput);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02PE\x95\x03"));
        QCOMPARE(colouredText(w->Text1),
                 QString("[0]>> BUZZER ON <<\n[255]<02>PB<92><03>\n"
                         "[0]>> BUZZER OFF <<\n[255]<02>Pb<B2><03>\n"
                         "[0]>> LOCK INPUT 5-16 <<\n[255]<02>Pe<B5><03>\n"
                         "[0]>> UNLOCK INPUT 5-16 <<\n[255]<02>PE<95><03>\n"));
    }

    void quickSuccessionGoesOutBackToBackBeforeAnyAnswer() {
        RDData* w = openDataWindow();
        // The device answers the first command at once; the second click
        // still finds its title and image together.
        w->GetDate->click();
        QVERIFY(device->write("\x06"
                              "DATE\r"));
        w->MemFree->click();
        QCOMPARE(device->readAtLeast(10), QByteArray("\x02QD\x95\x03\x02QM\x9E\x03"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("DATE\r\n"); }));
        QCOMPARE(w->Text1->text(), QString(">> GET DATE <<\r\n<02>QD<95><03>\r\n"
                                           ">> MEMORY FREE <<\r\n<02>QM<9E><03>\r\n"
                                           "<ACK>\r\nDATE\r\n"));
    }

    void xonXoffAlternateFromSendXoff() {
        RDData* w = openDataWindow();
        QCOMPARE(w->Command6->text(), QString("Send XOFF"));
        clickOn(w->Command6);
        QCOMPARE(device->readAtLeast(1), QByteArray("\x13"));
        QCOMPARE(w->Command6->text(), QString("Send XON"));
        clickOn(w->Command6);
        QCOMPARE(device->readAtLeast(1), QByteArray("\x11"));
        QCOMPARE(w->Command6->text(), QString("Send XOFF"));
        QCOMPARE(colouredText(w->Text1), QString("[0]>> SENDING XOFF <<\n[255]<19>\n"
                                                 "[0]>> SENDING XON <<\n[255]<17>\n"));
        QCOMPARE(w->Text1->selColor(), colour::Red);
    }

    void portChoiceReopensSilently() {
        RDData* w = openDataWindow();
        FakeDevice second;
        second.attachAs(2);
        clickOn(w->Option1[1]);
        QVERIFY(w->MSComm1->portOpen());
        QCOMPARE(w->MSComm1->commPort(), 2);
        QCOMPARE(w->MSComm1->settings(), QString("9600,N,8,1"));
        QCOMPARE(RDData::rememberedPort, qint16(2));
        w->GetDate->click();
        QCOMPARE(second.readAtLeast(5), QByteArray("\x02QD\x95\x03"));
        QVERIFY(second.write("\x06"));
        QVERIFY(waitForLength(w->Text1, 35));
        clickOn(w->Option1[0]);
        QCOMPARE(w->MSComm1->commPort(), 1);
        QCOMPARE(RDData::rememberedPort, qint16(1));
        QVERIFY(!w->Text1->text().contains("ERROR"));
        // The receive loop reads the new port.
        QVERIFY(device->write("X\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("X\r\n"); }));
    }

    void failedPortChoiceStopsReadingAndWritesFail() {
        RDData* w = openDataWindow();
        pointPortAtNothing(2);
        w->Text1->setSelColor(colour::Blue);
        clickOn(w->Option1[1]);
        // The number in the colour in force, then in black which device and why.
        QCOMPARE(colouredText(w->Text1),
                 QString("[16711680]>> PORT ERROR: 8002 <<\n[0]Invalid port number: no serial "
                         "device\n/dev/krt418-no-such-port.\n"));
        QVERIFY(!w->MSComm1->portOpen());
        QVERIFY(!w->timer1Enabled());
        // A command on the closed port: title, then the one failure report.
        w->Text1->setText(QString());
        w->MemFree->click();
        QCOMPARE(colouredText(w->Text1), QString("[0]>> MEMORY FREE <<\n>> PORT ERROR: 8018 <<\n"));
        QVERIFY(w->isVisible());
    }

    void portHeldByAnotherProgramGives8005() {
        RDData* w = openDataWindow();
        FakeDevice second;
        second.attachAs(2);
        QSerialPort other(second.path());
        QVERIFY(other.open(QIODevice::ReadWrite));
        clickOn(w->Option1[1]);
        const QString reported = w->Text1->text();
        QVERIFY2(reported.startsWith(">> PORT ERROR: 8005 <<\r\nPort already open: " +
                                     second.path() + " is in\r\nuse by another program"),
                 qPrintable(reported));
        QVERIFY(!w->MSComm1->portOpen());
        QVERIFY(device->write("lost?\r"));
        QVERIFY(device->staysQuiet(100));
        QCOMPARE(w->Text1->text(), reported);
    }

    // What had come in before a re-open reaches the field: a numbered flood
    // with re-opens in between, half of them while the receive loop is held
    // so the port's buffer is surely full when it closes.
    void reopenLosesNoReceivedText() {
        RDData* w = openDataWindow();
        QStringList sent;
        for (int round = 0; round < 20; ++round) {
            QByteArray burst;
            for (int i = 0; i < 30; ++i, sent << QString::number(sent.size()))
                burst += "L" + QByteArray::number(sent.size()) + "\r";
            w->setTimer1Enabled(round % 2);
            QVERIFY(device->write(burst));
            QVERIFY(round % 2 || waitUntil([&] { return w->MSComm1->bytesWaiting() >= 30; }));
            clickOn(w->Option1[0]);
        }
        QVERIFY(waitUntil([&] { return w->Text1->text().contains("L" + sent.last()); }));
        QStringList got;
        for (const auto& m : QRegularExpression("\\d+").globalMatch(w->Text1->text()))
            got << m.captured();
        QCOMPARE(got, sent);
    }

    void lineSpeedSwitchAndBack() {
        RDData* w = openDataWindow();
        w->Command2->setEnabled(true); // disabled in the layout; proven here
        // Before any port choice the remembered port is 0 and the port is refused.
        RDData::rememberedPort = 0;
        clickOn(w->Command2);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02Pc\xB3\x03"));
        QCOMPARE(w->Text1->text(), QString(">> PC SPEED 19200 bds <<\r\n<02>Pc<B3><03>\r\n"
                                           ">> PORT ERROR: 8002 <<\r\nInvalid port number 0.\r\n"));
        QCOMPARE(w->Command2->text(), QString("9600 bds"));

        device->attachAs(1);
        clickOn(w->Option1[0]);
        QVERIFY(w->MSComm1->portOpen());
        w->Text1->setText(QString());
        clickOn(w->Command2);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02Pc\xB3\x03"));
        QCOMPARE(w->Command2->text(), QString("19200 bds"));
        QCOMPARE(w->MSComm1->settings(), QString("19200,N,8,1"));
        QCOMPARE(w->MSComm1->port()->baudRate(), 19200);
        QVERIFY(w->MSComm1->portOpen());
        clickOn(w->Command2);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02PC\x93\x03"));
        QCOMPARE(w->Command2->text(), QString("9600 bds"));
        QCOMPARE(w->MSComm1->port()->baudRate(), 9600);
        QCOMPARE(colouredText(w->Text1),
                 QString("[0]>> PC SPEED 19200 bds <<\n[255]<02>Pc<B3><03>\n"
                         "[0]>> PC SPEED 9600 bds <<\n[255]<02>PC<93><03>\n"));
        // A port choice returns to 9600 whatever the button says.
        clickOn(w->Command2);
        clickOn(w->Option1[0]);
        QCOMPARE(w->MSComm1->port()->baudRate(), 9600);
        QCOMPARE(w->Command2->text(), QString("19200 bds"));
    }

    void closeThenConfigureGivesAFreshWindow() {
        RDData* w = openDataWindow();
        QPointer<RDData> first = w;
        w->GetDate->click();
        clickOn(w->buzzer);
        clickOn(w->Command6);
        clickOn(w->Command1); // RTS fails on a pty: not shown
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(!RDData::existing());
        RDData* again = RDData::instance();
        QVERIFY(again->MSComm1->portOpen());
        QCOMPARE(again->MSComm1->commPort(), 1);
        QCOMPARE(again->Text1->text(), QString());
        QVERIFY(!again->buzzer->isChecked());
        QCOMPARE(again->Command6->text(), QString("Send XOFF"));
        QVERIFY(!again->Option1[0]->isChecked() && !again->Option1[1]->isChecked());
    }

    void configureRightAfterCloseBuildsANewWindow() {
        RDData* w = openDataWindow();
        w->GetDate->click();
        QPointer<QWidget> dialog = new QWidget;
        dialog->show();
        w->adoptDialog(dialog);
        w->Command1_Click();
        QVERIFY(!dialog->isVisible()); // gone with the window, not left to act on the next
        QVERIFY(!w->MSComm1->portOpen());
        // Not deleted yet, but already unloaded.
        RDData* again = RDData::instance();
        QVERIFY(again != w);
        QCOMPARE(again->Text1->length(), 0);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(RDData::existing(), again);
    }

    void dialogsCloseWithTheDataWindow() {
        RDData* w = openDataWindow();
        QPointer<QWidget> dialog = new QWidget;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        w->adoptDialog(dialog);
        w->Command1_Click();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull());
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
