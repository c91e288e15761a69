// The frame layer and the serial port component on their own, without any
// window: frames, checksums, images, shown names and port open failures.

#include "fakedevice.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/linklog.h"
#include "link/portbinding.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "link/shownname.h"

#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <iterator>
#include <memory>
#include <unistd.h>

namespace {
// What each command puts on the line and in the field, by command: its
// payload and checksum, and its title line.
struct Golden {
    krt::Cmd id;
    const char* payload;
    int checksum;
    const char* title;
};
using krt::Cmd;
const Golden kGolden[] = {
    {Cmd::GetDate, "QD", 0x95, ">> GET DATE <<"},
    {Cmd::MemFree, "QM", 0x9E, ">> MEMORY FREE <<"},
    {Cmd::ViewParameters, "QP", 0xA1, ">> VIEW PARAMETERS <<"},
    {Cmd::NewSession, "CS", 0x96, ">> NEW SESSION <<"},
    {Cmd::UploadTimes, "CU", 0x98, ">> UPLOAD TIMES <<"},
    {Cmd::UploadPrint, "CA", 0x84, ">> UPLOAD TIMES & PRINT <<"},
    {Cmd::ClearMemory, "CC", 0x86, ">> CLEAR MEMORY <<"},
    {Cmd::SetDefaults, "CD", 0x87, ">> SET DEFAULTS <<"},
    {Cmd::BuzzerOn, "PB", 0x92, ">> BUZZER ON <<"},
    {Cmd::BuzzerOff, "Pb", 0xB2, ">> BUZZER OFF <<"},
    {Cmd::LockInputs, "Pe", 0xB5, ">> LOCK INPUT 5-16 <<"},
    {Cmd::UnlockInputs, "PE", 0x95, ">> UNLOCK INPUT 5-16 <<"},
    {Cmd::Speed9600, "PC", 0x93, ">> PC SPEED 9600 bds <<"},
    {Cmd::Speed19200, "Pc", 0xB3, ">> PC SPEED 19200 bds <<"},
    {Cmd::Printer0, "PP0", 0xD0, ">> SET PRINTER : S <<"},
    {Cmd::Printer1, "PP1", 0xD1, ">> SET PRINTER : 1/10 S <<"},
    {Cmd::Printer2, "PP2", 0xD2, ">> SET PRINTER : 1/100 S <<"},
    {Cmd::Printer3, "PP3", 0xD3, ">> SET PRINTER : 1/1'000 S <<"},
    {Cmd::Printer4, "PP4", 0xD4, ">> SET PRINTER : 1/10'000 S <<"},
    {Cmd::RunTimeOff, "Pl", 0xBC, ">> SET RUN SELECTION : OFF <<"},
    {Cmd::RunTimeTenths, "PL", 0x9C, ">> SET RUN SELECTION : 1/10 S <<"},
    {Cmd::LinkPrinter, "LP", 0x9C, ">> LINK PRINTER <<"},
    {Cmd::LinkLine, "LL", 0x98, ">> LINK LINE <<"},
    {Cmd::LinkOff, "LX", 0xA4, ">> LINK OFF <<"},
};
} // namespace

class TestWire : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeDevice> device;

