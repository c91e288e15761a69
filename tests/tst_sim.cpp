// The emulator on its own: its frame reader, its device model, and its line
// (pacing, silence, floods) seen from a raw pseudo-terminal.

#include "device.h"
#include "framereader.h"
#include "link/frame.h"
#include "server.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

using sim::Device;
using sim::FrameReader;
using sim::ReaderEvent;

namespace {

QByteArray frame(const QByteArray& payload) {
    int sum = 0;
    for (const char c : payload)
        sum += quint8(c);
    return '\x02' + payload + char(sum & 0xFF) + '\x03';
}

// "F:QD", "R(bad checksum):<02>QD<00><03>", "XON", "XOFF", "L:xyz".
QString describe(const QList<ReaderEvent>& events) {
    QStringList out;
    for (const ReaderEvent& e : events) {
        switch (e.kind) {
        case ReaderEvent::Frame:
            out << QStringLiteral("F:") + sim::visible(e.bytes);
            break;
        case ReaderEvent::Rejected:
            out << QStringLiteral("R(%1):%2")
                       .arg(QLatin1String(FrameReader::reasonText(e.reason)),
                            sim::visible(e.bytes));
            break;
        case ReaderEvent::Xon:
            out << QStringLiteral("XON");
            break;
        case ReaderEvent::Xoff:
            out << QStringLiteral("XOFF");
            break;
        case ReaderEvent::Loose:
            out << QStringLiteral("L:") + sim::visible(e.bytes);
            break;
        }
    }
    return out.join(QStringLiteral(" | "));
}

const QList<QByteArray> kDefaultReport = {"PC",     "Pl", "PP3", "PK1D10",     "PK4D05",
                                          "PKOD05", "Pe", "PB",  "BATTERY OK", "PS004"};

// A clock the test moves by hand.
struct ManualClock {
    QDateTime now{QDate(2024, 5, 24), QTime(13, 7, 21)};
    Device::Clock fn() {
        return [this] { return now; };
    }
};

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    // --- Frame reader ---------------------------------------------------

