// The wire record and the times of the field's lines against models worked
// out one byte and one character at a time.
#include "link/sessionclock.h"
#include "link/wirerecord.h"
#include "logview/byterows.h"
#include "logview/logstore.h"

#include <QTest>

#include <vector>

using Direction = WireRecord::Direction;

namespace {
struct Write {
    Direction direction;
    QByteArray bytes;
    qint64 timeMs;
};
using Writes = QList<Write>;

QByteArray everyByte() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    return all;
}
} // namespace

Q_DECLARE_METATYPE(Writes)

class TestRecord : public QObject {
    Q_OBJECT
private slots:
    void wireAgainstAModel_data() {
        QTest::addColumn<Writes>("writes");
        const QByteArray all = everyByte();
        Writes alternating, byByte, straddling, backwards;
        for (int i = 0; i < 2600; ++i)
            alternating << Write{i % 3 ? Direction::Received : Direction::Sent,
                                 all.mid(i % 200, 1 + i % 31), 1000 + i};
        byByte << Write{Direction::Sent, all, 5};
        for (int b = 0; b < 256; ++b)
            byByte << Write{Direction::Received, all.mid(b, 1), 6 + b};
        straddling << Write{Direction::Received, QByteArray(WireRecord::kBlockBytes - 3, 'x'), 1}
                   << Write{Direction::Sent, all, 2}
                   << Write{Direction::Received, QByteArray(3 * WireRecord::kBlockBytes, '\0'), 3};
        // The wall clock set back in the middle: times stay in order.
        backwards << Write{Direction::Sent, "QD", 5000} << Write{Direction::Received, "\x06", 4000}
                  << Write{Direction::Received, "PD", 6000};
        QTest::newRow("nothing") << Writes{};
        QTest::newRow("an empty read") << Writes{{Direction::Received, {}, 1}};
        QTest::newRow("both ways, many strides") << alternating;
        QTest::newRow("every byte value, one write, then a read each") << byByte;
        QTest::newRow("chunks across blocks") << straddling;
        QTest::newRow("a clock set back") << backwards;
    }
    void wireAgainstAModel() {
        QFETCH(Writes, writes);
        WireRecord record;
        QByteArray model;
        struct ModelChunk {
            Direction direction;
            qint64 time;
            qsizetype offset, length, stream;
        };
        std::vector<ModelChunk> chunks;
        qsizetype streams[2] = {0, 0};
        qint64 last = std::numeric_limits<qint64>::min();
        for (const Write& w : writes) {
            record.append(w.direction, w.bytes, w.timeMs);
            if (w.bytes.isEmpty()) continue;
            last = std::max(last, w.timeMs);
            chunks.push_back(
                {w.direction, last, model.size(), w.bytes.size(), streams[int(w.direction)]});
            streams[int(w.direction)] += w.bytes.size();
            model += w.bytes;
        }
        QCOMPARE(record.byteCount(), model.size());
        QCOMPARE(record.chunkCount(), qsizetype(chunks.size()));
        QCOMPARE(record.streamLength(Direction::Sent), streams[0]);
        QCOMPARE(record.streamLength(Direction::Received), streams[1]);
        QCOMPARE(record.bytes(0, record.byteCount()), model);
        for (qsizetype i = 0; i < qsizetype(chunks.size()); ++i) {
            const WireRecord::Chunk c = record.chunk(i);
            QCOMPARE(c.direction, chunks[size_t(i)].direction);
            QCOMPARE(c.timeMs, chunks[size_t(i)].time);
            QCOMPARE(c.offset, chunks[size_t(i)].offset);
            QCOMPARE(c.length, chunks[size_t(i)].length);
            QCOMPARE(c.streamOffset, chunks[size_t(i)].stream);
            QCOMPARE(record.chunkAt(c.offset), i);
            QCOMPARE(record.chunkAt(c.offset + c.length - 1), i);
            QCOMPARE(record.bytes(c.offset, c.offset + c.length), model.mid(c.offset, c.length));
        }
        for (qsizetype at = 0; at < model.size(); at += std::max<qsizetype>(1, model.size() / 5000))
            QCOMPARE(record.at(at), model[at]);
        QByteArray pieces;
        while (pieces.size() < model.size())
            pieces += record.piece(pieces.size()).toByteArray();
        QCOMPARE(pieces, model);
        if (!chunks.empty()) // 16 bytes a chunk, in pages of 4096
            QVERIFY(record.bytesHeld() <= qsizetype(model.size() * 1.1) + 16 * 4096 + 64 * 1024 +
                                              qsizetype(sizeof(WireRecord)) + 1024);
        record.clear();
        QCOMPARE(record.byteCount(), qsizetype(0));
        QCOMPARE(record.chunkCount(), qsizetype(0));
        QCOMPARE(record.streamLength(Direction::Received), qsizetype(0));
        QVERIFY(record.bytesHeld() < 1024);
        record.append(Direction::Sent, "again", 7);
        QCOMPARE(record.chunk(0).streamOffset, qsizetype(0));
    }

