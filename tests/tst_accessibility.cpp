// Keyboard and assistive-technology use of the main and data windows.

#include "datawindow/colours.h"
#include "fakedevice.h"
#include "shell/krt418.h"
#include "testsupport.h"

#include "link/serialportcomponent.h"
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {
QString accessibleText(QWidget* w, QAccessible::Text which = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(which) : QStringLiteral("<no interface>");
}

// The widgets Tab visits from the window's first focus widget, in order.
QList<QWidget*> tabChain(QWidget* window) {
    QList<QWidget*> chain;
    QWidget* start = window->nextInFocusChain();
    QWidget* w = start;
    do {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->window() == window)
            chain.append(w);
        w = w->nextInFocusChain();
    } while (w != start && chain.size() < 200);
    return chain;
}
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDevice> device;

private slots:
    void initTestCase() { QAccessible::setActive(true); }

    void cleanup() {
        unloadDataWindow();
        device.reset();
    }

    void dataWindowControlsAreNamedByTheirCaptions() {
        RDData* w = openDataWindowOn(device);
        const auto buttons = w->findChildren<QAbstractButton*>();
        QVERIFY(buttons.size() >= 25);
        for (QAbstractButton* b : buttons)
            QCOMPARE(accessibleText(b), b->text());
        for (QGroupBox* g : w->findChildren<QGroupBox*>())
            QCOMPARE(accessibleText(g), g->title());
        // The XON/XOFF button's name follows its caption.
        clickOn(w->Command6);
        QCOMPARE(accessibleText(w->Command6), QString("Send XON"));
        // Labels expose their text: help line and display labels.
        QCOMPARE(accessibleText(w->Myhelp), w->Myhelp->text());
        w->Lch1->setText("5 sec.");
        QCOMPARE(accessibleText(w->Lch1), QString("5 sec."));
        // The data field exposes its whole text.
        w->GetDate->click();
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(w->Text1);
        QVERIFY(field);
        QCOMPARE(field->text(QAccessible::Name), QString("Data from/to KRT 418"));
        QAccessibleTextInterface* text = field->textInterface();
        QVERIFY(text);
        QVERIFY(text->text(0, text->characterCount()).startsWith(">> SENDING XOFF <<"));
    }

    // Switch access and screen readers change the switches through their
    // "Toggle" action; that must do what a click does, no more and no less.
    void toggleActionActsAsAClick() {
        RDData* w = openDataWindowOn(device);
        int reopens = 0;
        // The counter lives on this stack: the connection must not outlive it.
        QObject counting;
        connect(w->MSComm1->port(), &QIODevice::aboutToClose, &counting, [&] { ++reopens; });
        const auto toggle = [](QAbstractButton* b) {
            QAccessible::queryAccessibleInterface(b)->actionInterface()->doAction(
                QAccessibleActionInterface::toggleAction());
        };
        toggle(w->lockinput);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02Pe\xB5\x03"));
        FakeDevice second;
        second.attachAs(2);
        toggle(w->Option1[1]);
        toggle(w->Option1[1]); // the chosen port cannot be toggled off
        QCOMPARE(reopens, 1);
        w->buzzer->animateClick(); // the "Press" action: one frame, not two
        QCOMPARE(second.readAtLeast(5, 500), QByteArray("\x02PB\x92\x03"));
        // A click re-opens once, whether it turns the button on or not.
        clickOn(w->Option1[0]);
        clickOn(w->Option1[0]);
        QCOMPARE(reopens, 3);
    }

    void everyDataWindowControlIsReachableWithTab() {
        RDData* w = openDataWindowOn(device);
        const QList<QWidget*> chain = tabChain(w);
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
            // (the find bar's buttons only while the bar is shown)
            if (b->isEnabled() && b->isVisibleTo(w))
                QVERIFY2(chain.contains(b), qPrintable(b->objectName()));
        }
        QVERIFY(chain.contains(w->Text1));
        // Groups in reading order: queries before commands before the port.
        QVERIFY(chain.indexOf(w->GetDate) < chain.indexOf(w->SetDate));
        QVERIFY(chain.indexOf(w->SetDate) < chain.indexOf(w->buzzer));
        QVERIFY(chain.indexOf(w->Others) < chain.indexOf(w->Command6));
    }

    void mainWindowClockAndButtons() {
        KRT418 w;
        w.show();
        for (QPushButton* b : w.findChildren<QPushButton*>())
            QCOMPARE(accessibleText(b), b->text());
        QCOMPARE(accessibleText(w.MSGtime), w.MSGtime->text());
        QCOMPARE(accessibleText(w.MSGDate), w.MSGDate->text());
        QVERIFY(!w.MSGtime->text().isEmpty());
        const QList<QWidget*> chain = tabChain(&w);
        QVERIFY(chain.contains(w.Command1) && chain.contains(w.Command2) &&
                chain.contains(w.Command3));
    }

    void dataFieldKeepsItsColoursOnWhite() {
        device = std::make_unique<FakeDevice>();
        device->attachAs(1);
        RDData* w = RDData::instance();
        QPalette dark = QApplication::palette();
        dark.setColor(QPalette::Base, Qt::black);
        dark.setColor(QPalette::Text, Qt::white);
        QApplication::setPalette(dark);
        w->show();
        QCOMPARE(w->Text1->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(w->Text1->palette().color(QPalette::Disabled, QPalette::Base), QColor(Qt::white));
        QApplication::setPalette(QPalette());
    }

    // A reader tells a sent frame (red) from the device's answer (blue), and
    // gets a visible stand-in for a received NUL, while the field stays exact.
    void fieldTextKeepsItsColours() {
        RichTextField field;
        field.setSelColor(colour::Red);
        field.setSelText(QStringLiteral("<02>QD<95><03>\r\n"));
        field.setSelColor(colour::Blue);
        field.setSelText(QString::fromLatin1("A\0B\r", 4));
        QAccessibleTextInterface* text =
            QAccessible::queryAccessibleInterface(&field)->textInterface();
        int start = -1, end = -1;
        QVERIFY(text->attributes(3, &start, &end).contains(QStringLiteral("color:rgb(255,0,0);")));
        QCOMPARE(start, 0);
        QCOMPARE(end, 15); // the frame and its line end
        QVERIFY(text->attributes(16, &start, &end).contains(QStringLiteral("color:rgb(0,0,255);")));
        QCOMPARE(start, 15);
        QCOMPARE(end, text->characterCount());
        QCOMPARE(text->text(15, 19), QStringLiteral("A\u2400B\n"));
        QCOMPARE(field.text().mid(16), QString::fromLatin1("A\0B\r\n", 5));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
