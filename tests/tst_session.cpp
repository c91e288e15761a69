// Whole sessions: the data window and its dialogs against the device
// emulator, in one thread, over a real pseudo-terminal. The last tests run
// the krt418-sim executable itself.

#include "datawindow/rddata.h"
#include "device.h"
#include "dialogs/locktime.h"
#include "dialogs/setdatew.h"
#include "dialogs/waccuracyp.h"
#include "dialogs/waccuracyr.h"
#include "fakedevice.h"
#include "link/frame.h"
#include "server.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

using sim::Device;

namespace {

const QList<QByteArray> kDefaultReport = {"PC",     "Pl", "PP3", "PK1D10",     "PK4D05",
                                          "PKOD05", "Pe", "PB",  "BATTERY OK", "PS004"};

// A device line as the data field shows it: 30 characters, padded.
QString shown(const QByteArray& line) {
    return QString::fromLatin1(Device::wireLine(line).chopped(1));
}

QStringList shown(const QList<QByteArray>& lines) {
    QStringList out;
    for (const QByteArray& l : lines)
        out << shown(l);
    return out;
}

// Every complete line the device sent, in order, read from the blue text of
// the data field alone: the program's own titles and images, even when they
// land in the middle of a device line, are left out.
QStringList deviceLines(const RichTextField* field) {
    const int blue = 0xFF0000;
    QStringList lines;
    QString current;
    bool endsBlue = false;
    for (qsizetype at = 0; at < field->length(); ++at) {
        const char c = field->store().at(at);
        if (c != '\n') {
            endsBlue = colourAt(field, at) == blue;
            if (endsBlue) current += QLatin1Char(c);
            continue;
        }
        // The line was ended by the device's own carriage return, not by a
        // line the program began while the device's line was open.
        if (endsBlue && colourAt(field, at) == blue) {
            lines << current;
            current.clear();
        }
        endsBlue = false;
    }
    return lines;
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<sim::Server> sim;
    QStringList console;
    RDData* w = nullptr;

    // The emulator on a new pseudo-terminal as COM1, and the data window on it.
    bool start(int preload = 0, bool fast = true) {
        sim::Server::Options options;
        options.fast = fast;
        sim = std::make_unique<sim::Server>(options);
        sim->setLog([this](const QString& line) { console << line; });
        sim->device().preload(preload);
        QString error;
        if (!sim->openPty(&error)) {
            qWarning() << error;
            return false;
        }
        qputenv("KRT418_COM1", sim->path().toLocal8Bit());
        w = RDData::instance();
        w->show();
        return !w->Text1->text().contains(QStringLiteral("Error"));
    }

    QStringList lines() const { return deviceLines(w->Text1); }

    // Runs the session until the device has sent n more lines than `from`,
    // and returns those lines.
    QStringList await(int from, int n, int timeoutMs = 5000) {
        waitUntil([&] { return lines().size() >= from + n; }, timeoutMs);
        return lines().mid(from);
    }

    // The device lines answering one action, acknowledge first.
    QStringList answer(const std::function<void()>& action, int n) {
        const int from = int(lines().size());
        action();
        return await(from, n);
    }

    QStringList consoleMatching(const QString& start) const {
        QStringList out;
        for (const QString& line : console)
            if (line.startsWith(start)) out << line;
        return out;
    }

private slots:
    void cleanup() {
        unloadDataWindow();
        // Dialogs left open by a failed step go as well.
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        sim.reset();
        console.clear();
        w = nullptr;
        platform::resetSeams();
    }

    void getDateAndViewParameters() {
        QVERIFY(start());
        const QStringList date = answer([&] { clickOn(w->GetDate); }, 2);
        QCOMPARE(date.size(), 2);
        QCOMPARE(date[0], QStringLiteral("<ACK>"));
        QVERIFY2(QRegularExpression(QStringLiteral("^PD\\d{12} {16}$")).match(date[1]).hasMatch(),
                 qPrintable(date[1]));
        const QDateTime told =
            QDateTime::fromString(date[1].mid(2, 12), QStringLiteral("ddMMyyhhmmss")).addYears(100);
        QVERIFY(qAbs(told.secsTo(QDateTime::currentDateTime())) <= 2);
        // Title in black, image in red, the device's text in blue.
        QVERIFY(colouredText(w->Text1).contains(
            QStringLiteral("[0]>> GET DATE <<\n[255]<02>QD<95><03>\n[16711680]<ACK>\nPD")));

        const QStringList report = answer([&] { clickOn(w->ViewP); }, 12);
        QCOMPARE(report.size(), 12);
        QCOMPARE(report[0], QStringLiteral("<ACK>"));
        QVERIFY(report[1].startsWith(QStringLiteral("PD")));
        QCOMPARE(report.mid(2), shown(kDefaultReport));
        QVERIFY(w->Text1->text().contains(
            QStringLiteral(">> VIEW PARAMETERS <<\r\n<02>QP<A1><03>\r\n<ACK>\r\nPD")));
        QVERIFY(console.contains(QStringLiteral("<- <02>QP<A1><03>  ACK  parameters")));
    }

    void eachParameterShowsInTheNextReport() {
        QVERIFY(start());
        QList<QByteArray> expected = kDefaultReport;
        // Sends one setting, waits for its acknowledge, then asks for the report.
        const auto setting = [&](const std::function<void()>& action) -> QStringList {
            const QStringList ack = answer(action, 1);
            if (ack != QStringList{QStringLiteral("<ACK>")}) return ack;
            return answer([&] { clickOn(w->ViewP); }, 12).mid(1);
        };
        const auto check = [&](const std::function<void()>& action, int index, const char* line) {
            expected[index] = line;
            const QStringList report = setting(action);
            if (report.mid(1) == shown(expected)) return true;
            qWarning() << "expected" << line << "got" << report;
            return false;
        };

        // The check boxes: ticking sends the default, clearing switches it off.
        QVERIFY(check([&] { clickOn(w->buzzer); }, 7, "PB"));
        QVERIFY(check([&] { clickOn(w->buzzer); }, 7, "Pb"));
        QVERIFY(check([&] { clickOn(w->lockinput); }, 6, "Pe"));
        QVERIFY(check([&] { clickOn(w->lockinput); }, 6, "PE"));

        // The printer accuracy dialog, each choice.
        for (int i = 0; i < 5; ++i) {
            const QByteArray line = "PP" + QByteArray::number(i);
            QVERIFY(check(
                [&] {
                    clickOn(w->AccuracyP);
                    WaccuracyP* d = WaccuracyP::existing();
                    QVERIFY(d);
                    clickOn(d->Option1[size_t(i)]);
                    clickOn(d->Command1);
                },
                2, line.constData()));
        }

        // The running-time display dialog.
        for (const auto& [option, line] : {std::pair{1, "PL"}, std::pair{0, "Pl"}})
            QVERIFY(check(
                [&] {
                    clickOn(w->AccuracyR);
                    WaccuracyR* d = WaccuracyR::existing();
                    QVERIFY(d);
                    clickOn(d->Option1[size_t(option)]);
                    clickOn(d->Command1);
                },
                1, line));

        // The lock time dialog, for each group of inputs.
        struct Lock {
            QPushButton* const RDData::*opener;
            const char* typed;
            int unit; // OTime index: 0 seconds, 1 tenths
            int index;
            const char* line;
        };
        for (const Lock& l : {Lock{&RDData::Channel1, "5", 0, 3, "PK1S05"},
                              Lock{&RDData::Channel4, "12", 1, 4, "PK4D12"},
                              Lock{&RDData::Others, "99", 0, 5, "PKOS99"}})
            QVERIFY(check(
                [&] {
                    clickOn(w->*l.opener);
                    LockTime* d = LockTime::existing();
                    QVERIFY(d);
                    d->TLock->setText(QString::fromLatin1(l.typed));
                    clickOn(d->OTime[size_t(l.unit)]);
                    clickOn(d->Command1);
                },
                l.index, l.line));

        // The line speed has no enabled button: the frames go out directly.
        QVERIFY(check([&] { w->send(krt::buildFrame("Pc")); }, 0, "Pc"));
        QVERIFY(check([&] { w->send(krt::buildFrame("PC")); }, 0, "PC"));

        // The date dialog, in both orders; the listing follows the order set.
        const auto setDate = [&](int format, const char* day, const char* month, const char* year) {
            return setting([&] {
                clickOn(w->SetDate);
                SetDateW* d = SetDateW::existing();
                QVERIFY(d);
                d->TDay->setText(QString::fromLatin1(day));
                d->TMonth->setText(QString::fromLatin1(month));
                d->TYear->setText(QString::fromLatin1(year));
                d->THour->setText(QStringLiteral("15"));
                d->TMinute->setText(QStringLiteral("30"));
                clickOn(d->Format[size_t(format)]);
                clickOn(d->Command1);
            });
        };
        QStringList report = setDate(2, "1", "12", "1999");
        QVERIFY2(report.value(0).startsWith(QStringLiteral("PD01129915300")),
                 qPrintable(report.value(0)));
        QCOMPARE(report.mid(1), shown(expected));
        report = setDate(1, "31", "12", "2005");
        QVERIFY2(report.value(0).startsWith(QStringLiteral("Pd12310515300")),
                 qPrintable(report.value(0)));

        // "Set Defaults" brings back the whole factory listing; the clock runs on.
        expected = kDefaultReport;
        report = setting([&] { clickOn(w->SetDefaults); });
        QCOMPARE(report.mid(1), shown(expected));
        QVERIFY2(report.value(0).startsWith(QStringLiteral("PD31120515300")),
                 qPrintable(report.value(0)));
        QVERIFY(!w->Text1->text().contains(QStringLiteral("<NACK>")));
    }

    void uploadOfAThousandTimesArrivesIntact() {
        QVERIFY(start(1000));
        QElapsedTimer clock;
        clock.start();
        QStringList upload = answer([&] { clickOn(w->UploadTimes); }, 1001);
        QCOMPARE(upload.size(), 1001);
        QCOMPARE(upload[0], QStringLiteral("<ACK>"));
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(upload[i + 1], shown(sim->device().recordLine(i)));
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        // Nothing more than the times.
        QVERIFY(!waitUntil([&] { return lines().size() > 1001; }, 200));

        // "Clear memory" empties it: all of it free, and an upload sends nothing.
        platform::seams().confirm = [](QWidget*, const QString&, const QString&) { return true; };
        QCOMPARE(answer([&] { clickOn(w->ClearMemory); }, 1), QStringList{"<ACK>"});
        QCOMPARE(answer([&] { clickOn(w->MemFree); }, 2),
                 (QStringList{"<ACK>", shown("MEMORY FREE 20000 OF 20000")}));
        QCOMPARE(answer([&] { clickOn(w->UploadTimes); }, 1), QStringList{"<ACK>"});
        QVERIFY(!waitUntil([&] { return lines().size() > 1005; }, 200));

        // A new session is a line of its own in memory.
        QCOMPARE(answer([&] { clickOn(w->NewSession); }, 1), QStringList{"<ACK>"});
        upload = answer([&] { clickOn(w->UploadTimes); }, 2);
        QCOMPARE(upload.value(1),
                 shown("00001 SESSION 002 " +
                       sim->device().now().toString(QStringLiteral("dd.MM.yy")).toLatin1()));
    }

    void uploadAndPrintShowsOnTheEmulatorsPrinter() {
        QVERIFY(start(3));
        const QStringList upload = answer([&] { clickOn(w->UploadPrint); }, 4);
        QCOMPARE(upload.mid(1),
                 shown(QList<QByteArray>{sim->device().recordLine(0), sim->device().recordLine(1),
                                         sim->device().recordLine(2)}));
        const QStringList printed = consoleMatching(QStringLiteral("[printer] "));
        QCOMPARE(printed.size(), 3);
        for (const QString& line : printed) // the default resolution, 1/1000 s
            QVERIFY2(line.contains(
                         QRegularExpression(QStringLiteral(" \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))),
                     qPrintable(line));
    }

    void xoffHoldsTheOutputAndXonReleasesIt() {
        // Paced like the real line, so the upload is still going when XOFF comes.
        QVERIFY(start(40, false));
        const QString xoff = QStringLiteral("Send XOFF");
        QCOMPARE(w->Command6->text(), xoff);
        clickOn(w->Command6);
        QVERIFY(waitUntil([&] { return sim->held(); }));

        // Held from the start: not even the acknowledge comes.
        clickOn(w->UploadTimes);
        QVERIFY(waitUntil([&] { return sim->waitingOutput() == 1 + 40 * 31; }));
        QVERIFY(!waitUntil([&] { return !lines().isEmpty(); }, 300));

        // Released: the lines flow, until XOFF again holds them mid-upload.
        clickOn(w->Command6);
        QVERIFY(waitUntil([&] { return lines().size() >= 6; }));
        clickOn(w->Command6);
        QVERIFY(waitUntil([&] { return sim->held(); }));
        waitUntil([] { return false; }, 100); // what was already on the line lands
        const int length = w->Text1->length();
        QVERIFY(!waitUntil([&] { return w->Text1->length() > length; }, 400));
        QVERIFY(sim->waitingOutput() > 0);
        QVERIFY(lines().size() < 41);

        clickOn(w->Command6);
        const QStringList upload = await(0, 41);
        QCOMPARE(upload.size(), 41);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(upload[i + 1], shown(sim->device().recordLine(i)));
        QCOMPARE(consoleMatching(QStringLiteral("<- XOFF")).size(), 2);
        QCOMPARE(consoleMatching(QStringLiteral("<- XON")).size(), 2);
    }

    void badFramesAreAnsweredWithNack() {
        QVERIFY(start());
        // A wrong checksum.
        QCOMPARE(answer([&] { w->send(QByteArray("\x02QD\x00\x03", 5)); }, 1),
                 QStringList{"<NACK>"});
        QVERIFY(w->Text1->text().endsWith(QStringLiteral("<NACK>\r\n")));
        QVERIFY(console.last().endsWith(QStringLiteral("NAK  bad checksum")));

        // Noise, bytes above 0x7F and a half frame, then a good frame at once:
        // the half frame is refused and the good one answered.
        const QStringList mixed =
            answer([&] { w->send(QByteArray("\x80\xFFnoise\x02QP") + krt::buildFrame("QD")); }, 3);
        QCOMPARE(mixed.mid(0, 2), (QStringList{"<NACK>", "<ACK>"}));
        QVERIFY(mixed.value(2).startsWith(QStringLiteral("PD")));

        // A frame that never ends is refused after the line has been quiet.
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(answer([&] { w->send("\x02QM"); }, 1), QStringList{"<NACK>"});
        QVERIFY(clock.elapsed() >= 190);

        // An unknown command.
        QCOMPARE(answer([&] { w->send(krt::buildFrame("QX")); }, 1), QStringList{"<NACK>"});
        QVERIFY(console.last().endsWith(QStringLiteral("NAK  unknown command")));

        // And the session goes on.
        QCOMPARE(answer([&] { clickOn(w->MemFree); }, 2).value(1),
                 shown("MEMORY FREE 20000 OF 20000"));
    }

    void everyCommandButtonIsAcknowledged() {
        QVERIFY(start(2));
        platform::seams().confirm = [](QWidget*, const QString&, const QString&) { return true; };
        const QList<QAbstractButton*> buttons = {
            w->GetDate,     w->MemFree,     w->ViewP,       w->SetDefaults, w->NewSession,
            w->UploadTimes, w->UploadPrint, w->ClearMemory, w->buzzer,      w->lockinput};
        for (QAbstractButton* b : buttons) {
            const QStringList got = answer([&] { clickOn(b); }, 1);
            QVERIFY2(got.value(0) == QStringLiteral("<ACK>"), qPrintable(b->accessibleName()));
            // Lines after the ACK ("View Param." sends several) may come late
            // on a loaded machine: the next answer starts once they are in.
            int length = -1;
            QElapsedTimer still;
            waitUntil([&] {
                const int now = w->Text1->length();
                if (now != length) still.restart();
                length = now;
                return still.elapsed() > 300;
            });
        }
        QVERIFY(!w->Text1->text().contains(QStringLiteral("<NACK>")));
    }

    void linkTextReachesPrinterAndDisplay() {
        QVERIFY(start());
        QCOMPARE(answer([&] { w->send(krt::buildFrame("LP")); }, 1), QStringList{"<ACK>"});
        QCOMPARE(answer([&] { w->send("HELLO WORLD\r" + krt::buildFrame("LX")); }, 1),
                 QStringList{"<ACK>"});
        QCOMPARE(answer([&] { w->send(krt::buildFrame("LL")); }, 1), QStringList{"<ACK>"});
        QCOMPARE(answer([&] { w->send("12:34" + krt::buildFrame("LX")); }, 1),
                 QStringList{"<ACK>"});
        QCOMPARE(consoleMatching(QStringLiteral("[printer] ")),
                 QStringList{"[printer] HELLO WORLD"});
        QCOMPARE(consoleMatching(QStringLiteral("[display] ")), QStringList{"[display] 12:34"});
    }

    // --- The executable ---------------------------------------------------

    void executableServesAPseudoTerminalUntilStopped() {
        QProcess process;
        process.start(QStringLiteral(KRT418_SIM_EXE), {"--fast", "--times", "5"});
        QVERIFY(process.waitForStarted());
        QVERIFY(waitUntil([&] { return process.canReadLine(); }));
        const QByteArray path = process.readLine().trimmed();
        QVERIFY2(path.startsWith("/dev/"), path.constData());

        qputenv("KRT418_COM1", path);
        w = RDData::instance();
        w->show();
        const QStringList upload = answer([&] { clickOn(w->UploadTimes); }, 6);
        QCOMPARE(upload.size(), 6);
        QVERIFY(upload[5].startsWith(QStringLiteral("00005 I")));
        unloadDataWindow();

        process.terminate();
        QVERIFY(process.waitForFinished(3000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QByteArray log = process.readAllStandardError();
        QVERIFY2(log.contains("<- <02>CU<98><03>  ACK  upload 5 records"), log.constData());
        QVERIFY(log.contains("stopped (signal 15)"));
        QVERIFY(process.readAllStandardOutput().isEmpty()); // the path line only
    }

    void executableServesAnExistingPort() {
        FakeDevice pc; // the far end plays the PC
        QVERIFY(pc.isValid());
        QProcess process;
        process.start(QStringLiteral(KRT418_SIM_EXE), {"--fast", "--port", pc.path()});
        QVERIFY(process.waitForStarted());
        QVERIFY(waitUntil([&] { return process.canReadLine(); }));
        QCOMPARE(QString::fromLocal8Bit(process.readLine().trimmed()), pc.path());
        QVERIFY(pc.write(krt::buildFrame("QM")));
        QCOMPARE(pc.readAtLeast(32), '\x06' + Device::wireLine("MEMORY FREE 20000 OF 20000"));
        process.terminate();
        QVERIFY(process.waitForFinished(3000));
        QCOMPARE(process.exitCode(), 0);
    }

    void executableRefusesBadArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("times") << QStringList{"--times", "lots"} << "--times takes a number";
        QTest::newRow("too many") << QStringList{"--times", "20001"} << "--times takes a number";
        QTest::newRow("port") << QStringList{"--port", "/dev/krt418-no-such-port"} << "cannot open";
        QTest::newRow("not a line") << QStringList{"--port", "/dev/null"} << "not a serial device";
        QTest::newRow("stray") << QStringList{"COM1"} << "unexpected argument";
    }
    void executableRefusesBadArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess process;
        process.start(QStringLiteral(KRT418_SIM_EXE), arguments);
        QVERIFY(process.waitForFinished(3000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(QString::fromLocal8Bit(process.readAllStandardError()).contains(message));
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
