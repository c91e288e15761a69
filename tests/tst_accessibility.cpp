// Keyboard and assistive-technology use of the main and data windows.

#include "datawindow/controltable.h"
#include "fakedevice.h"
#include "logview/colours.h"
#include "shell/krt418.h"
#include "testsupport.h"

#include "link/serialportcomponent.h"
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <iterator>
#include <map>
#include <tuple>

namespace {
double luminance(const QColor& c) {
    const auto linear = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

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
        // A key's mark is not read out: "&Times" is "Times".
        for (QAbstractButton* b : buttons)
            QCOMPARE(accessibleText(b), QString(b->text()).remove('&'));
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

    // Tab goes through the controls in the order of the table, and the table
    // lists them as they stand on screen: place by place in reading order,
    // each place below or right of the one before, and in a place row by row,
    // each row from left to right, in the grid cells the rows name.
    void tabChainFollowsTheTableAndTheScreen() {
        RDData* w = openDataWindowOn(device);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const std::vector<controls::Control>& table = controls::table();
        const auto cell = [](const controls::Control& c) {
            return std::tuple(c.place, c.row, c.column);
        };
        QList<QWidget*> inTabOrder;
        std::map<controls::Place, QRect> places;
        for (size_t i = 0; i < table.size(); ++i) {
            const controls::Control& c = table[i];
            if (i > 0) QVERIFY2(cell(table[i - 1]) < cell(c), c.name);
            auto* widget = w->findChild<QWidget*>(c.name);
            QVERIFY2(widget, c.name);
            int row = -1, column = -1, rowSpan, columnSpan;
            for (QGridLayout* grid : w->findChildren<QGridLayout*>())
                if (const int at = grid->indexOf(widget); at >= 0)
                    grid->getItemPosition(at, &row, &column, &rowSpan, &columnSpan);
            QVERIFY2(row == c.row && column == c.column, c.name);
            places[c.place] |= QRect(widget->mapTo(w, QPoint()), widget->size());
            if (widget->focusPolicy() & Qt::TabFocus) inTabOrder << widget;
        }
        for (auto at = std::next(places.begin()); at != places.end(); ++at) {
            const QRect before = std::prev(at)->second, here = at->second;
            QVERIFY2(here.top() > before.bottom() || here.left() > before.right(),
                     qPrintable(QString::number(int(at->first))));
        }
        QList<QWidget*> chain;
        for (QWidget* at = inTabOrder.first(); chain.size() < inTabOrder.size();
             at = at->nextInFocusChain())
            if ((at->focusPolicy() & Qt::TabFocus) && at->isVisibleTo(w)) chain << at;
        QCOMPARE(chain, inTabOrder);
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

    // Under a dark style sheet the field keeps its light paper: each colour
    // of the log, read off the painted pixels, keeps its contrast.
    void dataFieldReadsUnderADarkStyleSheet() {
        qApp->setStyleSheet(
            QStringLiteral("QWidget { background-color: #202124; color: #e8eaed; }"));
        RichTextField field;
        field.resize(400, 200);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        // Each line: a colour and the least contrast its text must keep.
        const QList<std::pair<int, double>> lines = {
            {colour::Black, 12.0}, {colour::Red, 3.2}, {colour::Blue, 6.0}, {colour::Black, 3.2}};
        for (const auto& [number, least] : lines) {
            field.setSelColor(number);
            field.setSelText(QStringLiteral("MWMWMWMW 0000 ####\r\n"));
        }
        field.setSelection(int(field.store().lineStart(3)), int(field.store().lineStart(3)) + 8);
        QVERIFY(waitUntil([&] { return !field.paintingHeld(); }));
        const QImage shot = field.viewport()->grab().toImage();
        bool inked = false;
        for (int line = 0; line < lines.size(); ++line) {
            const QRect first = field.characterRect(field.store().lineStart(line));
            const QRect cells(first.left(), first.top(), first.width() * 8, first.height());
            // The paper, beyond the line's end; in the selected line, the selection.
            const QColor paper = shot.pixelColor(shot.width() - 2, cells.center().y());
            QVERIFY2(luminance(paper) > 0.9, qPrintable(paper.name()));
            const QColor ground = line == 3 ? shot.pixelColor(cells.topLeft()) : paper;
            double best = 1;
            for (int y = cells.top(); y <= cells.bottom(); ++y)
                for (int x = cells.left(); x <= cells.right(); ++x)
                    best = std::max(best, contrast(shot.pixelColor(x, y), ground));
            inked = inked || best > 1.5;
            if (best > 1.5) // glyphs drawn (a machine without fonts draws none)
                QVERIFY2(best >= lines[line].second,
                         qPrintable(QStringLiteral("line %1: %2").arg(line).arg(best)));
        }
        qApp->setStyleSheet(QString());
        if (!inked) QSKIP("no glyph drawn on this machine: only the paper was checked");
    }

    // A field larger than a bus message: every answer stays bounded, and
    // the line at an offset is found without the whole text.
    void aLargeFieldAnswersInBoundedPieces() {
        RichTextField field;
        const QString line = QString(99, QLatin1Char('x')) + QStringLiteral("\r\n");
        const int lineCount = (1 << 20) / 100 + 50;
        field.setSelText(line.repeated(lineCount) + QStringLiteral("last words"));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&field);
        QAccessibleTextInterface* text = iface->textInterface();
        QCOMPARE(text->characterCount(), lineCount * 100 + 10);
        QCOMPARE(text->text(0, -1).size(), 1 << 20);
        QCOMPARE(iface->text(QAccessible::Value).size(), 1 << 20);
        int start = -1, end = -1;
        QCOMPARE(text->textAtOffset(lineCount * 100 + 3, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("last words"));
        QCOMPARE(
            text->textBeforeOffset(lineCount * 100 + 3, QAccessible::LineBoundary, &start, &end),
            QString(99, QLatin1Char('x')) + QLatin1Char('\n'));
        QCOMPARE(start, (lineCount - 1) * 100);
        QCOMPARE(text->textAtOffset(lineCount * 100 + 7, QAccessible::WordBoundary, &start, &end),
                 QStringLiteral("words"));
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
