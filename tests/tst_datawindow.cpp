// The data window's start-up, its data field and the receive loop, against a
// fake device on a pseudo-terminal.

#include "datawindow/recordwindow.h"
#include "datawindow/wrappedlines.h"
#include "dialogs/locktime.h"
#include "fakedevice.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/portbinding.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "link/wirerecord.h"
#include "logview/byteview.h"
#include "logview/colours.h"
#include "logview/paintscheduler.h"
#include "logview/richtextfield.h"
#include "testsupport.h"

#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSerialPort>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWheelEvent>

namespace {
// Counts the events of one type a widget gets.
class EventCounter : public QObject {
public:
    EventCounter(QWidget* watched, QEvent::Type type, int* count) : type_(type), count_(count) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) ++*count_;
        return false;
    }

private:
    QEvent::Type type_;
    int* count_;
};

// Where a scroll bar's handle is drawn, as its style places it.
struct SliderPeek : QScrollBar {
    static QRect rect(const QScrollBar* bar) {
        QStyleOptionSlider option;
        (bar->*(&SliderPeek::initStyleOption))(&option);
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                            QStyle::SC_ScrollBarSlider, bar);
    }
};
QRect sliderRect(const QScrollBar* bar) {
    return SliderPeek::rect(bar);
}

// The bytes of one direction in the wire record, in order.
QByteArray recorded(const WireRecord& record, WireRecord::Direction direction) {
    QByteArray out;
    for (qsizetype i = 0; i < record.chunkCount(); ++i)
        if (record.chunkDirection(i) == direction)
            out +=
                record.bytes(record.chunkOffset(i), record.chunkOffset(i) + record.chunkLength(i));
    return out;
}
} // namespace

class TestDataWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDevice> device;

    RDData* openOnDevice() { return openDataWindowOn(device); }

