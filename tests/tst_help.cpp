// Context help of the data window (the help line under every control) and
// the cursors that hint at it, with real mouse presses on the real widgets.

#include "datawindow/controltable.h"
#include "fakedevice.h"
#include "link/serialportcomponent.h"
#include "logview/colours.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {
const QString kMarker = QStringLiteral("(marker)");

enum class Hint { None, Own, WhatsThis };

// What the operator gets from each control of the data window, by its name:
// the help line after a right press and after any other press (none: the
// line stays as it was), and the cursor that hints at the help.
struct Golden {
    const char* control;
    const char* longText;
    const char* shortText;
    Hint cursor;
};
const Golden kGolden[] = {
    {"GetDate", "Ask the KRT 418 about the current date memorised onto it.", "Get KRT 418 date!",
     Hint::WhatsThis},
    {"MemFree", "Ask the KRT 418 about the current memory free.", "Get KRT 418 memory free!",
     Hint::WhatsThis},
    {"ViewP", "Ask the KRT 418 about the current parameters.", "Get KRT 418 parameters!",
     Hint::WhatsThis},
    {"SetDate", "Set the KRT 418 to selected date and hour.", "Set KRT 418 date and hour!",
     Hint::Own},
    {"SetDefaults", "Set the KRT 418 to the facory defaults parameters.",
     "Set KRT 418 as factory defaults!", Hint::Own},
    {"NewSession", "Start a new KRT 418 session.", "Start the new session!", Hint::Own},
    {"UploadTimes", "Get all KRT 418 mesured times and display it on the PC.",
     "Get all KRT 418 mesured times!", Hint::Own},
    {"UploadPrint", "Get all KRT 418 mesured times and display them on the PC and print them.",
     "Get all KRT 418 mesured times and print them!", Hint::Own},
    {"ClearMemory", "Clear the full memory of the KRT 418 (all times).",
     "Clear all KRT 418 mesured times!", Hint::Own},
    {"buzzer", "Turn on or off the acoustic signal on the KRT 418.", "Switch the buzzer!",
     Hint::Own},
    {"lockinput", "Lock or unlock the KRT 418 inputs 5 to 16.", "Switch the lock/unlock system!",
     Hint::Own},
    {"Manual", "Free command to the KRT 418 (particulary functions).", "Enter command!",
     Hint::None},
    {"Channel1", "Set the time to lock the KRT 418 / input 1.", "Set Lock time input 1!",
     Hint::Own},
    {"Channel4", "Set the time to lock the KRT 418 / input 4.", "Set Lock time input 4!",
     Hint::Own},
    {"Others", "Set the time to lock the KRT 418 / others inputs.", "Set Lock time others inputs!",
     Hint::Own},
    {"AccuracyR", "Set the accuracy of the running display.", "Set accuracy time!", Hint::Own},
    {"AccuracyP", "Set the accuracy of the printed times.", "Set accuracy time!", Hint::Own},
    {"Command6", "Close the RS-232 communication port.", "Close the port!", Hint::None},
    {"Command1", "Close the current window and lose all data ...", "Close!", Hint::None},
    {"Command5", "Clear the data field below (warning, save data before...).", "Clear data!",
     Hint::Own},
    {"Text1", "This is the data field. It contains all communication with the KRT 418.",
     "Select text to copy it ...", Hint::None},
    {"Command3", "Save the data from the field above to a file on the PC.", "Save Data!",
     Hint::Own},
    {"Lch1", nullptr, nullptr, Hint::None},
    {"Lch4", nullptr, nullptr, Hint::None},
    {"Lothers", nullptr, nullptr, Hint::None},
    {"TaccuracyR", nullptr, nullptr, Hint::None},
    {"TaccuracyP", nullptr, nullptr, Hint::None},
    {"Option1_0", nullptr, nullptr, Hint::None},
    {"Option1_1", nullptr, nullptr, Hint::None},
    {"Command2", nullptr, nullptr, Hint::None},
    {"Command4", "Open a session kept on the PC and show it again (nothing is sent).",
     "Open a session!", Hint::Own},
    {"scroll", nullptr, nullptr, Hint::None},
    {"Times",
     "Show the time of each line at the left of the data field (click the times or press "
     "Ctrl+Shift+T: time of day or time since the line before).",
     "Show the times of the lines!", Hint::None},
    {"Bytes",
     "Show the bytes sent and received, in hex and as characters, in place of the data "
     "field.",
     "Show the bytes on the line!", Hint::None},
};
} // namespace

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

    // Every control of the table has its row here, and every row here is a
    // control of the table.
    void everyControlHasItsGoldenRow() {
        QStringList table, golden;
        for (const controls::Control& c : controls::table())
            table << QString::fromLatin1(c.name);
        for (const Golden& g : kGolden)
            golden << QString::fromLatin1(g.control);
        table.sort();
        golden.sort();
        QCOMPARE(golden, table);
    }

    void everyControlHasItsTwoTexts_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("longText");
        QTest::addColumn<QString>("shortText");
        for (const Golden& g : kGolden)
            QTest::newRow(g.control) << g.control << (g.longText ? g.longText : kMarker)
                                     << (g.shortText ? g.shortText : kMarker);
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
        QVERIFY(c->isEnabled() || longText == kMarker);
        auto* box = qobject_cast<QAbstractButton*>(c);
        const bool ticked = box && box->isChecked();
        const QString field = w->Text1->text();

        QCOMPARE(helpAfterPress(w, c, Qt::RightButton), longText);
        QCOMPARE(helpAfterPress(w, c, Qt::LeftButton), shortText);
        QCOMPARE(helpAfterPress(w, c, Qt::MiddleButton), shortText);
        // Help and nothing else: no command went out, nothing was ticked,
        // cleared, chosen, saved or closed.
        QVERIFY(device->staysQuiet(50));
        QCOMPARE(w->Text1->text(), field);
        if (box) QCOMPARE(box->isChecked(), ticked);
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

    // Beyond the controls of the table (above): the rest of the window.
    void controlsWithoutHelpLeaveTheLine() {
        RDData* w = openOnDevice();
        const QList<QWidget*> silent = {w->Label1, w->FrameQuery, w->Myhelp, w->Shape2};
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
        const QPixmap art = w->SetDate->cursor().pixmap();
        QVERIFY(!art.isNull());
        // The art really loaded: the arrow's outline is drawn at its tip.
        QVERIFY(qAlpha(art.toImage().pixel(1, 3)) > 0);
        QCOMPARE(w->SetDate->cursor().hotSpot(), QPoint(1, 1));
        for (const Golden& g : kGolden) {
            auto* c = w->findChild<QWidget*>(g.control);
            QVERIFY2(c, g.control);
            QCOMPARE(c->testAttribute(Qt::WA_SetCursor), g.cursor != Hint::None);
            if (g.cursor == Hint::WhatsThis) QCOMPARE(c->cursor().shape(), Qt::WhatsThisCursor);
            if (g.cursor != Hint::Own) continue;
            QCOMPARE(c->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(c->cursor().pixmap().cacheKey(), art.cacheKey());
        }
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
