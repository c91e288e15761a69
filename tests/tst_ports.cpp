// Which device stands behind COM1 and COM2: precedence, saved choices and
// stable names that follow an adapter to a new node.

#include "link/frame.h"
#include "link/portbinding.h"
#include "link/serialportcomponent.h"
#include "session/options.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using krt::BindingSource;

class TestPorts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("krt418-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_ports"));
    }
    void cleanup() {
        QSettings().clear();
        krt::setPortLister({});
        unloadDataWindow();
        krt::setByIdFolder(QStringLiteral("/dev/serial/by-id"));
        qunsetenv("KRT418_COM1");
    }

    void strongestSourceBinds_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QByteArray>("option");
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("source");
        const int chosen = int(BindingSource::Chosen), option = int(BindingSource::Option),
                  env = int(BindingSource::Environment), saved = int(BindingSource::Saved),
                  none = int(BindingSource::Default);
        QTest::newRow("menu choice beats all")
            << "/dev/c" << QByteArray("/dev/o") << QByteArray("/dev/e") << "/dev/s"
            << "/dev/c" << chosen;
        QTest::newRow("option beats the rest")
            << "" << QByteArray("/dev/o") << QByteArray("/dev/e") << "/dev/s"
            << "/dev/o" << option;
        QTest::newRow("environment beats saved")
            << "" << QByteArray() << QByteArray("/dev/e") << "/dev/s"
            << "/dev/e" << env;
        QTest::newRow("saved beats default") << "" << QByteArray() << QByteArray() << "/dev/s"
                                             << "/dev/s" << saved;
        QTest::newRow("default last")
            << "" << QByteArray() << QByteArray() << "" << krt::platformDefault(1) << none;
    }
    void strongestSourceBinds() {
        QFETCH(QString, chosen);
        QFETCH(QByteArray, option);
        QFETCH(QByteArray, environment);
        QFETCH(QString, saved);
        const krt::Binding binding = krt::chooseBinding(1, chosen, option, environment, saved);
        QTEST(binding.device, "device");
        QTEST(int(binding.source), "source");
    }

    // The process-wide pieces feed the same rule: option, KRT418_COM1, saved.
    void bindingReadsEachSource() {
        krt::PortBindings bindings;
        QCOMPARE(bindings.binding(1).device, krt::platformDefault(1));
        krt::saveBinding(1, QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(bindings.binding(1).source, BindingSource::Saved);
        qputenv("KRT418_COM1", "/dev/pts/77");
        QCOMPARE(bindings.binding(1).device, QStringLiteral("/dev/pts/77"));
        krt::PortBindings withOption({{{1, "/dev/ttyACM0"}}, std::nullopt, std::nullopt});
        QCOMPARE(withOption.binding(1).device, QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(withOption.binding(2).device, krt::platformDefault(2));
        // Variables read once at start-up are not read again.
        krt::PortBindings readOnce({{}, krt::PortSources::readEnvironment(), std::nullopt});
        qputenv("KRT418_COM1", "/dev/pts/78");
        QCOMPARE(readOnce.binding(1).device, QStringLiteral("/dev/pts/77"));
        withOption.choose(1, QStringLiteral("/dev/ttyUSB3"));
        QCOMPARE(withOption.binding(1).device, QStringLiteral("/dev/ttyUSB3"));
        // So are saved choices: another copy saving one later changes nothing here.
        qunsetenv("KRT418_COM2");
        krt::saveBinding(2, QStringLiteral("/dev/ttyUSB5"));
        krt::PortBindings savedOnce({{}, std::nullopt, krt::PortSources::readSaved()});
        krt::saveBinding(2, QStringLiteral("/dev/ttyUSB6"));
        QCOMPARE(savedOnce.binding(2).device, QStringLiteral("/dev/ttyUSB5"));
        QCOMPARE(bindings.binding(2).device, QStringLiteral("/dev/ttyUSB6"));
    }

    // A settings file holding garbage binds nothing and is left as it was.
    void garbledSettingsAreIgnored() {
        const QString file = QSettings().fileName();
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        const QByteArray garbage("[ports\n\x01\x02=\xff\ncom1=\"unterminated\n");
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(garbage);
        }
        QCOMPARE(krt::PortBindings().binding(1).source, BindingSource::Default);
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), garbage);
    }

    // A choice is saved by its stable name, which then follows the adapter
    // to whatever node it gets after being plugged into another socket.
    void stableNameFollowsTheAdapter() {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("ttyUSB0"));
        const QString second = dir.filePath(QStringLiteral("ttyUSB1"));
        for (const QString& node : {first, second}) {
            QFile f(node);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString stable = dir.filePath(QStringLiteral("usb-Maker_Adapter_A1-if00-port0"));
        QVERIFY(QFile::link(first, stable));
        krt::setPortLister([&] { return QList<krt::DetectedPort>{{first, stable, {}, {}, {}}}; });

        krt::saveBinding(1, first);
        QCOMPARE(krt::savedBinding(1), stable);
        QCOMPARE(krt::deviceToOpen(krt::PortBindings().binding(1).device), first);

        QVERIFY(QFile::remove(stable));
        QVERIFY(QFile::link(second, stable));
        QCOMPARE(krt::deviceToOpen(krt::PortBindings().binding(1).device), second);
        // Unplugged: the name is kept and fails to open as an ordinary node.
        QVERIFY(QFile::remove(second));
        QCOMPARE(krt::deviceToOpen(stable), stable);
        // A node without a stable name is saved as it is.
        krt::saveBinding(2, second);
        QCOMPARE(krt::savedBinding(2), second);
    }

    // The command line answers before any window opens; bad input exits 2.
    void commandLineAnswersAndRefuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--list-ports";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "krt418 5.0";
        QTest::newRow("list") << QStringList{"--list-ports"} << 0 << "";
        QTest::newRow("unknown") << QStringList{"--port", "/dev/pts/9"} << 2 << "Unknown option";
        QTest::newRow("no value") << QStringList{"--com1"} << 2 << "Missing value";
        QTest::newRow("empty value") << QStringList{"--com2="} << 2 << "needs a value";
        QTest::newRow("no folder") << QStringList{"--journal-dir"} << 2 << "Missing value";
        QTest::newRow("no record") << QStringList{"--open="} << 2 << "needs a value";
        QTest::newRow("stray word") << QStringList{"now"} << 2 << "unexpected argument";
        // Qt's own options are the toolkit's, before or after ours.
        QTest::newRow("qt options")
            << QStringList{"-style",  "fusion",     "-reverse",  "--version", "-qwindowgeometry",
                           "300x200", "--platform", "offscreen", "-display",  ":7"}
            << 0 << "krt418 5.0";
        QTest::newRow("qt option, bad one of ours")
            << QStringList{"-style=fusion", "--bogus"} << 2 << "Unknown option 'bogus'";
        // --help and --version answer whatever else is on the line.
        QTest::newRow("help after a bad option")
            << QStringList{"--font-size", "x", "--help"} << 0 << "--list-ports";
        QTest::newRow("help after a missing value")
            << QStringList{"--com1", "--help"} << 0 << "--list-ports";
        QTest::newRow("version after a bad option")
            << QStringList{"--bogus", "--version"} << 0 << "krt418 5.0";
        QTest::newRow("version before a stray word, -v")
            << QStringList{"-v", "now", "--com2="} << 0 << "krt418 5.0";
        QTest::newRow("help over version")
            << QStringList{"-v", "--bogus", "-h"} << 0 << "--list-ports";
        QTest::newRow("help after --list-ports")
            << QStringList{"--list-ports", "--help"} << 0 << "--list-ports";
        QTest::newRow("after --, a word")
            << QStringList{"--", "--help"} << 2 << "unexpected argument '--help'";
    }
    void commandLineAnswersAndRefuses() {
        QFETCH(QStringList, arguments);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(KRT418_EXECUTABLE), arguments);
        QVERIFY(program.waitForFinished(20000));
        QTEST(program.exitCode(), "status");
        const QByteArray complaint = program.readAllStandardError();
        const QString said = QString::fromLocal8Bit(program.readAllStandardOutput() + complaint);
        // An answer is given without a word about the rest of the line.
        if (program.exitCode() == 0) QVERIFY2(complaint.isEmpty(), complaint.constData());
        QFETCH(QString, output);
        QVERIFY2(said.contains(output), qPrintable(said));
        if (program.exitCode() == 2) QCOMPARE(said.count(QLatin1Char('\n')), 1);
    }

    // An answer that cannot be written is a failure, and says so: onto a
    // full disk, or into a pipe nobody reads any more.
    void commandLineAnswerNobodyTakes_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("closedPipe");
        QTest::addColumn<QString>("reason");
        QTest::newRow("help, full disk") << "--help" << false << "No space left on device";
        QTest::newRow("version, full disk") << "--version" << false << "No space left on device";
        QTest::newRow("help, closed pipe") << "--help" << true << "Broken pipe";
        QTest::newRow("version, closed pipe") << "--version" << true << "Broken pipe";
    }
    void commandLineAnswerNobodyTakes() {
        QFETCH(QString, option);
        QFETCH(bool, closedPipe);
        QFETCH(QString, reason);
        QProcess program;
        int pipe[2] = {-1, -1};
        if (closedPipe) {
            QVERIFY(::pipe(pipe) == 0);
            ::close(pipe[0]);
            program.setChildProcessModifier([fd = pipe[1]] { ::dup2(fd, STDOUT_FILENO); });
        } else {
            program.setStandardOutputFile(QStringLiteral("/dev/full"));
        }
        program.start(QStringLiteral(KRT418_EXECUTABLE), {option});
        if (closedPipe) ::close(pipe[1]);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(said.contains("cannot write the output: " + reason), qPrintable(said));
    }

    // Qt's options reach the toolkit: without a display the windows start
    // only when -platform does, and end cleanly on SIGTERM.
    void qtOptionsReachTheToolkit() {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(KRT418_EXECUTABLE),
                      {"-platform", "offscreen", "-style", "fusion", "-reverse", "-qwindowgeometry",
                       "300x200+0+0", "--no-journal"});
        QVERIFY(program.waitForStarted());
        QVERIFY2(!program.waitForFinished(1500), program.readAllStandardError().constData());
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    // A path is the system's bytes, valid text or not, as KRT418_COM1 takes
    // it; and --list-ports sees the bindings given beside it.
    void optionPathIsTakenByteForByte() {
        FakeDevice device;
        QTemporaryDir dir;
        const QByteArray link = QFile::encodeName(dir.path()) + "/port-\xff\xfe";
        QVERIFY(::symlink(QFile::encodeName(device.path()).constData(), link.constData()) == 0);
        const auto read = krt::readOptions({"krt418", "--com1", link});
        QVERIFY(std::holds_alternative<krt::Options>(read));
        auto bindings = std::make_shared<krt::PortBindings>(std::get<krt::Options>(read).ports);
        QCOMPARE(bindings->systemPath(1), link);
        SerialPortComponent port;
        port.setBindings(bindings);
        QCOMPARE(port.setPortOpen(true), PortError::None);
        port.setPortOpen(false);
    }

    // --list-ports marks the ports bound by the options beside it.
    void listPortsSeesTheOptionsBesideIt() {
        const auto list = [](const QStringList& arguments) {
            QProcess program;
            program.start(QStringLiteral(KRT418_EXECUTABLE),
                          arguments + QStringList{"--list-ports"});
            return program.waitForFinished(20000)
                       ? QString::fromLocal8Bit(program.readAllStandardOutput())
                       : QString();
        };
        const QString path = list({}).section('\t', 0, 0);
        if (path.isEmpty()) QSKIP("no serial port on this machine");
        const QString listed = list({"--com1", "/dev/krt418-none", "--com2", path});
        QVERIFY2(listed.startsWith(path + "\t") && listed.section('\n', 0, 0).endsWith("\tCOM2"),
                 qPrintable(listed));
    }

    // Options that only set something for this run return no status.
    void commandLineSetsThisRun() {
        const QByteArrayList arguments{
            "krt418",       "--com2", "/dev/ttyACM3",     "--journal-dir", "/tmp/sessions here",
            "--no-journal", "--open", "/tmp/a\xe9.jsonl", "--open=b.jsonl"};
        const auto read = krt::readOptions(arguments);
        QVERIFY(std::holds_alternative<krt::Options>(read));
        const krt::Options& options = std::get<krt::Options>(read);
        QCOMPARE(krt::PortBindings(options.ports).binding(2).device,
                 QStringLiteral("/dev/ttyACM3"));
        QCOMPARE(options.journal.folder, QStringLiteral("/tmp/sessions here"));
        QVERIFY(!options.journal.enabled);
        QCOMPARE(options.records,
                 (QStringList{QFile::decodeName("/tmp/a\xe9.jsonl"), QStringLiteral("b.jsonl")}));
    }

    // Right click on "Com2", pick a detected port: saved, and the port opens
    // on it as a click on "Com2" would.
    void rightClickChoosesAPort() {
        std::unique_ptr<FakeDevice> first;
        FakeDevice second;
        qunsetenv("KRT418_COM2");
        krt::setPortLister([&] {
            return QList<krt::DetectedPort>{{first->path(), {}, "Port A", {}, {}},
                                            {second.path(), {}, "Port B", {}, {}}};
        });
        RDData* w = openDataWindowOn(first);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Through the window, as the platform delivers it: that path turns a
        // right click into a context-menu request.
        QTest::mouseClick(w->windowHandle(), Qt::RightButton, {},
                          w->Option1[1]->mapTo(w, QPoint(6, w->Option1[1]->height() / 2)));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QStringList entries;
        for (QAction* action : menu->actions())
            entries << action->text();
        QCOMPARE(entries,
                 (QStringList{first->path() + "  (Port A)", second.path() + "  (Port B)", "",
                              "Other device...", "Default (" + krt::platformDefault(2) + ")"}));
        menu->actions().at(1)->trigger();
        QVERIFY(w->Option1[1]->isChecked());
        QVERIFY(w->MSComm1->portOpen());
        QCOMPARE(krt::savedBinding(2), second.path());
        // Each tip names the device and whether it is open, written as it shows.
        for (QRadioButton* option : w->Option1) {
            QHelpEvent tip(QEvent::ToolTip, QPoint(4, 4), option->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(option, &tip);
        }
        QCOMPARE(w->Option1[0]->toolTip(), "COM1: " + first->path() + ", not open");
        QCOMPARE(w->Option1[1]->toolTip(), "COM2: " + second.path() + ", open");
        // --list-ports marks the bound ones.
        QCOMPARE(w->MSComm1->bindings().describe(krt::detectedPorts()),
                 first->path() + "\t\tPort A\t\t\tCOM1\n" + second.path() +
                     "\t\tPort B\t\t\tCOM2\n");
        w->GetDate->click();
        QCOMPARE(second.readAtLeast(5), krt::buildFrame("QD"));
        unloadDataWindow();
        QVERIFY(!QApplication::activePopupWidget());
    }

    // A choice in the port menu is the binding for the rest of the run,
    // whatever the option or variable says, and even when it cannot be kept
    // for the next start (it then says why, in black).
    void menuChoiceBindsForTheRun_data() {
        QTest::addColumn<bool>("byOption");
        QTest::addColumn<bool>("canSave");
        QTest::newRow("under KRT418_COM1") << false << true;
        QTest::newRow("under --com1") << true << true;
        QTest::newRow("settings file is a folder") << true << false;
    }
    void menuChoiceBindsForTheRun() {
        QFETCH(bool, byOption);
        QFETCH(bool, canSave);
        FakeDevice first;
        FakeDevice second;
        // The option outranks the variable, which then names nothing.
        krt::PortSources sources;
        if (byOption) {
            sources.options[1] = QFile::encodeName(first.path());
            pointPortAtNothing(1);
        } else {
            first.attachAs(1);
        }
        const auto ports = std::make_shared<krt::PortBindings>(sources);
        RDData* w = RDData::instance(ports);
        w->show();
        QVERIFY(w->MSComm1->portOpen());
        const QString settingsFile = QSettings().fileName();
        if (!canSave) {
            QFile::remove(settingsFile);
            QVERIFY(QDir().mkpath(settingsFile));
        }
        krt::setPortLister([&] {
            return QList<krt::DetectedPort>{{second.path(), {}, {}, {}, {}}};
        });
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const auto openMenu = [&] {
            QTest::mouseClick(w->windowHandle(), Qt::RightButton, {},
                              w->Option1[0]->mapTo(w, QPoint(6, w->Option1[0]->height() / 2)));
            return qobject_cast<QMenu*>(QApplication::activePopupWidget());
        };
        QMenu* menu = openMenu();
        QVERIFY(menu);
        // The binding in force comes first, ticked, saying where it is from.
        QCOMPARE(menu->actions().at(0)->text(),
                 first.path() + (byOption ? "  (from --com1)" : "  (from KRT418_COM1)"));
        QVERIFY(menu->actions().at(0)->isChecked());
        menu->actions().at(1)->trigger();
        menu->close();
        QVERIFY(w->MSComm1->portOpen());
        // Clicked again, "Com1" re-opens the choice, not the option's device.
        clickOn(w->Option1[0]);
        w->GetDate->click();
        QCOMPARE(second.readAtLeast(5), krt::buildFrame("QD"));
        QVERIFY(first.staysQuiet());
        const QString text = w->Text1->text();
        QCOMPARE(text.contains("cannot be remembered"), !canSave);
        if (canSave) {
            QCOMPARE(krt::savedBinding(1), second.path());
        } else {
            QVERIFY2(text.contains(QDir::toNativeSeparators(settingsFile) + ": Is a directory"),
                     qPrintable(text));
            QVERIFY(QDir(settingsFile).removeRecursively());
        }
        menu = openMenu();
        QVERIFY(menu);
        QCOMPARE(menu->actions().at(0)->text(), second.path());
        QVERIFY(menu->actions().at(0)->isChecked());
        menu->close();
        // The next data window of the run opens the choice too.
        unloadDataWindow();
        RDData::instance(ports)->GetDate->click();
        QCOMPARE(second.readAtLeast(5), krt::buildFrame("QD"));
    }

    // The device back at the same path before the watch looked again: a
    // new pseudo-terminal that got the number of the lost one, as an
    // emulator restarted at once does.
    void deviceBackWithinOneLookIsOpened() {
        auto device = std::make_unique<FakeDevice>();
        device->attachAs(1);
        const QString path = device->path();
        RDData* w = RDData::instance();
        QVERIFY(w->MSComm1->portOpen());
        device->vanish();
        QVERIFY(waitUntil([&] { return !w->MSComm1->portOpen(); }));
        // A moment later, well within one look of the watch.
        QTest::qSleep(30);
        QVERIFY(device->reopen());
        if (device->path() != path) QSKIP("another program took the pseudo-terminal's number");
        QVERIFY(waitUntil([&] { return w->MSComm1->portOpen(); }, 3000));
        QVERIFY(device->write("back\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith("back\r\n"); }));
        QCOMPARE(w->Text1->text().count("8101"), 1);
    }

    // Each failure names the device and the system's reason, and its advice
    // fits the failure.
    void reasonsNameTheDeviceAndWhy_data() {
        QTest::addColumn<bool>("held");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("choice of a missing device")
            << false
            << QStringList{">> PORT ERROR: 8002 <<\r\nInvalid port number: no serial device\r\n"
                           "/dev/krt418-no-such-port.\r\n"};
        QTest::newRow("start-up on a held port")
            << true
            << QStringList{"Error #  8005\r\n", "(tst_ports,",
                           QString::number(QCoreApplication::applicationPid()) + ").\r\n",
                           "\r\nThe port is held by tst_ports,", "\"Com1\".\r\n"};
    }
    void reasonsNameTheDeviceAndWhy() {
        QFETCH(bool, held);
        QFETCH(QStringList, said);
        FakeDevice device;
        device.attachAs(1);
        QSerialPort other(device.path());
        if (held) QVERIFY(other.open(QIODevice::ReadWrite));
        auto ports = std::make_shared<krt::PortBindings>();
        RDData* w = RDData::instance(ports);
        if (!held) {
            QVERIFY(w->MSComm1->portOpen());
            w->Text1->setText(QString());
            ports->choose(1, QStringLiteral("/dev/krt418-no-such-port"));
            clickOn(w->Option1[0]);
        }
        const QString text = w->Text1->text();
        for (const QString& part : said)
            QVERIFY2(text.contains(part), qPrintable(text));
        QVERIFY2(!text.contains("Serial ports found"), qPrintable(text));
    }

    // A pulled and re-plugged adapter comes back by itself: its stable name
    // (a link here) re-pointed at the new node. Each round gives one loss
    // line and one re-open line, and the device's text flows again.
    void lostDeviceIsOpenedAgainWhenBack() {
        QTemporaryDir dir;
        const QString stable = dir.filePath(QStringLiteral("usb-Adapter-if00"));
        auto device = std::make_unique<FakeDevice>();
        QVERIFY(QFile::link(device->path(), stable));
        qputenv("KRT418_COM1", QFile::encodeName(stable));
        RDData* w = RDData::instance();
        QVERIFY(w->MSComm1->portOpen());
        QString expected;
        for (int round = 1; round <= 2; ++round) {
            // Unplugged: the stable name goes first, then the node.
            QVERIFY(QFile::remove(stable));
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("unplugged")), stable));
            device->vanish();
            QVERIFY(waitUntil([&] { return !w->MSComm1->portOpen(); }));
            QVERIFY(QTest::qWaitFor([&] { return w->Text1->text().count("8101") == round; }));
            QVERIFY(device->reopen());
            QVERIFY(QFile::remove(stable));
            QVERIFY(QFile::link(device->path(), stable));
            QVERIFY(waitUntil([&] { return w->MSComm1->portOpen(); }, 3000));
            // The name the operator bound, then the node it leads to now.
            expected += ">> PORT ERROR: 8101 <<\r\n>> PORT REOPENED: " + stable + " (" +
                        device->path() + ") <<\r\nround " + QString::number(round) + "\r\n";
            QVERIFY(device->write("round " + QByteArray::number(round) + "\r"));
            QVERIFY(waitUntil(
                [&] { return w->Text1->text().contains("round " + QString::number(round)); }));
        }
        QCOMPARE(w->Text1->text(), expected);
    }
};

QTEST_MAIN(TestPorts)
#include "tst_ports.moc"
