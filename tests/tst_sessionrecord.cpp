// The session record's reader against files no writer of ours would leave,
// and the record's lines as QJsonDocument would write them.

#include "session/recordformat.h"
#include "session/recordreader.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
enum Make { Content, Folder, Fifo, Missing, NoPermission };

const qint64 kT = 1796889784120; // 2026-12-10T08:03:04.120Z

QByteArray header(int version = 1) {
    return record::headerLine(kT, "1.0", 1, "/dev/ttyS0", "9600,N,8,1")
        .replace("\"version\":1", "\"version\":" + QByteArray::number(version));
}

// Every event as one line of text, so two reads compare at a glance.
RecordReader::Sink logInto(QStringList& log) {
    RecordReader::Sink s;
    s.header = [&log](const RecordReader::Header& h) {
        log << QString("header %1 %2 %3 %4 %5 %6")
                   .arg(h.version)
                   .arg(h.openedMs)
                   .arg(h.program)
                   .arg(h.com)
                   .arg(h.device, h.settings);
    };
    s.field = [&log](const QString& text, int colour, qint64 t) {
        log << QString("field %1 %2 %3").arg(colour).arg(t).arg(QString(text.toUtf8().toHex()));
    };
    s.wire = [&log](bool sent, const QByteArray& bytes, qint64 t) {
        log << QString("%1 %2 %3")
                   .arg(sent ? "sent" : "received")
                   .arg(t)
                   .arg(QString(bytes.toHex()));
    };
    s.port = [&log](const RecordReader::Port& p, qint64 t) {
        log << QString("port %1 %2 %3 %4 %5 %6")
                   .arg(record::portEventName(p.event))
                   .arg(t)
                   .arg(p.com)
                   .arg(p.device)
                   .arg(p.errorNumber)
                   .arg(p.errorDescription);
    };
    s.clear = [&log](qint64 t) { log << QString("clear %1").arg(t); };
    return s;
}
} // namespace