private slots:
    void cleanup() { device.reset(); }

    void checksumAndImage_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("checksum");
        QTest::addColumn<QString>("image");
        QTest::newRow("PB") << QByteArray("PB") << 0x92 << "<02>PB<92><03>";
        QTest::newRow("sum wraps") << QByteArray("PK1D10") << 0x71 << "<02>PK1D10<71><03>";
        QTest::newRow("PKOD05") << QByteArray("PKOD05") << 0x93 << "<02>PKOD05<93><03>";
        QTest::newRow("date") << QByteArray("PD0112991530") << 0x93 << "<02>PD0112991530<93><03>";
        QTest::newRow("empty") << QByteArray() << 0 << "<02><0><03>";
        QTest::newRow("one digit") << QByteArray("ZZV") << 0x0A << "<02>ZZV<A><03>";
        QTest::newRow("sum 0x105")
            << QByteArray("\xFF\x06", 2) << 0x05 << QString::fromLatin1("<02>\xFF\x06<5><03>");
    }
    void checksumAndImage() {
        QFETCH(QByteArray, payload);
        QFETCH(int, checksum);
        QFETCH(QString, image);
        QCOMPARE(int(krt::frameChecksum(payload)), checksum);
        QCOMPARE(krt::frameImage(payload), image);
        const QByteArray frame = krt::buildFrame(payload);
        QCOMPARE(frame.size(), payload.size() + 3);
        QCOMPARE(frame.front(), '\x02');
        QCOMPARE(frame.back(), '\x03');
        QCOMPARE(frame.mid(1, payload.size()), payload);
        QCOMPARE(quint8(frame.at(frame.size() - 2)), quint8(checksum));
    }

    void namesShownWithoutControlCharacters_data() {
        QTest::addColumn<QByteArray>("systemName");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain path") << QByteArray("/dev/ttyUSB0") << "/dev/ttyUSB0";
        QTest::newRow("line feed and tab") << QByteArray("/tmp/a\nb\tc") << "/tmp/a\\nb\\tc";
        QTest::newRow("other C0, DEL") << QByteArray("a\x01\x1b\x7f") << "a\\x01\\x1B\\x7F";
        QTest::newRow("UTF-8 kept")
            << QByteArray("/tmp/M\xc3\xa9sures") << QStringLiteral("/tmp/M\u00e9sures");
        QTest::newRow("C1 spelled out") << QByteArray("a\xc2\x85") << "a\\x85";
        QTest::newRow("invalid UTF-8 bytes") << QByteArray("/dev/\xff\xc3(") << "/dev/\\xFF\\xC3(";
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << "\\xC0\\xAF";
    }
    void namesShownWithoutControlCharacters() {
        QFETCH(QByteArray, systemName);
        QFETCH(QString, shown);
        QCOMPARE(krt::shownName(systemName), shown);
        // Valid UTF-8 reads the same through the text form.
        if (QString::fromUtf8(systemName).toUtf8() == systemName)
            QCOMPARE(krt::shownName(QString::fromUtf8(systemName)), shown);
    }

    void checksumByteIsNeverEscaped() {
        // Payloads whose checksum is one of the bytes that mean something on a line.
        for (int wanted : {0x02, 0x03, 0x11, 0x13, 0x80, 0xFF}) {
            const QByteArray payload =
                QByteArray(1, 'A') + QByteArray(1, char((wanted - 'A') & 0xFF));
            const QByteArray frame = krt::buildFrame(payload);
            QCOMPARE(frame.size(), 5);
            QCOMPARE(quint8(frame.at(3)), quint8(wanted));
        }
    }

    void toWireIsOneBytePerCharacter() {
        QString text;
        for (int i = 0; i < 256; ++i)
            text += QChar(i);
        text += QChar(0x20AC);
        const QByteArray bytes = krt::toWire(text);
        QCOMPARE(bytes.size(), 257);
        for (int i = 0; i < 256; ++i)
            QCOMPARE(quint8(bytes.at(i)), quint8(i));
        QCOMPARE(bytes.at(256), '?');
        QCOMPARE(krt::fromWire(bytes.left(256)), text.left(256));
    }

    // The transform acts on the first ACK, NAK and CR of each read, so the
    // read size is part of the rule: answers that come in back to back,
    // taken an input length at a time, show every ACK and NAK spelled out.
    void answersBackToBackKeepEveryAcknowledge_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("shown");
        const QByteArray a(krt::line::DeviceLineChars, 'A'), b(krt::line::DeviceLineChars, 'B');
        QTest::newRow("two answers")
            << "\x06" + a + "\r\x06" + b + "\r"
            << QString::fromLatin1("<ACK>\r\n" + a + "\r\n<ACK>\r" + b.left(29) + "B\r\n");
        QTest::newRow("refused, then answered")
            << "\x15\x06" + a + "\r"
            << QString::fromLatin1("<NACK>\r\n<ACK>\r" + a.left(29) + "A\r\n");
    }
    void answersBackToBackKeepEveryAcknowledge() {
        QFETCH(QByteArray, stream);
        QString shown;
        for (qsizetype at = 0; at < stream.size(); at += krt::line::InputLengthBytes)
            shown += transformChunk(stream.mid(at, krt::line::InputLengthBytes));
        QTEST(shown, "shown");
        QVERIFY(!shown.contains(QChar(krt::ACK)) && !shown.contains(QChar(krt::NAK)));
        // Two answers in one read: the second acknowledge stays a raw byte.
        QCOMPARE(transformChunk("\x06x\x06"), QString("<ACK>\r\nx\x06"));
    }

    void everyCommandHasOneGoldenRow() {
        QSet<int> ids;
        for (const Golden& g : kGolden)
            ids.insert(int(g.id));
        QCOMPARE(ids.size(), int(std::size(kGolden)));
        QCOMPARE(ids.size(), int(krt::Cmd::Count));
    }

    void tableConstantsFollowTheRule_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("checksum");
        QTest::addColumn<QByteArray>("title");
        for (const Golden& g : kGolden)
            QTest::newRow(g.payload)
                << int(g.id) << QByteArray(g.payload) << g.checksum << QByteArray(g.title);
    }
    void tableConstantsFollowTheRule() {
        QFETCH(int, id);
        QFETCH(QByteArray, payload);
        QFETCH(int, checksum);
        QFETCH(QByteArray, title);
        const krt::Command& c = krt::command(krt::Cmd(id));
        QCOMPARE(int(c.id), id);
        QCOMPARE(QByteArray(c.payload), payload);
        QCOMPARE(int(krt::frameChecksum(c.payload)), checksum);
        QCOMPARE(krt::buildFrame(c.payload), '\x02' + payload + char(checksum) + '\x03');
        QCOMPARE(QByteArray(c.title), title);
        QVERIFY(QByteArray(c.title).startsWith(">> "));
        QVERIFY(QByteArray(c.title).endsWith(" <<"));
    }

    // Each open failure names its real cause, and names from outside go into
    // the text with their control characters spelled out.
    void openFailuresNameTheirCause_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("reason");
        QTest::newRow("null") << QByteArray("/dev/null") << 8002
                              << "(Inappropriate ioctl for device)";
        QTest::newRow("directory")
            << QByteArray("/") << 8002 << "/ cannot be opened (Is a directory)";
        // A link is followed to its node, whose own lock file is taken, however
        // long the link's name.
        QTest::newRow("long link name") << QByteArray(240, 'a') << 0 << "";
        QTest::newRow("line feed") << QByteArray("no\nport") << 8002 << "no serial device ";
        QTest::newRow("not UTF-8") << QByteArray("gone\xFF") << 8002 << "gone\\xFF.";
        // Byte for byte: a link whose name is not UTF-8 opens the device.
        QTest::newRow("not UTF-8 link") << QByteArray("port\xE9") << 0 << "";
    }
    void openFailuresNameTheirCause() {
        QFETCH(QByteArray, name);
        QFETCH(int, number);
        QFETCH(QString, reason);
        QTemporaryDir scratch;
        const QByteArray dir = QFile::encodeName(scratch.path()) + '/';
        device = std::make_unique<FakeDevice>();
        for (const QByteArray& link : {QByteArray(240, 'a'), QByteArray("port\xE9")})
            QCOMPARE(
                ::symlink(QFile::encodeName(device->path()).constData(), (dir + link).constData()),
                0);
        qputenv("KRT418_COM5", name.startsWith('/') ? name : dir + name);
        SerialPortComponent port;
        port.setCommPort(5);
        QCOMPARE(printedNumber(port.setPortOpen(true)), number);
        qunsetenv("KRT418_COM5");
        if (number == 0) {
            QCOMPARE(port.output("\x06"), PortError::None);
            QCOMPARE(device->readAtLeast(1), QByteArray("\x06"));
        }
        const QString text = port.errorDescription();
        QVERIFY2(text.contains(reason) && !text.contains(QRegularExpression("[\\x00-\\x1F]")),
                 qPrintable(text));
    }

    // Silent by default; the logging rules switch on the open and how its
    // failure became a number.
    void linkLogIsSilentUntilSwitchedOn() {
        QVERIFY(!lcLink().isDebugEnabled());
        QLoggingCategory::setFilterRules(QStringLiteral("krt418.link.debug=true"));
        qputenv(krt::environmentName(5).constData(), "/");
        SerialPortComponent port;
        port.setCommPort(5);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("COM 5 opens \"/\""));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("open of \"/\" failed"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("COM 5 error 8002"));
        QCOMPARE(port.setPortOpen(true), PortError::InvalidPort);
        qunsetenv(krt::environmentName(5).constData());
        QLoggingCategory::setFilterRules(QString());
        QVERIFY(!lcLink().isDebugEnabled());
    }
};

QTEST_GUILESS_MAIN(TestWire)
#include "tst_wire.moc"
