// Context help of the data window (the help line under every control) and
// the cursors that hint at it, with real mouse presses on the real widgets.

#include "datawindow/colours.h"
#include "fakedevice.h"
#include "link/serialportcomponent.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {
const QString kMarker = QStringLiteral("(marker)");
}

class TestHelp : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDevice> device;

    RDData* openOnDevice() { return openDataWindowOn(device); }

    // Where a press lands: the data field takes presses on its viewport,
    // check boxes and option buttons on their indicator.
    static QWidget* target(QWidget* control) {
        if (auto* field = qobject_cast<RichTextField*>(control)) return field->viewport();
        return control;
    }
    static QPoint spot(QWidget* control) {
        if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control))
            return {6, control->height() / 2};
        return target(control)->rect().center();
    }

    // A press of `button` over the control, with the help line blanked first
    // so the text seen was written by this press. The release goes outside
    // the control, so a left press never becomes a click.
    QString helpAfterPress(RDData* w, QWidget* control, Qt::MouseButton button) {
        w->Myhelp->setText(kMarker);
        QTest::mousePress(target(control), button, {}, spot(control));
        const QString text = w->Myhelp->text();
        QTest::mouseRelease(target(control), button, {}, QPoint(-20, -20));
        return text;
    }

private slots:
    void cleanup() {
        unloadDataWindow();
        device.reset();
        platform::resetSeams();
    }

    void everyControlHasItsTwoTexts_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("longText");
        QTest::addColumn<QString>("shortText");
        const auto row = [](const char* control, const char* longText, const char* shortText) {
            QTest::newRow(control) << control << longText << shortText;
        };
        row("GetDate", "Ask the KRT 418 about the current date memorised onto it.",
            "Get KRT 418 date!");
        row("MemFree", "Ask the KRT 418 about the current memory free.",
            "Get KRT 418 memory free!");
        row("ViewP", "Ask the KRT 418 about the current parameters.", "Get KRT 418 parameters!");
        row("SetDate", "Set the KRT 418 to selected date and hour.", "Set KRT 418 date and hour!");
        row("SetDefaults", "Set the KRT 418 to the facory defaults parameters.",
            "Set KRT 418 as factory defaults!");
        row("NewSession", "Start a new KRT 418 session.", "Start the new session!");
        row("UploadTimes", "Get all KRT 418 mesured times and display it on the PC.",
            "Get all KRT 418 mesured times!");
        row("UploadPrint",
            "Get all KRT 418 mesured times and display them on the PC and print them.",
            "Get all KRT 418 mesured times and print them!");
        row("ClearMemory", "Clear the full memory of the KRT 418 (all times).",
            "Clear all KRT 418 mesured times!");
        row("buzzer", "Turn on or off the acoustic signal on the KRT 418.", "Switch the buzzer!");
        row("lockinput", "Lock or unlock the KRT 418 inputs 5 to 16.",
            "Switch the lock/unlock system!");
        row("Manual", "Free command to the KRT 418 (particulary functions).", "Enter command!");
        row("Channel1", "Set the time to lock the KRT 418 / input 1.", "Set Lock time input 1!");
        row("Channel4", "Set the time to lock the KRT 418 / input 4.", "Set Lock time input 4!");
        row("Others", "Set the time to lock the KRT 418 / others inputs.",
            "Set Lock time others inputs!");
        row("AccuracyR", "Set the accuracy of the running display.", "Set accuracy time!");
        row("AccuracyP", "Set the accuracy of the printed times.", "Set accuracy time!");
        row("Command6", "Close the RS-232 communication port.", "Close the port!");
        row("Command1", "Close the current window and lose all data ...", "Close!");
        row("Command5", "Clear the data field below (warning, save data before...).",
            "Clear data!");
        row("Text1", "This is the data field. It contains all communication with the KRT 418.",
            "Select text to copy it ...");
        row("Command3", "Save the data from the field above to a file on the PC.", "Save Data!");
    }
    void everyControlHasItsTwoTexts() {
        QFETCH(QString, control);
        QFETCH(QString, longText);
        QFETCH(QString, shortText);
        RDData* w = openOnDevice();
        // "Save mesures ..." answers only once there is something to save.
        w->append(QStringLiteral("something to save\r\n"), colour::Black);
        auto* c = w->findChild<QWidget*>(control);
        QVERIFY(c);
        QVERIFY(c->isEnabled());
        auto* box = qobject_cast<QCheckBox*>(c);
        const QString field = w->Text1->text();

        QCOMPARE(helpAfterPress(w, c, Qt::RightButton), longText);
        QCOMPARE(helpAfterPress(w, c, Qt::LeftButton), shortText);
        QCOMPARE(helpAfterPress(w, c, Qt::MiddleButton), shortText);
        // Help and nothing else: no command went out, nothing was ticked,
        // cleared, saved or closed.
        QVERIFY(device->staysQuiet(50));
        QCOMPARE(w->Text1->text(), field);
        if (box) QVERIFY(!box->isChecked());
        QCOMPARE(RDData::existing(), w);
    }

    void rightPressGivesHelpWithoutActing() {
        RDData* w = openOnDevice();
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                 w->GetDate, w->buzzer, w->lockinput, w->Command6, w->ViewP}) {
            QTest::mouseClick(b, Qt::RightButton, {}, spot(b));
            QVERIFY(!b->isChecked());
        }
        QVERIFY(device->staysQuiet(100));
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(w->Command6->text(), QString("Send XOFF"));
        QCOMPARE(w->Myhelp->text(), QString("Ask the KRT 418 about the current parameters."));
    }

    // The help is written on the press, so the click that follows a left
    // press acts normally and may write its own text over it.
    void leftClickGivesShortHelpThenActs() {
        RDData* w = openOnDevice();
        clickOn(w->GetDate);
        QCOMPARE(w->Myhelp->text(), QString("Get KRT 418 date!"));
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02QD\x95\x03"));

        clickOn(w->buzzer);
        QVERIFY(w->buzzer->isChecked());
        QCOMPARE(w->Myhelp->text(), QString("Switch the buzzer!"));
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02PB\x92\x03"));

        clickOn(w->ViewP);
        QCOMPARE(w->Myhelp->text(), QString("Ask the KRT 418 about all actual Parameters"));
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02QP\xA1\x03"));

        clickOn(w->SetDefaults, Qt::MiddleButton);
        QCOMPARE(w->Myhelp->text(), QString("Set KRT 418 as factory defaults!"));
        QVERIFY(device->staysQuiet(50));

        // Nothing sent, so the text after sending does not follow.
        w->MSComm1->setPortOpen(false);
        clickOn(w->ViewP);
        QCOMPARE(w->Myhelp->text(), QString("Get KRT 418 parameters!"));
        clickOn(w->SetDefaults);
        QCOMPARE(w->Myhelp->text(), QString("Set KRT 418 as factory defaults!"));
    }

    void xonXoffButtonHelpIgnoresItsCaption() {
        RDData* w = openOnDevice();
        for (const char* caption : {"Send XOFF", "Send XON", "Send XOFF"}) {
            QCOMPARE(w->Command6->text(), QString(caption));
            QCOMPARE(helpAfterPress(w, w->Command6, Qt::RightButton),
                     QString("Close the RS-232 communication port."));
            QCOMPARE(helpAfterPress(w, w->Command6, Qt::LeftButton), QString("Close the port!"));
            clickOn(w->Command6);
            QVERIFY(!device->readAtLeast(1).isEmpty());
        }
    }

    void disabledControlsGiveNoHelp() {
        RDData* w = openOnDevice();
        // Nothing to save yet: the button is disabled and silent.
        QVERIFY(!w->Command3->isEnabled());
        QCOMPARE(helpAfterPress(w, w->Command3, Qt::RightButton), kMarker);

        // A dialog disables the data field while it is open.
        w->Text1->setEnabled(false);
        QCOMPARE(helpAfterPress(w, w->Text1, Qt::RightButton), kMarker);
        QCOMPARE(helpAfterPress(w, w->Text1, Qt::LeftButton), kMarker);
        w->releaseDataField();
        QCOMPARE(helpAfterPress(w, w->Text1, Qt::LeftButton),
                 QString("Select text to copy it ..."));

        w->GetDate->setEnabled(false);
        QCOMPARE(helpAfterPress(w, w->GetDate, Qt::RightButton), kMarker);
    }

    void controlsWithoutHelpLeaveTheLine() {
        RDData* w = openOnDevice();
        const QList<QWidget*> silent = {w->Option1[0], w->Option1[1], w->Command2,   w->scroll,
                                        w->Label1,     w->Lch1,       w->TaccuracyP, w->FrameQuery,
                                        w->Myhelp,     w->Shape2};
        for (QWidget* c : silent)
            for (auto button : {Qt::RightButton, Qt::LeftButton, Qt::MiddleButton})
                QCOMPARE(helpAfterPress(w, c, button), kMarker);
        // The field's scroll bar is not the field's text area.
        w->append(QString(200, QLatin1Char('x')) + QStringLiteral("\r\n"), colour::Black);
        QScrollBar* bar = w->Text1->horizontalScrollBar();
        QTRY_VERIFY(bar->isVisible());
        QCOMPARE(helpAfterPress(w, bar, Qt::RightButton), kMarker);
        QVERIFY(!w->Option1[0]->isChecked() && !w->Option1[1]->isChecked());
        QVERIFY(device->staysQuiet(50));
    }

    void cursorsHintAtTheHelp() {
        RDData* w = openOnDevice();
        const QList<QWidget*> own = {w->SetDate,     w->SetDefaults, w->NewSession, w->UploadTimes,
                                     w->UploadPrint, w->ClearMemory, w->Channel1,   w->Channel4,
                                     w->Others,      w->AccuracyR,   w->AccuracyP,  w->buzzer,
                                     w->lockinput,   w->Command5,    w->Command3};
        const QPixmap art = w->SetDate->cursor().pixmap();
        QVERIFY(!art.isNull());
        // The art really loaded: the arrow's outline is drawn at its tip.
        QVERIFY(qAlpha(art.toImage().pixel(1, 3)) > 0);
        QCOMPARE(w->SetDate->cursor().hotSpot(), QPoint(1, 1));
        for (QWidget* c : own) {
            QVERIFY2(c->testAttribute(Qt::WA_SetCursor), qPrintable(c->objectName()));
            QCOMPARE(c->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(c->cursor().pixmap().cacheKey(), art.cacheKey());
        }
        for (QWidget* c : {w->GetDate, w->MemFree, w->ViewP})
            QCOMPARE(c->cursor().shape(), Qt::WhatsThisCursor);
        for (QWidget* c : {(QWidget*)w->Manual, (QWidget*)w->Command1, (QWidget*)w->Command6,
                           (QWidget*)w->Option1[0], (QWidget*)w->scroll})
            QVERIFY2(!c->testAttribute(Qt::WA_SetCursor), qPrintable(c->objectName()));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