    void readerFindsFrames_data() {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("events");
        const QByteArray qd = frame("QD");
        QTest::newRow("whole") << QByteArrayList{qd} << "F:QD";
        QByteArrayList bytes;
        for (const char c : frame("PK1D10"))
            bytes << QByteArray(1, c);
        QTest::newRow("byte by byte") << bytes << "F:PK1D10";
        // "aaA" adds up to 0x103: the checksum byte is 0x03, then the end byte.
        QTest::newRow("checksum 0x03") << QByteArrayList{frame("aaA")} << "F:aaA";
        QTest::newRow("checksum 0x03, split between the two")
            << QByteArrayList{QByteArray("\x02"
                                         "aaA\x03"),
                              QByteArray("\x03")}
            << "F:aaA";
        QTest::newRow("checksum 0x02") << QByteArrayList{frame("aa@")} << "F:aa@";
        QTest::newRow("0x03 inside a free command") << QByteArrayList{frame(QByteArray("A\x03"
                                                                                       "B"))}
                                                    << "F:A<03>B";
        QTest::newRow("checksum 0x13 is no XOFF") << QByteArrayList{frame("aaQ")} << "F:aaQ";
        QTest::newRow("empty payload") << QByteArrayList{frame("")} << "F:";
        QTest::newRow("garbage before 0x02")
            << QByteArrayList{QByteArray("xyz\x80\xFF\x03"), qd} << "L:xyz<80><FF><03> | F:QD";
        QTest::newRow("garbage and frame in one read")
            << QByteArrayList{"\x7F\xFE" + qd} << "L:<7F><FE> | F:QD";
        QTest::newRow("bad checksum, then a frame at once")
            << QByteArrayList{QByteArray("\x02QD\x00\x03", 5) + frame("QM")}
            << "R(bad checksum):<02>QD<00><03> | F:QM";
        QTest::newRow("half frame cut short by a frame")
            << QByteArrayList{QByteArray("\x02Q"), frame("QD")}
            << "R(cut short by a new frame):<02>Q | F:QD";
        QTest::newRow("flow control between frames")
            << QByteArrayList{"\x13" + qd + "\x11"} << "XOFF | F:QD | XON";
        QTest::newRow("link text between frames")
            << QByteArrayList{frame("LP") + "HELLO\r" + frame("LX")} << "F:LP | L:HELLO<0D> | F:LX";
        QTest::newRow("two frames back to back")
            << QByteArrayList{qd + frame("QP")} << "F:QD | F:QP";
    }
    void readerFindsFrames() {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QString, events);
        FrameReader reader;
        QList<ReaderEvent> all;
        qint64 t = 0;
        for (const QByteArray& c : chunks) {
            all += reader.feed(c, t);
            t += 50; // gaps well inside the silence a frame may have
            all += reader.poll(t);
        }
        QCOMPARE(describe(all), events);
        QVERIFY(!reader.inFrame());
    }

    void readerRejectsAfterSilence() {
        FrameReader reader;
        // A frame that never ends: rejected 200 ms after its last byte, not before.
        QVERIFY(reader.feed("\x02QD", 1000).isEmpty());
        QVERIFY(reader.feed("\x95", 1150).isEmpty());
        QCOMPARE(reader.deadline(), qint64(1350));
        QVERIFY(reader.poll(1349).isEmpty());
        QCOMPARE(describe(reader.poll(1350)),
                 QStringLiteral("R(not finished within 200 ms):<02>QD<95>"));
        QCOMPARE(reader.deadline(), qint64(-1));
        // An end byte that does not match reads as a bad checksum once the line is quiet.
        QVERIFY(reader.feed(QByteArray("\x02QD\x00\x03", 5), 2000).isEmpty());
        QCOMPARE(describe(reader.poll(2200)), QStringLiteral("R(bad checksum):<02>QD<00><03>"));
        // And the next frame is read as usual.
        QCOMPARE(describe(reader.feed(frame("QD"), 2300)), QStringLiteral("F:QD"));
    }

    void readerSurvivesAnything() {
        FrameReader reader;
        // Too long to be a frame: rejected, and the next start is found.
        QList<ReaderEvent> events = reader.feed('\x02' + QByteArray(3000, 'A') + frame("QD"), 0);
        QCOMPARE(events.first().kind, ReaderEvent::Rejected);
        QCOMPARE(events.first().reason, ReaderEvent::TooLong);
        QCOMPARE(describe({events.last()}), QStringLiteral("F:QD"));

        // Random floods in random slices, bytes above 0x7F included: after a
        // quiet spell the next frame is always read.
        QRandomGenerator random(418);
        qint64 t = 0;
        for (int round = 0; round < 20; ++round) {
            for (int slice = 0; slice < 50; ++slice) {
                QByteArray noise(int(random.bounded(1, 400)), '\0');
                for (char& c : noise)
                    c = char(random.bounded(256));
                reader.feed(noise, t += 5);
                reader.poll(t);
            }
            reader.poll(t += FrameReader::SilenceMs);
            QCOMPARE(describe(reader.feed(frame("QP"), t += 5)), QStringLiteral("F:QP"));
        }
    }

    // --- Device model ---------------------------------------------------

    void reportAfterStartAndDefaults() {
        ManualClock clock;
        Device d(clock.fn());
        QList<QByteArray> report = d.report();
        QCOMPARE(report.first(), QByteArray("PD240524130721"));
        QCOMPARE(report.mid(1), kDefaultReport);

        // Change everything, then "CD" brings back the same listing; the
        // clock is not a parameter and keeps its time.
        for (const char* p : {"Pc", "PL", "PP0", "PK1S99", "PK4S01", "PKOD00", "PE", "Pb"})
            QVERIFY2(d.command(p).accepted, p);
        QVERIFY(d.report().mid(1) != kDefaultReport);
        const sim::Answer a = d.command("CD");
        QVERIFY(a.accepted);
        QCOMPARE(a.newLineSpeed, 9600);
        QCOMPARE(d.report().mid(1), kDefaultReport);
        QCOMPARE(d.report().first(), QByteArray("PD240524130721"));

        const sim::Answer qp = d.command("QP");
        QVERIFY(qp.accepted);
        QCOMPARE(qp.lines, d.report());
        const QByteArray wire = Device::wireLine("PC");
        QCOMPARE(wire, QByteArray("PC") + QByteArray(28, ' ') + '\r');
        QCOMPARE(int(Device::wireLine(QByteArray(40, 'x')).size()), 31);
    }

    void settingCommands_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("line"); // index in the report, -1 when refused
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("19200") << QByteArray("Pc") << 1 << QByteArray("Pc");
        QTest::newRow("display tenths") << QByteArray("PL") << 2 << QByteArray("PL");
        for (int i = 0; i <= 4; ++i) {
            const QByteArray p = "PP" + QByteArray::number(i);
            QTest::newRow(p.constData()) << p << 3 << p;
        }
        QTest::newRow("lock 1") << QByteArray("PK1S05") << 4 << QByteArray("PK1S05");
        QTest::newRow("lock 4") << QByteArray("PK4D99") << 5 << QByteArray("PK4D99");
        QTest::newRow("lock others") << QByteArray("PKOS00") << 6 << QByteArray("PKOS00");
        QTest::newRow("unlock") << QByteArray("PE") << 7 << QByteArray("PE");
        QTest::newRow("buzzer off") << QByteArray("Pb") << 8 << QByteArray("Pb");
        for (const char* bad :
             {"PP5", "PK1X05", "PK1D5", "PK1D5A", "PKOD-1", "PK2D05", "QDX", "", "pb",
              "PD3102991530", "PD0113991530", "PD0112992430", "PD01129915", "Pd3112991530", "ZZ"})
            QTest::newRow(QByteArray("refused " + QByteArray(bad)).constData())
                << QByteArray(bad) << -1 << QByteArray();
    }
    void settingCommands() {
        QFETCH(QByteArray, payload);
        QFETCH(int, line);
        QFETCH(QByteArray, shown);
        ManualClock clock;
        Device d(clock.fn());
        const QList<QByteArray> before = d.report();
        const sim::Answer a = d.command(payload);
        QVERIFY(a.lines.isEmpty());
        QList<QByteArray> expected = before;
        if (line >= 0) expected[line] = shown;
        QCOMPARE(a.accepted, line >= 0);
        QCOMPARE(d.report(), expected);
    }

    // The emulator knows the program's whole command set.
    void everyCommandOfTheTableIsTaken() {
        for (const krt::Command& c : krt::commandTable()) {
            Device d;
            QVERIFY2(d.command(c.payload).accepted, c.payload);
        }
    }

    void dateIsSetAndRuns() {
        ManualClock clock;
        Device d(clock.fn());
        QVERIFY(d.command("PD0112991530").accepted);
        QCOMPARE(d.dateLine(), QByteArray("PD011299153000"));
        clock.now = clock.now.addSecs(75);
        QCOMPARE(d.command("QD").lines, QList<QByteArray>{"PD011299153115"});
        // Month first: the listing follows the order last set.
        QVERIFY(d.command("Pd1231051530").accepted);
        QCOMPARE(d.dateLine(), QByteArray("Pd123105153000"));
        clock.now = clock.now.addSecs(3600);
        QCOMPARE(d.dateLine(), QByteArray("Pd123105163000"));
        QVERIFY(d.command("CD").accepted);
        QCOMPARE(d.dateLine(), QByteArray("PD311205163000"));
    }

    void memoryOfTimes() {
        ManualClock clock;
        Device d(clock.fn());
        d.preload(1000);
        QCOMPARE(int(d.memory().size()), 1000);
        const QRegularExpression timeLine(QStringLiteral(
            "^(\\d{5}) I(0[1-9]|1[0-6]) ([01]\\d|2[0-3]):[0-5]\\d:[0-5]\\d\\.\\d{4} S001$"));
        QString previousTime;
        for (int i = 0; i < 1000; ++i) {
            const QString line = QString::fromLatin1(d.recordLine(i));
            QCOMPARE(int(line.size()), 28);
            const QRegularExpressionMatch m = timeLine.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            QCOMPARE(m.captured(1).toInt(), i + 1);
            QVERIFY(line.mid(10, 13) > previousTime); // measured in order
            previousTime = line.mid(10, 13);
        }
        Device same(clock.fn());
        same.preload(1000);
        QCOMPARE(same.recordLine(999), d.recordLine(999));

        QCOMPARE(d.command("QM").lines, QList<QByteArray>{"MEMORY FREE 19000 OF 20000"});
        QCOMPARE(d.command("CS").what, QStringLiteral("new session 2"));
        QCOMPARE(d.recordLine(1000), QByteArray("01001 SESSION 002 24.05.24"));
        const sim::Answer up = d.command("CU");
        QCOMPARE(int(up.lines.size()), 1001);
        QCOMPARE(up.lines.last(), d.recordLine(1000));
        QVERIFY(up.console.isEmpty());
        QCOMPARE(int(d.memory().size()), 1001); // an upload keeps the times

        QVERIFY(d.command("CC").accepted);
        QVERIFY(d.memory().isEmpty());
        QVERIFY(d.command("CU").lines.isEmpty());
        QCOMPARE(d.command("QM").lines, QList<QByteArray>{"MEMORY FREE 20000 OF 20000"});

        // A full memory refuses more, and says so.
        d.preload(Device::Capacity + 5);
        QCOMPARE(int(d.memory().size()), Device::Capacity);
        QVERIFY(!d.command("CS").accepted);
        QStringList console;
        QVERIFY(!d.measure(1, &console));
        QVERIFY(console.join('\n').contains(QStringLiteral("memory full")));
    }

    void uploadAndPrintUsesThePrinterResolution_data() {
        QTest::addColumn<QByteArray>("printer");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("PP0") << QByteArray("PP0") << "\\d\\d:\\d\\d:\\d\\d$";
        QTest::newRow("PP1") << QByteArray("PP1") << "\\d\\d:\\d\\d:\\d\\d\\.\\d$";
        QTest::newRow("PP3") << QByteArray("PP3") << "\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$";
        QTest::newRow("PP4") << QByteArray("PP4") << "\\d\\d:\\d\\d:\\d\\d\\.\\d{4}$";
    }
    void uploadAndPrintUsesThePrinterResolution() {
        QFETCH(QByteArray, printer);
        QFETCH(QString, pattern);
        Device d;
        d.preload(3);
        QVERIFY(d.command(printer).accepted);
        const sim::Answer a = d.command("CA");
        QCOMPARE(a.lines, d.command("CU").lines);
        QCOMPARE(int(a.console.size()), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(a.console[i].startsWith(QStringLiteral("[printer] 0000%1  I").arg(i + 1)));
            QVERIFY2(a.console[i].contains(QRegularExpression(pattern)), qPrintable(a.console[i]));
            // Cut, not rounded: the printed time is the start of the stored one.
            QVERIFY(d.recordLine(i).contains(
                a.console[i].mid(a.console[i].lastIndexOf(' ') + 1).toLatin1()));
        }
    }

    void impulsesFollowTheLocks() {
        ManualClock clock;
        Device d(clock.fn());
        QStringList console;
        QVERIFY(!d.measure(7, &console)); // inputs 5-16 locked from the start
        for (int i = 0; i < 50; ++i)
            QVERIFY(d.randomOpenInput() <= 4);
        QVERIFY(d.measure(1, &console));
        QVERIFY(console.last().contains(QStringLiteral("(beep)")));
        clock.now = clock.now.addMSecs(900); // lock time of input 1 is 10 tenths
        QVERIFY(!d.measure(1, &console));
        QVERIFY(d.measure(4, &console)); // each input has its own lock
        clock.now = clock.now.addMSecs(200);
        QVERIFY(d.measure(1, &console));
        QVERIFY(d.command("PE").accepted);
        QVERIFY(d.command("Pb").accepted);
        QVERIFY(d.command("PL").accepted);
        console.clear();
        QVERIFY(d.measure(16, &console));
        QCOMPARE(int(console.size()), 2);
        QVERIFY(!console.first().contains(QStringLiteral("beep")));
        QVERIFY(console.last().startsWith(QStringLiteral("[display] 13:07:22.")));
        QCOMPARE(int(d.memory().size()), 4);
        QCOMPARE(d.memory().last().tick / 10, qint64(QTime(13, 7, 22, 100).msecsSinceStartOfDay()));
    }

    void linkTextGoesToPrinterOrDisplay() {
        Device d;
        QVERIFY(d.looseText("stray").first().startsWith(QStringLiteral("ignored")));
        QVERIFY(d.command("LP").accepted);
        QCOMPARE(d.looseText("HELLO\r\nWOR"), QStringList{"[printer] HELLO"});
        QCOMPARE(d.command("LX").console, QStringList{"[printer] WOR"});
        QVERIFY(d.command("LL").accepted);
        QVERIFY(d.looseText("12:34").isEmpty());
        QCOMPARE(d.command("LX").console, QStringList{"[display] 12:34"});
        QCOMPARE(d.link(), Device::Link::None);
        // A flood with no line end is printed in printer lines, not hoarded.
        QVERIFY(d.command("LP").accepted);
        const QStringList lines = d.looseText(QByteArray(10000, 'x'));
        QCOMPARE(int(lines.size()), 10000 / Device::MaxLinkText);
        QCOMPARE(int(lines.first().size()),
                 10 + Device::MaxLinkText); // "[printer] " and a full line
    }

    // --- The line -------------------------------------------------------

    void linePacingSilenceAndFloods() {
        // The test plays the PC on the far end of the emulator's own line.
        sim::Server::Options options;
        sim::Server server(options);
        QStringList console;
        server.setLog([&](const QString& l) { console << l; });
        server.device().preload(40);
        QString error;
        QVERIFY2(server.openPty(&error), qPrintable(error));
        const int fd =
            ::open(server.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        const auto readFor = [&](int ms, int enough = 1 << 30) {
            QByteArray got;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < ms && got.size() < enough) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                char buf[4096];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, int(n));
                else
                    QThread::msleep(1);
            }
            return got;
        };
        const auto write = [&](const QByteArray& b) {
            QCOMPARE(::write(fd, b.constData(), size_t(b.size())), ssize_t(b.size()));
        };

        // Paced: 40 lines of 31 characters take about 1.3 s at 960 a second.
        QElapsedTimer t;
        t.start();
        write(frame("CU"));
        const QByteArray upload = readFor(5000, 1 + 40 * 31);
        const qint64 took = t.elapsed();
        QCOMPARE(int(upload.size()), 1 + 40 * 31);
        QVERIFY2(took > 1100 && took < 2500, qPrintable(QString::number(took)));
        QCOMPARE(upload.mid(1, 31), Device::wireLine(server.device().recordLine(0)));

        // A frame that never ends is refused after 200 ms of silence.
        t.restart();
        write("\x02QD");
        QCOMPARE(readFor(1000, 1), QByteArray("\x15"));
        QVERIFY(t.elapsed() >= 190);
        QVERIFY(console.last().contains(QStringLiteral("NAK  not finished within 200 ms")));

        // A flood of noise, then quiet, then a frame: answered as usual.
        QRandomGenerator random(7);
        QByteArray noise(64 * 1024, '\0');
        for (char& c : noise)
            c = char(random.bounded(256));
        for (int at = 0; at < noise.size(); at += 1024) {
            write(noise.mid(at, 1024));
            readFor(2); // keep the line from filling with refusals
        }
        // The noise may have held the output (XOFF) and left a frame open
        // that swallows the first XON: wait out the silence and say it again.
        write(QByteArray(1, '\x11'));
        readFor(400);
        write(QByteArray(1, '\x11'));
        readFor(1000);
        write(frame("QM"));
        QCOMPARE(readFor(2000, 32), '\x06' + Device::wireLine("MEMORY FREE 19960 OF 20000"));
        ::close(fd);
    }
};

QTEST_MAIN(TestSim)
#include "tst_sim.moc"