    // A line's time is that of the insertion that brought its first
    // character; 4 bytes a line, through any length of session.
    void lineTimesAgainstAModel_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QList<qint64>>("lines"); // each line's time; -1 for none yet
        QTest::newRow("empty") << QStringList{} << QList<qint64>{} << QList<qint64>{-1};
        QTest::newRow("a line a text")
            << QStringList{"a\r\n", "b\r\n"} << QList<qint64>{10, 20} << QList<qint64>{10, 20, -1};
        QTest::newRow("the first character decides")
            << QStringList{"ab", "c\r\nd", "e\r", "\n", "f"} << QList<qint64>{1, 2, 3, 4, 5}
            << QList<qint64>{1, 2, 4, 5}; // the third line is its end alone
        QTest::newRow("several lines in one text")
            << QStringList{"x\ny\rz\r\n"} << QList<qint64>{7} << QList<qint64>{7, 7, 7, -1};
        const qint64 day = 24LL * 3600 * 1000;
        QTest::newRow("fifty days and on")
            << QStringList{"a\n", "b", "c\n", "d\n", "e"}
            << QList<qint64>{day, 30 * day, 80 * day, 80 * day + 1, 200 * day}
            << QList<qint64>{day, 30 * day, 80 * day + 1, 200 * day};
        QTest::newRow("a clock set back")
            << QStringList{"a\n", "b\n", "c\n"} << QList<qint64>{500, 100, 600}
            << QList<qint64>{500, 500, 600, -1};
    }
    void lineTimesAgainstAModel() {
        QFETCH(QStringList, texts);
        QFETCH(QList<qint64>, times);
        QFETCH(QList<qint64>, lines);
        LogStore store;
        for (qsizetype i = 0; i < texts.size(); ++i)
            store.append(texts[i], 1, times[i]);
        QCOMPARE(store.lineCount(), lines.size());
        for (qsizetype line = 0; line < lines.size(); ++line)
            QCOMPARE(store.lineTime(line), lines[line]);
        store.clear();
        QCOMPARE(store.lineTime(0), qint64(-1));
    }

    // The byte view's rows: a chunk begins a row, 16 bytes a row at most, each
    // row its time, direction, offset among its direction's bytes, hex and
    // the bytes themselves.
    void byteRows() {
        WireRecord record;
        ByteRows rows(record);
        const qint64 at =
            QDateTime::fromString("2026-12-09T14:03:07.125", Qt::ISODateWithMs).toMSecsSinceEpoch();
        record.append(Direction::Sent, QByteArray("\x02QD\x95\x03"), at);
        record.append(Direction::Received, everyByte().mid(0x06, 20), at + 32);
        for (int i = 0; i < 3000; ++i)
            record.append(Direction::Received, "z", at + 40 + i);
        rows.update();
        QCOMPARE(rows.rowCount(), 1 + 2 + 3000);
        QCOMPARE(rows.text(0), QString::fromLatin1("14:03:07.125 TX 00000000  02 51 44 95 03"
                                                   "                                    "
                                                   "\x02QD\x95\x03"));
        QCOMPARE(rows.text(1).mid(13, 63),
                 QStringLiteral("RX 00000000  06 07 08 09 0A 0B 0C 0D  0E 0F 10 11 12 13 14 15  "));
        QCOMPARE(rows.text(2).left(31), QStringLiteral("14:03:07.157 RX 00000010  16 17"));
        QCOMPARE(rows.text(2).size(), ByteRows::charColumn(4));
        const ByteRows::Row last = rows.row(3002);
        QCOMPARE(last.chunk, qsizetype(3001));
        QCOMPARE(last.offset, qsizetype(5 + 20 + 2999));
        QCOMPARE(rows.text(3002).mid(16, 8), QStringLiteral("00000BCB")); // 20 + 2999 received
        for (const qsizetype offset : {qsizetype(0), qsizetype(4), qsizetype(5), qsizetype(21),
                                       qsizetype(25), qsizetype(1500), record.byteCount() - 1})
            QVERIFY(rows.row(rows.rowOf(offset)).offset <= offset &&
                    offset <
                        rows.row(rows.rowOf(offset)).offset + rows.row(rows.rowOf(offset)).length);
        QCOMPARE(ByteRows::byteAtColumn(ByteRows::hexColumn(9) + 1), 9);
        QCOMPARE(ByteRows::byteAtColumn(ByteRows::charColumn(15)), 15);
        QCOMPARE(ByteRows::byteAtColumn(ByteRows::hexColumn(7) + 2), -1);
        record.clear();
        rows.clear();
        QCOMPARE(rows.rowCount(), qsizetype(0));
        QCOMPARE(rows.text(0), QString());
    }

    // The session's clock reads the wall clock once: what the system's clock
    // does later does not move it.
    void sessionClockReadsTheWallOnce() {
        qint64 elapsed = 0;
        const QDateTime start =
            QDateTime::fromString("2026-12-09T14:03:00.000Z", Qt::ISODateWithMs);
        SessionClock clock(start, [&] { return elapsed; });
        QCOMPARE(clock.nowMs(), start.toMSecsSinceEpoch());
        elapsed = 32;
        QCOMPARE(clock.nowMs(), start.toMSecsSinceEpoch() + 32);
        SessionClock real(QDateTime::currentDateTime());
        const qint64 first = real.nowMs();
        QVERIFY(real.nowMs() >= first);
    }
};

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
