// The About box, opened from the main window: its scrolling credits line,
// its blinking title and its lifecycle.

#include "logview/colours.h"
#include "shell/about.h"
#include "shell/krt418.h"
#include "testsupport.h"

#include "platform/fonts.h"
#include <QLabel>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTimer>
#include <cmath>

class TestAbout : public QObject {
    Q_OBJECT

    std::unique_ptr<KRT418> main;

    // "About..." on the main window; the box's own timer is stopped so the
    // test drives every tick itself.
    About* openAbout() {
        clickOn(main->Command2);
        About* about = About::existing();
        if (about) about->Timer1->stop();
        return about;
    }

    static void unloadAbout() {
        if (About* about = About::existing()) about->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static int titleColour(About* about) {
        return colour::fromQColor(about->Label1->palette().color(QPalette::WindowText));
    }

private slots:
    void init() { main = std::make_unique<KRT418>(); }
    void cleanup() {
        unloadAbout();
        main.reset();
        platform::resetSeams();
    }

    void looksAsItShould() {
        About* about = openAbout();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->windowTitle(), QString("About"));
        QCOMPARE(about->Label1->text(), QString("KRT 418 V 5.0"));
        QVERIFY(about->Label1->font().bold());
        QCOMPARE(about->Label1->font().pointSize(), 12);
        QVERIFY(platform::isFixedPitch(about->message->font()));
        QCOMPARE(about->Command1->text(), QString("OK"));
        QVERIFY(about->Command1->isDefault());
        QCOMPARE(about->Timer1->interval(), 100);
        QVERIFY(QSvgRenderer(QStringLiteral(":/krt418/about.svg")).isValid());

        const QString line = About::creditsLine();
        QCOMPARE(line.size(), 168);
        QCOMPARE(line.left(31), QString(31, ' '));
        QVERIFY(line.at(31) != ' ');
    }

    void timerRunsByItself() {
        clickOn(main->Command2);
        QVERIFY(About::existing()->Timer1->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(About::scrollCounter >= 2, 2000);
        QCOMPARE(About::existing()->message->text().size(), 30);
    }

    void creditsScrollThroughOneCycle() {
        About* about = openAbout();
        const QString line = About::creditsLine();
        QCOMPARE(About::scrollCounter, qint16(0));
        about->Timer1_Timer();
        QCOMPARE(about->message->text(), line.mid(0, 30));
        about->Timer1_Timer();
        QCOMPARE(about->message->text(), line.mid(1, 30));
        for (int c = 3; c <= 137; ++c) {
            about->Timer1_Timer();
            QCOMPARE(about->message->text(), line.mid(c - 1, 30));
        }
        // The end of the line stands still for 64 ticks...
        for (int c = 138; c <= 201; ++c) {
            about->Timer1_Timer();
            QCOMPARE(int(About::scrollCounter), c);
            QCOMPARE(about->message->text(), line.right(30));
        }
        // ...and the next tick starts over.
        about->Timer1_Timer();
        QCOMPARE(About::scrollCounter, qint16(1));
        QCOMPARE(about->message->text(), line.left(30));
    }

    void secondAboutRestartsTheLine() {
        About* about = openAbout();
        for (int i = 0; i < 150; ++i)
            about->Timer1_Timer();
        QCOMPARE(about->message->text(), About::creditsLine().right(30));
        QCOMPARE(openAbout(), about);
        QCOMPARE(About::scrollCounter, qint16(0));
        about->Timer1_Timer();
        about->Timer1_Timer();
        QCOMPARE(about->message->text(), About::creditsLine().mid(1, 30));
    }

    void shortLineIsShownWhole() {
        for (int c = 1; c <= 201; c += 50)
            QCOMPARE(About::creditsWindow(QStringLiteral("Thanks!"), c), QString("Thanks!"));
        const QString thirty(30, 'z');
        QCOMPARE(About::creditsWindow(thirty, 1), thirty);
    }

    void titleColourIsNeverBlack_data() {
        QTest::addColumn<double>("r");
        QTest::addColumn<int>("colour");
        QTest::newRow("lowest") << 0.0 << 1;
        QTest::newRow("middle") << 0.5 << 8388608;
        QTest::newRow("highest") << std::nextafter(1.0, 0.0) << 16777215;
    }
    void titleColourIsNeverBlack() {
        QFETCH(double, r);
        QFETCH(int, colour);
        platform::seams().random = [r] { return r; };
        About* about = openAbout();
        about->Timer1_Timer();
        QCOMPARE(titleColour(about), colour);
    }

    void okEscapeAndEnterUnloadIt() {
        About* about = openAbout();
        about->Timer1_Timer();
        about->Timer1_Timer();
        clickOn(about->Command1);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!About::existing());
        // The counter is the program's, not the box's.
        QCOMPARE(About::scrollCounter, qint16(2));

        about = openAbout();
        QVERIFY(about && about->isVisible());
        QTest::keyClick(about, Qt::Key_Escape);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!About::existing());

        about = openAbout();
        QTest::keyClick(about, Qt::Key_Return);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!About::existing());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