class TestSessionRecord : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // Whatever a string holds, it is written as QJsonDocument writes it:
    // every UTF-16 unit alone (half pairs included), and pairs.
    void stringsAsQJsonDocumentWritesThem() {
        QString all;
        for (int u = 0; u <= 0xFFFF; ++u)
            all += QChar(char16_t(u));
        all += QString::fromUtf8("\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF");
        QByteArray ours = "[";
        record::appendString(ours, all);
        ours += ']';
        QCOMPARE(ours, QJsonDocument(QJsonArray{all}).toJson(QJsonDocument::Compact));
        QCOMPARE(QJsonDocument::fromJson(ours).array().at(0).toString(), all);
    }

    // Times as written read back to the millisecond, in any zone; what is
    // not exactly the form (no offset, a bad date) is no time.
    void times_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms"); // -1: refused
        QTest::newRow("+01:00") << "2026-12-10T09:03:04.120+01:00" << kT;
        QTest::newRow("-03:30") << "2026-12-10T04:33:04.120-03:30" << kT;
        QTest::newRow("Z") << "2026-12-10T08:03:04.120Z" << kT;
        QTest::newRow("no ms") << "2026-12-10T08:03:04+00:00" << kT - 120;
        QTest::newRow("no offset") << "2026-12-10T08:03:04.120" << qint64(-1);
        QTest::newRow("30 February") << "2026-02-30T08:03:04.120Z" << qint64(-1);
        QTest::newRow("hour 24") << "2026-12-10T24:03:04.120Z" << qint64(-1);
        QTest::newRow("two ms digits") << "2026-12-10T08:03:04.12Z" << qint64(-1);
        QTest::newRow("trailing") << "2026-12-10T08:03:04.120Z " << qint64(-1);
        QTest::newRow("sign in the year") << "+026-12-10T08:03:04.120Z" << qint64(-1);
    }
    void times() {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        QCOMPARE(record::parseTime(text).value_or(-1), ms);
    }
    void timesWrittenInTheLocalZone() {
        const QByteArray zone = qgetenv("TZ");
        for (const char* tz : {"Europe/Paris", "America/St_Johns", "UTC"}) {
            qputenv("TZ", tz);
            tzset();
            const QByteArray t = record::timeText(kT);
            QCOMPARE(record::parseTime(QString::fromLatin1(t)).value_or(-1), kT);
            if (QByteArray(tz) == "Europe/Paris") QCOMPARE(t, "2026-12-10T09:03:04.120+01:00");
            if (QByteArray(tz) == "UTC") QCOMPARE(t, "2026-12-10T08:03:04.120+00:00");
        }
        if (zone.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
    }

    // Each file gives its reason in one line, and what reads is delivered.
    void badFiles_data() {
        QTest::addColumn<int>("make");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("maxLine");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("delivered"); // lines of the log, header included
        const QByteArray h = header();
        const QByteArray clear = record::clearLine(kT);
        const auto row = [](const char* name, int make, const QByteArray& content,
                            const QString& summary, int delivered, int maxLine = 0) {
            QTest::newRow(name) << make << content << maxLine << summary << delivered;
        };
        row("a text journal", Content, ">> GET DATE <<\r\nPD081226150853\r\n",
            "not a session record: its first line is no record header", 0);
        row("a JSON line of another kind", Content, "{\"record\":\"other\",\"version\":1}\n",
            "not a session record: its first line is no record header", 0);
        row("empty", Content, "", "an empty file", 0);
        row("a newer version", Content, header(2) + clear,
            "a record of version 2, newer than this program reads (1)", 0);
        row("a header without its com", Content, QByteArray(h).replace("\"com\":1,", ""),
            "a record header without a valid \"com\"", 0);
        row("a folder", Folder, "", "a directory, not a regular file", 0);
        row("a FIFO", Fifo, "", "a FIFO, not a regular file", 0);
        row("missing", Missing, "", "No such file or directory", 0);
        if (geteuid() != 0) row("no permission", NoPermission, h, "Permission denied", 0);
        row("only the header", Content, h, "0 events read", 1);
        row("the header without its line end", Content, h.chopped(1), "0 events read", 1);
        row("a cut last line", Content, h + clear + clear.left(20),
            "1 event read, 1 line skipped: line 3: cut short (the file ends inside it)", 2);
        row("a last line whole but for its end", Content, h + clear + clear.chopped(1),
            "2 events read", 3);
        row("CR LF line ends", Content, QByteArray(h + clear).replace("\n", "\r\n"), "1 event read",
            2);
        row("not JSON", Content, h + "{\"t\":\n" + clear,
            "1 event read, 1 line skipped: line 2: not JSON", 2);
        row("an unknown kind", Content,
            h + QByteArray(clear).replace("clear", "beep\\nbeep") + clear,
            "1 event read, 1 line skipped: line 2: unknown kind \"beep?beep\"", 2);
        row("bytes above U+00FF", Content,
            h + QByteArray(record::wireLine(false, "ab", kT)).replace("ab", "a\\u0100") + clear,
            "1 event read, 1 line skipped: line 2: bytes above U+00FF", 2);
        row("a time without offset", Content,
            h + "{\"t\":\"2026-12-10T08:03:04.120\",\"kind\":\"clear\"}\n" + clear,
            "1 event read, 1 line skipped: line 2: no valid time", 2);
        row("an error that is no object", Content,
            h + record::portLine(record::PortEvent::Lost, 1, "d", 8002, "x", kT)
                    .replace("{\"number\":8002,\"description\":\"x\"}", "8002"),
            "0 events read, 1 line skipped: line 2: a port event without a valid event, com, "
            "device or error",
            1);
        row("an overlong line", Content, h + QByteArray(300, 'x') + '\n' + clear,
            "1 event read, 1 line skipped: line 2: longer than 256 bytes", 2, 256);
        row("an overlong cut last line", Content, h + clear + QByteArray(300, 'x'),
            "1 event read, 1 line skipped: line 3: longer than 256 bytes", 2, 256);
        row("a line over 64 MiB", Content,
            h + QByteArray(RecordReader::kMaxLineBytes + 1, 'x') + '\n' + clear,
            "1 event read, 1 line skipped: line 2: longer than 64 MiB", 2);
        row("an overlong first line", Content, QByteArray(300, '{') + '\n' + clear,
            "not a session record: its first line is longer than 256 bytes", 0, 256);
        QByteArray garbage = h;
        for (int i = 0; i < 1000; ++i)
            garbage += "[]\n";
        row("many bad lines", Content, garbage + clear,
            "1 event read, 1000 lines skipped: line 2: no kind (and 999 more)", 2);
    }
    void badFiles() {
        QFETCH(int, make);
        QFETCH(QByteArray, content);
        QFETCH(int, maxLine);
        QFETCH(QString, summary);
        QFETCH(int, delivered);
        const QString path = dir.filePath(QTest::currentDataTag());
        if (make == Folder) QVERIFY(QDir().mkpath(path));
        if (make == Fifo) QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (make == Content || make == NoPermission) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
            if (make == NoPermission) QVERIFY(f.setPermissions(QFile::WriteOwner));
        }
        QStringList log;
        RecordReader reader(logInto(log));
        if (maxLine) reader.setMaxLineBytes(maxLine);
        reader.readAll(path);
        QCOMPARE(reader.summary(), summary);
        QCOMPARE(log.size(), delivered);
        QVERIFY(reader.atEnd());
        QVERIFY(reader.problems().size() <= RecordReader::kKeptProblems);
        if (reader.skippedLines() > 0)
            QVERIFY(reader.problems().first().startsWith(
                summary.section(" skipped: ", 1).section(" (and", 0, 0)));
    }

    // Steps of any budget, and bytes fed in pieces, read what one read does.
    void stepsReadWhatOneReadDoes() {
        QByteArray file = header();
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        for (int i = 0; i < 200; ++i) {
            file += record::wireLine(i % 2, all.mid(i, 1 + i % 40), kT + i);
            file += record::fieldLine(QString::number(i) + "\r\n", i, kT + i);
            if (i % 50 == 0) file += "garbage\n";
        }
        file += record::portLine(record::PortEvent::Reopened, 2, "/dev/ttyUSB0", 0, "", kT);
        const QString path = dir.filePath("steps.jsonl");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();

        QStringList once, stepped, fed;
        RecordReader whole(logInto(once));
        QCOMPARE(whole.readAll(path), QString());
        QCOMPARE(whole.eventCount(), 401);
        QCOMPARE(whole.skippedLines(), 4);
        RecordReader steps(logInto(stepped));
        QCOMPARE(steps.open(path), QString());
        QCOMPARE(steps.size(), file.size());
        qint64 last = 0;
        while (steps.step(97)) {
            QVERIFY(steps.position() > last && steps.position() - last <= 97);
            last = steps.position();
        }
        QCOMPARE(steps.position(), file.size());
        RecordReader pieces(logInto(fed));
        for (qsizetype at = 0; at < file.size(); at += 13)
            pieces.feed(QByteArrayView(file).sliced(at, qMin<qsizetype>(13, file.size() - at)));
        pieces.end();
        QCOMPARE(stepped, once);
        QCOMPARE(fed, once);
        QCOMPARE(steps.summary(), whole.summary());
        QCOMPARE(pieces.summary(), whole.summary());
    }
};

QTEST_GUILESS_MAIN(TestSessionRecord)
#include "tst_sessionrecord.moc"
