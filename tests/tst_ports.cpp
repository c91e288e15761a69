// Which device stands behind COM1 and COM2: precedence, saved choices and
// stable names that follow an adapter to a new node.

#include "datawindow/journal.h"
#include "link/frame.h"
#include "link/portbinding.h"
#include "link/serialportcomponent.h"
#include "shell/options.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
        krt::setOptionBinding(1, QString());
        krt::setPortLister({});
        unloadDataWindow();
        krt::setByIdFolder(QStringLiteral("/dev/serial/by-id"));
        qunsetenv("KRT418_COM1");
    }

    void strongestSourceBinds_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("source");
        const int option = int(BindingSource::Option), env = int(BindingSource::Environment),
                  saved = int(BindingSource::Saved), none = int(BindingSource::Default);
        QTest::newRow("option beats all") << "/dev/o" << QByteArray("/dev/e") << "/dev/s"
                                          << "/dev/o" << option;
        QTest::newRow("environment beats saved") << "" << QByteArray("/dev/e") << "/dev/s"
                                                 << "/dev/e" << env;
        QTest::newRow("saved beats default") << "" << QByteArray() << "/dev/s"
                                             << "/dev/s" << saved;
        QTest::newRow("default last")
            << "" << QByteArray() << "" << krt::platformDefault(1) << none;
    }
    void strongestSourceBinds() {
        QFETCH(QString, option);
        QFETCH(QByteArray, environment);
        QFETCH(QString, saved);
        const krt::Binding binding = krt::chooseBinding(1, option, environment, saved);
        QTEST(binding.device, "device");
        QTEST(int(binding.source), "source");
    }

    // The process-wide pieces feed the same rule: option, KRT418_COM1, saved.
    void currentBindingReadsEachSource() {
        QCOMPARE(krt::currentBinding(1).device, krt::platformDefault(1));
        krt::saveBinding(1, QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(krt::currentBinding(1).source, BindingSource::Saved);
        qputenv("KRT418_COM1", "/dev/pts/77");
        QCOMPARE(krt::currentBinding(1).device, QStringLiteral("/dev/pts/77"));
        krt::setOptionBinding(1, QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(krt::currentBinding(1).device, QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(krt::currentBinding(2).device, krt::platformDefault(2));
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
        QCOMPARE(krt::currentBinding(1).source, BindingSource::Default);
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
        QCOMPARE(krt::deviceToOpen(krt::currentBinding(1).device), first);

        QVERIFY(QFile::remove(stable));
        QVERIFY(QFile::link(second, stable));
        QCOMPARE(krt::deviceToOpen(krt::currentBinding(1).device), second);
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
        QTest::newRow("stray word") << QStringList{"now"} << 2 << "unexpected argument";
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
        const QString said = QString::fromLocal8Bit(program.readAllStandardOutput() +
                                                    program.readAllStandardError());
        QFETCH(QString, output);
        QVERIFY2(said.contains(output), qPrintable(said));
        if (program.exitCode() == 2) QCOMPARE(said.count(QLatin1Char('\n')), 1);
    }

    // Options that only set something for this run return no status.
    void commandLineSetsThisRun() {
        const QStringList arguments{
            "krt418",      "--com2", "/dev/ttyACM3", "--journal-dir", "/tmp/sessions here",
            "--no-journal"};
        QCOMPARE(krt::handleCommandLine(arguments), std::nullopt);
        QCOMPARE(krt::currentBinding(2).device, QStringLiteral("/dev/ttyACM3"));
        QCOMPARE(Journal::options().folder, QStringLiteral("/tmp/sessions here"));
        QVERIFY(!Journal::options().enabled);
        krt::setOptionBinding(2, QString());
        Journal::options() = Journal::Options::fromSettings();
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
        QCOMPARE(krt::describePorts(krt::detectedPorts()),
                 first->path() + "\t\tPort A\t\t\tCOM1\n" + second.path() +
                     "\t\tPort B\t\t\tCOM2\n");
        w->GetDate->click();
        QCOMPARE(second.readAtLeast(5), krt::buildFrame("QD"));
        unloadDataWindow();
        QVERIFY(!QApplication::activePopupWidget());
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
            expected += ">> PORT ERROR: 8101 <<\r\n>> PORT REOPENED: " + device->path() +
                        " <<\r\nround " + QString::number(round) + "\r\n";
            QVERIFY(device->write("round " + QByteArray::number(round) + "\r"));
            QVERIFY(waitUntil(
                [&] { return w->Text1->text().contains("round " + QString::number(round)); }));
        }
        QCOMPARE(w->Text1->text(), expected);
    }
};

QTEST_MAIN(TestPorts)
#include "tst_ports.moc"