private slots:
    void cleanup() {
        unloadDataWindow();
        device.reset();
        platform::resetSeams();
        QSettings().remove("view");
    }

    // When each line came and which bytes went over the line, switched by
    // mouse and keys and remembered for the next window; "Clear" clears both.
    void timesAndBytesOfTheLine() {
        using Column = RichTextField::TimeColumn;
        platform::seams().now = [] { return QDateTime(QDate(2026, 12, 10), QTime(14, 3, 0)); };
        QSettings().setValue("view/times", "no"); // as a person writes it
        RDData* w = openOnDevice();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QApplication::setActiveWindow(w);
        QCOMPARE(w->Text1->timeColumn(), Column::Hidden);
        QVERIFY(w->Text1->isVisible() && !w->byteView()->isVisible());
        w->GetDate->click();
        const QByteArray frame = device->readAtLeast(5);
        const QByteArray answer("\x06"
                                "07.02.97 14:30:00\r\x00\xff",
                                21);
        QVERIFY(device->write(answer));
        const WireRecord& record = w->wireRecord();
        QVERIFY(
            waitUntil([&] { return recorded(record, WireRecord::Direction::Received) == answer; }));
        QCOMPARE(recorded(record, WireRecord::Direction::Sent), frame);

        clickOn(w->Times);
        QCOMPARE(w->Text1->timeColumn(), Column::TimeOfDay);
        // The title's line, then the device's lines, no earlier than it.
        QVERIFY2(w->Text1->timeText(0).startsWith("14:03:0"), qPrintable(w->Text1->timeText(0)));
        QVERIFY(w->Text1->store().lineTime(2) >= w->Text1->store().lineTime(0));
        QCOMPARE(w->Text1->store().lineTime(2), record.chunkTime(record.chunkCount() - 1));
        QTest::keyClick(w, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w->Text1->timeColumn(), Column::SincePrevious);
        QVERIFY(w->Text1->timeText(1).startsWith('+'));
        QVERIFY(w->Text1->text().startsWith(">> GET DATE <<\r\n")); // no part of the text

        QTest::keyClick(w, Qt::Key_B, Qt::AltModifier); // a key clicks as the mouse does
        QVERIFY(waitUntil([&] { return w->Bytes->isChecked(); }));
        QVERIFY(w->byteView()->isVisible() && !w->Text1->isVisible());
        // A row for the 5 sent, two at least for the 21 received.
        QVERIFY(w->byteView()->rows().rowCount() >= 3);

        // The next window takes the same views.
        unloadDataWindow();
        w = openOnDevice();
        QVERIFY(w->Times->isChecked() && w->Bytes->isChecked());
        QCOMPARE(w->Text1->timeColumn(), Column::SincePrevious);
        clickOn(w->Bytes);
        QVERIFY(w->Text1->isVisibleTo(w) && !w->byteView()->isVisibleTo(w));

        w->GetDate->click();
        QVERIFY(waitUntil([&] { return w->byteView()->rows().rowCount() > 0; }));
        clickOn(w->Command5);
        QCOMPARE(w->wireRecord().byteCount(), 0);
        QCOMPARE(w->byteView()->rows().rowCount(), 0);
    }

    void startupOnAFreePort() {
        BeepCounter beeps;
        RDData* w = openOnDevice();
        QVERIFY(w->MSComm1->portOpen());
        QCOMPARE(w->MSComm1->commPort(), 1);
        QCOMPARE(w->MSComm1->settings(), QString("9600,N,8,1"));
        QCOMPARE(w->MSComm1->inputLen(), krt::line::InputLengthBytes);
        QCOMPARE(w->MSComm1->port()->baudRate(), 9600);
        QCOMPARE(w->windowTitle(), QString("Read Data"));
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(w->Text1->selColor(), colour::Red);
        QCOMPARE(w->Command6->text(), QString("Send XOFF"));
        QCOMPARE(
            w->Myhelp->text(),
            QString("Select a button an click right button to get a help about this function"));
        QCOMPARE(beeps.count, 0);
        QVERIFY(!w->Command3->isEnabled());
        QVERIFY(!w->Command2->isEnabled());
        QVERIFY(w->scroll->isChecked());
        QVERIFY(!w->Option1[0]->isChecked() && !w->Option1[1]->isChecked());
        QVERIFY(w->timer1Enabled());
        for (QWidget* b : {(QWidget*)w->GetDate, (QWidget*)w->SetDate, (QWidget*)w->buzzer,
                           (QWidget*)w->Manual, (QWidget*)w->AccuracyP, (QWidget*)w->Command1})
            QVERIFY(b->isEnabled());
        for (QLabel* l : {w->Lch1, w->Lch4, w->Lothers, w->TaccuracyR, w->TaccuracyP})
            QCOMPARE(l->text(), QString());
        // Configure twice: the same window, nothing re-opened or reset.
        w->GetDate->click();
        QCOMPARE(RDData::instance(), w);
        QVERIFY(w->Text1->text().startsWith(">> GET DATE <<"));
    }

    void startupWithCom1Missing() {
        BeepCounter beeps;
        pointPortAtNothing(1);
        krt::setPortLister([] {
            return QList<krt::DetectedPort>{{"/dev/ttyUSB9", {}, "Adapter", {}, {}},
                                            {"/dev/ttyS1", {}, {}, {}, {}}};
        });
        RDData* w = RDData::instance();
        krt::setPortLister({});
        QCOMPARE(beeps.count, 2);
        QVERIFY(!w->MSComm1->portOpen());
        const QString text = w->Text1->text();
        QVERIFY2(text.startsWith("Error #  8002\r\n"), qPrintable(text));
        QVERIFY(text.contains("/dev/krt418-no-such-port"));
        // Then, in black, the ports present and how to choose one, in lines
        // that the field shows whole at the window's first size.
        QVERIFY2(text.endsWith("\r\nSerial ports found: /dev/ttyUSB9\r\n(Adapter), /dev/ttyS1. "
                               "Right click on\r\n\"Com1\" to choose one.\r\n"),
                 qPrintable(text));
        for (const QString& line : text.split("\r\n"))
            QVERIFY2(line.size() <= kHintColumns || !line.contains(' '), qPrintable(line));
        QCOMPARE(colouredText(w->Text1).count('['), 1);
        QVERIFY(colouredText(w->Text1).startsWith("[0]"));
        // Start-up goes on: every button usable, the ready help shown.
        QVERIFY(w->GetDate->isEnabled());
        QCOMPARE(
            w->Myhelp->text(),
            QString("Select a button an click right button to get a help about this function"));
        // Ticks on the closed port read nothing and write nothing.
        QTest::qWait(20);
        QCOMPARE(w->Text1->text(), text);
    }

    void startupWithCom1HeldElsewhere() {
        BeepCounter beeps;
        FakeDevice held;
        held.attachAs(1);
        QSerialPort other(held.path());
        QVERIFY(other.open(QIODevice::ReadWrite));
        RDData* w = RDData::instance();
        QCOMPARE(beeps.count, 1);
        QVERIFY(w->Text1->text().startsWith("Error #  8005\r\n"));
        QCOMPARE(w->Myhelp->text(), QString("Select communication port and activate it !"));
    }

    void chunkTransform_data() {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("ack alone") << QByteArray("\x06") << QByteArray("<ACK>\r\n");
        QTest::newRow("ack inside") << QByteArray("ab\x06"
                                                  "cd")
                                    << QByteArray("ab<ACK>\r\ncd");
        QTest::newRow("ack and nak")
            << QByteArray("\x15x\x06y") << QByteArray("<NACK>\r\nx<ACK>\ry");
        QTest::newRow("two acks") << QByteArray("\x06\x06") << QByteArray("<ACK>\r\n\x06");
        QTest::newRow("two crs") << QByteArray("a\rb\rc") << QByteArray("a\r\nb\rc");
        QTest::newRow("nak only") << QByteArray("\x15") << QByteArray("<NACK>\r\n");
        QTest::newRow("stx etx kept")
            << QByteArray("\x02QD\x95\x03") << QByteArray("\x02QD\x95\x03");
        QTest::newRow("empty") << QByteArray() << QByteArray("");
    }
    void chunkTransform() {
        QFETCH(QByteArray, chunk);
        QFETCH(QByteArray, text);
        QCOMPARE(transformChunk(chunk), QString::fromLatin1(text));
    }

    void deviceTextIsBlueAndColourIsRestored() {
        RDData* w = openOnDevice();
        w->GetDate->click();
        QVERIFY(device->write("\x06"
                              "07.02.97 14:30:00             \r"));
        QVERIFY(waitUntil([&] {
            return w->Text1->text().endsWith("\r\n\r\n") || w->Text1->text().endsWith("   \r\n");
        }));
        QCOMPARE(colouredText(w->Text1),
                 QString("[0]>> GET DATE <<\n[255]<02>QD<95><03>\n"
                         "[16711680]<ACK>\n07.02.97 14:30:00             \n"));
        QCOMPARE(w->Text1->selColor(), colour::Red);
        // At most an input length a tick: a long answer arrives in pieces,
        // each transformed on its own, so every first CR of a piece gets its LF.
        w->Text1->setText(QString());
        const QByteArray a(krt::line::InputLengthBytes - 1, 'A');
        const QByteArray b(krt::line::InputLengthBytes - 1, 'B');
        QVERIFY(device->write(a + '\r' + b + '\r'));
        QVERIFY(waitUntil([&] { return w->Text1->length() >= 2 * (a.size() + 1); }));
        QCOMPARE(w->Text1->text(), QString(a + "\r\n" + b + "\r\n"));
    }

    void everyByteValueArrivesAsItsCharacter() {
        RDData* w = openOnDevice();
        // All 256 values but those the receive loop turns into text or line ends.
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            if (i != 0x06 && i != 0x15 && i != '\r' && i != '\n') all.append(char(i));
        QVERIFY(device->write(all));
        QVERIFY(waitUntil([&] { return w->Text1->length() >= all.size(); }));
        QCOMPARE(w->Text1->text(), QString::fromLatin1(all));
        QCOMPARE(krt::toWire(w->Text1->text()), all);
    }

    void nothingLostIn100kB() {
        RDData* w = openOnDevice();
        QByteArray data(100 * 1024, Qt::Uninitialized);
        auto* rng = QRandomGenerator::global();
        for (char& c : data) {
            do
                c = char(rng->bounded(256));
            while (c == 0x06 || c == 0x15 || c == '\r');
        }
        QVERIFY(device->write(data));
        QVERIFY(waitForLength(w->Text1, data.size(), 30000));
        QTest::qWait(20);
        QCOMPARE(w->Text1->length(), data.size());
        // Line feeds are line ends in the field, read back as CR LF.
        QVERIFY(w->Text1->text() == QString::fromLatin1(data).replace("\n", "\r\n"));
    }

    void autoScrollOffLeavesTheViewAndSelection() {
        RDData* w = openOnDevice();
        w->resize(900, 500);
        QString many;
        for (int i = 0; i < 200; ++i)
            many += QStringLiteral("line %1\r\n").arg(i);
        w->append(many, colour::Black);
        QScrollBar* bar = w->Text1->verticalScrollBar();
        QTRY_VERIFY(bar->value() >= bar->maximum() - 1);
        w->scroll->setChecked(false);
        w->Text1->setFocus();
        bar->setValue(0);
        w->Text1->setSelection(0, 4);
        QVERIFY(device->write("device says hello\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().contains("hello"); }));
        QCOMPARE(bar->value(), 0);
        QCOMPARE(w->Text1->selectedText(), QString("line"));
        QVERIFY(w->Text1->isEnabled());
        QCOMPARE(w->focusWidget(), w->Text1); // not handed on by the quiet insertion
        QVERIFY(w->Text1->text().endsWith("line 199\r\ndevice says hello\r\n"));
        // A command's title line brings the view to the end again.
        w->MemFree->click();
        QTRY_VERIFY(bar->value() >= bar->maximum() - 1);
        QVERIFY(bar->maximum() > 0);
    }

    void aButtonHeldDuringAFloodStillClicks() {
        RDData* w = openOnDevice();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->append("before\r\n", colour::Black);
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        // A device line every millisecond while "Clear" is held for 100 ms.
        QTimer lines;
        connect(&lines, &QTimer::timeout,
                [&] { device->write("T000001 IN01 00:00:01.000    \r"); });
        lines.start(1);
        QVERIFY(waitUntil([&] { return w->Text1->length() > 200; }));
        const QPoint centre = w->Command5->rect().center();
        QTest::mousePress(w->Command5, Qt::LeftButton, {}, centre);
        const int during = w->Text1->length();
        QVERIFY(!waitUntil([] { return false; }, 100));
        QVERIFY(w->Text1->length() > during);
        QTest::mouseRelease(w->Command5, Qt::LeftButton, {}, centre);
        lines.stop();
        QVERIFY(!w->Text1->text().contains("before"));
        // Once the button is let go, the field takes the focus as before.
        QVERIFY(device->write("after\r"));
        QVERIFY(waitUntil([&] { return QApplication::focusWidget() == w->Text1; }));
    }

    void tabAndSpaceWorkWhileTheDeviceTalks() {
        RDData* w = openOnDevice();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->append("before\r\n", colour::Black);
        QTimer lines;
        connect(&lines, &QTimer::timeout,
                [&] { device->write("T000001 IN01 00:00:01.000    \r"); });
        lines.start(1);
        // Tab leads from the field through the controls to "Clear".
        QWidget* focus = w->Text1;
        for (int i = 0; i < 50 && focus != w->Command5; ++i) {
            QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
            QVERIFY(!waitUntil([] { return false; }, 5));
            QVERIFY(QApplication::focusWidget() != w->Text1);
            focus = QApplication::focusWidget();
        }
        QCOMPARE(focus, w->Command5);
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Space);
        lines.stop();
        QVERIFY(!w->Text1->text().contains("before"));
    }

    void typingIntoADialogWhileTheDeviceAnswers() {
        RDData* w = openOnDevice();
        QVERIFY(QTest::qWaitForWindowActive(w));
        clickOn(w->Channel1);
        LockTime* d = LockTime::existing();
        QVERIFY(d && QTest::qWaitForWindowActive(d));
        QCOMPARE(QApplication::focusWidget(), d->TLock);
        for (const char key : {'4', '2'}) {
            const int before = w->Text1->length();
            QVERIFY(device->write("\x06"
                                  "answer\r"));
            QVERIFY(waitUntil([&] { return w->Text1->length() > before; }));
            QVERIFY(w->Text1->isEnabled());                       // the answer re-enables it
            QTest::keyClick(static_cast<QWidget*>(nullptr), key); // to the focus
        }
        QCOMPARE(d->TLock->text(), QString("42"));
        QCOMPARE(QApplication::activeWindow(), d);
    }

    // Every character has a cell of its own, whatever it is: a click in a
    // cell lands on its character, and Up and Down keep the column across
    // tabs and control characters.
    void cellsAndKeys_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("expected");
        const auto shift = [](int key) { return key | int(Qt::ShiftModifier); };
        // "ab\tc" puts c at column 8; below it, the 9th character.
        QTest::newRow("down past a tab") << QStringLiteral("ab\tc\r\n0123456789\r\n") << 3
                                         << QList<int>{Qt::Key_Down} << 13 << 13;
        QTest::newRow("up into a tab")
            << QStringLiteral("\tx\r\n0123\r\n") << 7 << QList<int>{Qt::Key_Up} << 0 << 0;
        QTest::newRow("controls are one cell") << QString::fromLatin1("\x01\x02\xad"
                                                                      "z\r\nabcd\r\n",
                                                                      10)
                                               << 3 << QList<int>{Qt::Key_Down} << 8 << 8;
        QTest::newRow("shift end, shift down")
            << QStringLiteral("one\r\ntwo\r\nthree") << 0
            << QList<int>{shift(Qt::Key_End), shift(Qt::Key_Down)} << 0 << 7;
        QTest::newRow("ctrl end, shift ctrl home")
            << QStringLiteral("one\r\ntwo") << 1
            << QList<int>{Qt::Key_End | int(Qt::ControlModifier),
                          shift(Qt::Key_Home | int(Qt::ControlModifier))}
            << 7 << 0;
        QTest::newRow("page down stops at the last line")
            << QStringLiteral("a\r\nb\r\nc") << 0 << QList<int>{Qt::Key_PageDown} << 4 << 4;
    }
    void cellsAndKeys() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QList<int>, keys);
        QFETCH(int, anchor);
        QFETCH(int, expected);
        RichTextField field;
        field.resize(400, 200);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        field.setSelText(text);
        for (int at = 0; at < field.length(); ++at)
            QCOMPARE(field.positionAt(field.characterRect(at).topLeft() + QPoint(1, 2)), at);
        field.setSelStart(caret);
        for (const int key : keys)
            QTest::keyClick(&field, Qt::Key(key & ~int(Qt::KeyboardModifierMask)),
                            Qt::KeyboardModifiers(key & int(Qt::KeyboardModifierMask)));
        QCOMPARE(field.selStart(), expected);
        QCOMPARE(field.hasSelection()
                     ? (field.selectionStart() == expected ? field.selectionEnd()
                                                           : field.selectionStart())
                     : expected,
                 anchor);
    }

    // While following the end the scroll bars lag behind; the wheel brings
    // them up to date before it scrolls, so it moves from the true end.
    void theWheelScrollsFromTheTrueEnd() {
        RichTextField field;
        field.resize(300, 200);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        for (int i = 0; i < 3000; ++i) {
            field.setSelText(QStringLiteral("line %1\r\n").arg(i));
            field.setSelStart(field.length());
        }
        QScrollBar* bar = field.verticalScrollBar();
        const QPoint centre = field.viewport()->rect().center();
        QWheelEvent wheel(centre, field.viewport()->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(field.viewport(), &wheel);
        QCOMPARE(bar->maximum() + bar->pageStep(), int(field.store().lineCount()));
        QCOMPARE(bar->maximum() - bar->value(), QApplication::wheelScrollLines());
    }

    // The operator selects with the mouse and copies: a drag across a line
    // end, a double click on a word, a shift-click extending it, a triple
    // click on a line.
    void mouseSelectsAndCopies() {
        RichTextField field;
        field.resize(400, 200);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        field.setSelColor(colour::Blue);
        field.setSelText(QStringLiteral("alpha beta\r\ngamma delta\r\n"));
        QWidget* view = field.viewport();
        // A point inside the cell of `position`, nearer its left edge.
        const auto at = [&](int position) {
            return field.characterRect(position).topLeft() + QPoint(1, 2);
        };
        QTest::mousePress(view, Qt::LeftButton, {}, at(6));
        QTest::mouseMove(view, at(14));
        QTest::mouseRelease(view, Qt::LeftButton, {}, at(14));
        QCOMPARE(field.selectedText(), QStringLiteral("beta\ngam"));
        field.setFocus();
        QTest::keyClick(&field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("beta\ngam"));
        QTest::mouseDClick(view, Qt::LeftButton, {}, at(19));
        QCOMPARE(field.selectedText(), QStringLiteral("delta"));
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, at(2), 200);
        QCOMPARE(field.selectedText(), QStringLiteral("pha beta\ngamma "));
        QTest::keyClick(&field, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(field.selectedText(), QStringLiteral("alpha beta\ngamma "));
        QTest::mouseDClick(view, Qt::LeftButton, {}, at(19));
        QTest::mouseClick(view, Qt::LeftButton, {}, at(19)); // a third click: the line
        QCOMPARE(field.selectedText(), QStringLiteral("gamma delta"));
    }

    void aLongLineReadsBackExactly() {
        RDData* w = openOnDevice();
        QByteArray line;
        for (int i = 0; i < 20000; ++i)
            line += char(i % 7 == 6 ? 0xA0 : 'a' + i % 26);
        QVERIFY(device->write(line + "\r"));
        QVERIFY(waitForLength(w->Text1, line.size() + 1));
        QCOMPARE(w->Text1->text(), QString::fromLatin1(line) + "\r\n");
        QCOMPARE(w->Text1->length(), line.size() + 1);
        QCOMPARE(w->Text1->selStart(), w->Text1->length());
        // The view reaches sideways to the line's end.
        QTRY_VERIFY(w->Text1->horizontalScrollBar()->maximum() > 4 * line.size());
        QAccessibleTextInterface* read =
            QAccessible::queryAccessibleInterface(w->Text1)->textInterface();
        QCOMPARE(read->text(0, read->characterCount()), QString::fromLatin1(line) + "\n");
        w->Text1->selectAll();
        w->Text1->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(line) + "\n");
        QTemporaryDir dir;
        platform::seams().saveFileName = [&](QWidget*, const QString&, const QString&) {
            return dir.filePath("long.txt");
        };
        clickOn(w->Command3);
        QFile saved(dir.filePath("long.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), line + "\r\n\r\n");
    }

    // The cadence of paints, from the scheduler's own figures, on a clock of
    // the test's: a line after a quiet spell is painted at once, a stream at
    // most once an interval, and every change is on screen within the fallback.
    // A session's record opens again as its field showed it: in its colours,
    // at its times, with its bytes and the place of its "Clear"; a file
    // that is no record opens empty and says why.
    void aPastSessionOpensAgain() {
        QTemporaryDir home;
        krt::JournalOptions options;
        options.folder = home.filePath("sessions");
        platform::seams().now = [] { return QDateTime(QDate(2026, 12, 10), QTime(14, 3, 0)); };
        RDData* w = openDataWindowOn(device, options);
        QByteArray sent, received;
        const auto exchange = [&](QPushButton* button, const QByteArray& answer) {
            button->click();
            sent += device->readAtLeast(5);
            const int before = w->Text1->length();
            QVERIFY(device->write(answer));
            received += answer;
            QVERIFY(waitUntil([&] {
                return w->Text1->length() >= before + answer.size() && !w->Text1->lastLineOpen();
            }));
        };
        exchange(w->GetDate, QByteArray("\x06"
                                        "07.02.97 14:30:00\r\x00\xfe\r"));
        const QString cleared = colouredText(w->Text1);
        const qsizetype clearedAt = w->Text1->length();
        clickOn(w->Command5);
        exchange(w->MemFree, "12345\r");
        const QString kept = colouredText(w->Text1);
        const qint64 lastTime = w->Text1->store().lineTime(w->Text1->store().lineCount() - 2);
        unloadDataWindow(); // the journal writes the rest

        w = openDataWindowOn(device, options);
        QApplication::setActiveWindow(w);
        QString askedIn;
        const QString path = home.filePath("sessions/2026-12-10_14-03-00.jsonl");
        platform::seams().openRecordName = [&](QWidget*, const QString& folder) {
            askedIn = folder;
            return path;
        };
        QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(askedIn, options.folder);
        RecordWindow* r = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<RecordWindow*>(top); found && found->isVisible())
                r = found;
        QVERIFY(r);
        QVERIFY(waitUntil([&] { return !r->reading(); }));
        QVERIFY2(r->windowTitle().startsWith("2026-12-10_14-03-00.jsonl"),
                 qPrintable(r->windowTitle()));
        QCOMPARE(colouredText(r->field()), cleared + kept);
        QCOMPARE(r->field()->placeMarks(), std::vector<qsizetype>{clearedAt});
        QCOMPARE(r->field()->store().lineTime(r->field()->store().lineCount() - 2), lastTime);
        QCOMPARE(recorded(r->wireRecord(), WireRecord::Direction::Sent), sent);
        QCOMPARE(recorded(r->wireRecord(), WireRecord::Direction::Received), received);
        QVERIFY(r->saveButton()->isEnabled());
        r->close();
        // The port's close ends the session's record.
        QFile recordFile(path);
        QVERIFY(recordFile.open(QIODevice::ReadOnly));
        QVERIFY(recordFile.readAll().trimmed().split('\n').last().contains("\"event\":\"closed\""));

        // The text journal beside it is no record: said, and nothing shown.
        auto* bad = RecordWindow::open(home.filePath("sessions/2026-12-10_14-03-00.txt"));
        QVERIFY(waitUntil([&] { return !bad->reading(); }));
        QVERIFY2(bad->outcome().contains("not a session record", Qt::CaseInsensitive) ||
                     bad->outcome().contains("text journal", Qt::CaseInsensitive),
                 qPrintable(bad->outcome()));
        QCOMPARE(bad->field()->length(), 0);
        bad->close();
    }

    void paintCadence_data() {
        QTest::addColumn<int>("everyMs");
        QTest::newRow("a line every 3 ms") << 3;
        QTest::newRow("every 33 ms") << 33;
        QTest::newRow("every 90 ms") << 90;
    }
    void paintCadence() {
        QFETCH(int, everyMs);
        const qint64 interval = PaintCadence::intervalMs(), fallback = PaintCadence::fallbackMs();
        QVERIFY(fallback > interval);
        PaintCadence cadence;
        std::vector<qint64> paints;
        qint64 waiting = -1; // the oldest change not yet on screen
        const auto paint = [&](qint64 at) {
            QVERIFY2(at - waiting <= fallback, qPrintable(QString::number(at - waiting)));
            const qint64 previous = paints.empty() ? at - interval : paints.back();
            QVERIFY2(at - previous >= interval,
                     qPrintable(QStringLiteral("%1 after %2").arg(at).arg(previous)));
            paints.push_back(at);
            cadence.painted(at);
            waiting = -1;
        };
        for (qint64 now = 1000; now < 3000; now += everyMs) {
            if (cadence.due() && *cadence.due() <= now) paint(*cadence.due()); // a wake-up
            if (waiting < 0) waiting = now;
            if (cadence.changed(now) == now) paint(now); // in the pass that brought it
            if (QTest::currentTestFailed()) return;
            if (now == 1000) QCOMPARE(paints, std::vector<qint64>{1000});
        }
        if (cadence.due()) paint(*cadence.due());
        QVERIFY(paints.size() >= size_t(2000 / std::max<qint64>(everyMs, fallback)));
        // After a quiet spell, at once again.
        QCOMPARE(cadence.changed(paints.back() + 1000), paints.back() + 1000);
    }

    // What the program writes never lands on the end of the device's open line.
    void ownLinesAfterAnOpenDeviceLine() {
        RDData* w = openOnDevice();
        QVERIFY(device->write("0000000 PART"));
        QVERIFY(waitForLength(w->Text1, 12));
        clickOn(w->GetDate);
        QVERIFY(device->write(" 1\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith(" 1\r\n"); }));
        QCOMPARE(colouredText(w->Text1),
                 QStringLiteral("[16711680]0000000 PART\n[0]>> GET DATE <<\n"
                                "[255]<02>QD<95><03>\n[16711680] 1\n"));
    }

    // The change reaction counts the text as it reads back: "A" and a line
    // end are three characters.
    void aLineEndCountsTwiceForTheChangeReaction() {
        RDData* w = openOnDevice();
        w->Text1->setSelText(QStringLiteral("A\r\n"));
        QCOMPARE(w->Text1->text().size(), 3);
        QCOMPARE(w->Text1->selStart(), w->Text1->length());
    }

    // With "Auto Scroll" on, a selection made with the mouse stays through
    // the lines that follow, and is what a copy takes; the view follows the end.
    void aMouseSelectionOutlastsArrivingLines() {
        RDData* w = openOnDevice();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QString many;
        for (int i = 0; i < 100; ++i)
            many += QStringLiteral("line %1\r\n").arg(i, 3, 10, QLatin1Char('0'));
        w->append(many, colour::Blue);
        QVERIFY(waitUntil([&] { return !w->Text1->paintingHeld(); }));
        const int from = many.indexOf("line 095") - 95; // positions count a line end once
        const auto at = [&](int position) {
            return w->Text1->characterRect(position).topLeft() + QPoint(1, 2);
        };
        QWidget* view = w->Text1->viewport();
        QTest::mousePress(view, Qt::LeftButton, {}, at(from));
        QTest::mouseMove(view, at(from + 8));
        QTest::mouseRelease(view, Qt::LeftButton, {}, at(from + 8));
        QCOMPARE(w->Text1->selectedText(), QStringLiteral("line 095"));
        for (int i = 0; i < 30; ++i)
            QVERIFY(device->write(QByteArray("more ") + QByteArray::number(i) + "\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("more 29\r\n"); }));
        QVERIFY(waitUntil([&] { return !w->Text1->paintingHeld(); }));
        QCOMPARE(w->Text1->selectedText(), QStringLiteral("line 095"));
        QScrollBar* bar = w->Text1->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        w->Text1->setFocus();
        QTest::keyClick(w->Text1, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line 095"));
    }

    // A copy is what was selected when it was made: lines that come after
    // it, in the block it ends in, and "Clear" leave it as it was.
    void aCopyOutlastsLaterLinesAndClear() {
        RichTextField field;
        QString text;
        for (int i = 0; text.size() < 3 * LogStore::kBlockBytes / 2; ++i)
            text += QStringLiteral("%1 \xe9\t\r\n").arg(i);
        field.setSelText(text);
        field.selectAll();
        field.copy();
        field.setSelText(QStringLiteral("later\r\n"));
        field.setText(QString());
        field.setSelText(QStringLiteral("new\r\n"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString(text).replace("\r\n", "\n"));
    }

    // With "Auto Scroll" off the device's text goes in as into a disabled
    // field, without the field being disabled and enabled on every pass.
    void autoScrollOffLeavesTheFieldEnabled() {
        RDData* w = openOnDevice();
        w->scroll->setChecked(false);
        int changes = 0;
        EventCounter counter(w->Text1, QEvent::EnabledChange, &changes);
        for (int i = 0; i < 20; ++i) {
            QVERIFY(device->write("quiet line\r"));
            QVERIFY(waitUntil([&] { return w->Text1->text().count("quiet") == i + 1; }));
        }
        QCOMPARE(changes, 0);
        QVERIFY(w->Text1->isEnabled());
    }

    // Under a right-to-left layout the log still reads left to right, and so
    // does its sideways bar: at the line's start its handle is on the left.
    void rightToLeftKeepsTheSidewaysBarWithTheText() {
        QApplication::setLayoutDirection(Qt::RightToLeft);
        RichTextField field;
        field.resize(300, 200);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        field.setSelText(QString(2000, QLatin1Char('x')) + QStringLiteral("\r\n"));
        field.setSelStart(0);
        QTest::keyClick(&field, Qt::Key_Home, Qt::ControlModifier);
        QScrollBar* bar = field.horizontalScrollBar();
        QVERIFY(waitUntil([&] { return bar->maximum() > 0 && bar->isVisible(); }));
        QApplication::processEvents(); // the bar laid out beside the viewport
        QCOMPARE(bar->value(), 0);
        const QRect handle = sliderRect(bar);
        const int width = bar->width();
        QApplication::setLayoutDirection(Qt::LeftToRight);
        QVERIFY2(width > 150 && handle.left() < width / 2,
                 qPrintable(QStringLiteral("%1 of %2").arg(handle.left()).arg(width)));
    }

    // A line wider than an int counts in pixels: End still shows its end.
    void endReachesTheEndOfAVeryWideLine() {
        RichTextField field;
        QFont huge = field.font();
        huge.setPixelSize(1000);
        field.setFont(huge);
        field.resize(2400, 1500);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        const int columns = INT_MAX / 2 / field.characterRect(0).width() + 1000;
        field.setSelText(QString(columns, QLatin1Char('a')) + QStringLiteral("Z"));
        field.setFocus();
        QTest::keyClick(&field, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&field, Qt::Key_End);
        const QRect z = field.characterRect(columns);
        QVERIFY2(z.left() >= 0 && z.right() < field.viewport()->width(),
                 qPrintable(QStringLiteral("Z at %1").arg(z.left())));
        QCOMPARE(field.positionAt(z.center()), qsizetype(columns));
    }

    void deviceTextReenablesADisabledField() {
        RDData* w = openOnDevice();
        w->Text1->setEnabled(false); // as a dialog does while it is open
        QVERIFY(device->write("\x06"));
        QVERIFY(waitUntil([&] { return w->Text1->isEnabled(); }));
        QCOMPARE(w->Text1->text(), QString("<ACK>\r\n"));
    }

    void quietLineDoesNotTick() {
        RDData* w = openOnDevice();
        QVERIFY(device->write("x"));
        QVERIFY(waitUntil([&] { return w->Text1->length() == 1; }));
        QTest::qWait(20);
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(w->timer1Enabled());
        QVERIFY(device->write("y"));
        QVERIFY(waitUntil([&] { return w->Text1->length() == 2; }));
    }

    void portVanishingIsReportedOnceAndReadingStops() {
        RDData* w = openOnDevice();
        w->GetDate->click();
        QVERIFY(device->write("partial answer"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("answer"); }));
        device->vanish();
        QVERIFY(waitUntil([&] { return w->Text1->text().contains("PORT ERROR"); }));
        QTest::qWait(200);
        const QString text = w->Text1->text();
        QCOMPARE(text.count("PORT ERROR"), 1);
        QVERIFY(text.endsWith(">> PORT ERROR: 8101 <<\r\n"));
        QVERIFY(!w->MSComm1->portOpen());
        QVERIFY(!w->Timer1->isActive());
        // Writes now fail with the closed-port report; the window lives on.
        w->MemFree->click();
        QVERIFY(w->Text1->text().endsWith(">> MEMORY FREE <<\r\n>> PORT ERROR: 8018 <<\r\n"));
        // The device is back: "Com1" opens it again and reading resumes.
        QVERIFY(device->reopen());
        device->attachAs(1);
        clickOn(w->Option1[0]);
        QVERIFY(w->MSComm1->portOpen());
        QVERIFY(device->write("back\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("back\r\n"); }));
    }

    void errorTextReplacesWholeTextInDefaultColour() {
        BeepCounter beeps;
        pointPortAtNothing(1);
        RDData* w = RDData::instance();
        QVERIFY(colouredText(w->Text1).startsWith("[0]Error #  8002\n"));
    }
};

QTEST_MAIN(TestDataWindow)
#include "tst_datawindow.moc"
