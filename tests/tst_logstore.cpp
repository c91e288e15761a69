// The data field's store against a model worked out one character at a time.
#include "logview/linecolumns.h"
#include "logview/logstore.h"

#include <QRandomGenerator>

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr qsizetype kBlock = LogStore::kBlockBytes;

// 30 characters of a numbered line.
QString lineText(qsizetype i) {
    return QString::number(i).rightJustified(7, u'0') + u" abcdefghijklmnopqrstuv"_s;
}
} // namespace

class TestLogStore : public QObject {
    Q_OBJECT
private slots:
    void appendAndReadBack_data();
    void appendAndReadBack();
    void millionLines();
    void columnsAgainstAModel();
};

void TestLogStore::appendAndReadBack_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("colours");
    QString all;
    for (int c = 0; c < 256; ++c)
        all += QChar(c);
    QString mixed;
    QList<int> entryColours;
    for (int i = 0; mixed.size() < 5 * kBlock / 2; ++i)
        mixed += lineText(i).left(i % 40) + QStringList{u"\r\n"_s, u"\n"_s, u"\r"_s}[i % 3];
    QStringList many;
    for (int i = 0; i < 2500; ++i) {
        many << lineText(i) + (i % 50 ? u"\r\n"_s : u"\r"_s) << (i % 50 ? u""_s : u"\nx"_s);
        entryColours << i / 7 % 3 << (i % 50 ? 9 : i / 7 % 3);
    }
    QTest::newRow("nothing") << QStringList{} << QList<int>{};
    QTest::newRow("empty text") << QStringList{u""_s} << QList<int>{1};
    QTest::newRow("ends") << QStringList{u"ab\ncd\r\nef\rg\n\r\r\n"_s} << QList<int>{1};
    QTest::newRow("cr then lf, runs")
        << QStringList{u"ab\r"_s, u"\nc"_s, u""_s, u"d\n"_s, u"e"_s} << QList<int>{1, 1, 2, 2, 1};
    QTest::newRow("wide") << QStringList{u"a\u0100b\u20ACc\U0001F600"_s} << QList<int>{3};
    QTest::newRow("all bytes") << QStringList{all} << QList<int>{4};
    QTest::newRow("crlf across block end")
        << QStringList{QString(kBlock - 1, u'a'), u"\r\nb"_s} << QList<int>{1, 2};
    QTest::newRow("long mixed text") << QStringList{mixed} << QList<int>{5};
    QTest::newRow("many appends") << many << entryColours;
}

void TestLogStore::appendAndReadBack() {
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, colours);
    QString model;
    QList<int> modelColours;
    for (qsizetype t = 0; t < texts.size(); ++t) {
        for (qsizetype k = 0; k < texts[t].size(); ++k) {
            QChar c = texts[t][k];
            if (c == u'\r' && k + 1 < texts[t].size() && texts[t][k + 1] == u'\n') ++k;
            model += c == u'\r' ? QChar(u'\n') : c.unicode() > 0xFF ? QChar(u'?') : c;
            modelColours << colours[t];
        }
    }

    LogStore store;
    QByteArrayView early;
    QByteArray earlyCopy;
    for (qsizetype t = 0; t < texts.size(); ++t) {
        store.append(texts[t], colours[t]);
        if (t == 0) earlyCopy = (early = store.piece(0)).toByteArray();
    }
    QCOMPARE(early.toByteArray(), earlyCopy); // blocks never move

    for (int pass = 0; pass < 2; ++pass) {
        const qsizetype n = model.size();
        QCOMPARE(store.length(), n);
        QCOMPARE(store.lineCount(), model.count(u'\n') + 1);
        QCOMPARE(store.lastLineOpen(), n > 0 && !model.endsWith(u'\n'));
        QCOMPARE(store.runs().empty(), n == 0);
        QCOMPARE(store.lineStart(0), qsizetype(0));
        QByteArray pieces;
        for (qsizetype p = 0, line = 0; p <= n; ++p) {
            QCOMPARE(store.lineAt(p), line);
            if (p == store.lineStart(line))
                QCOMPARE(store.lineLength(line),
                         model.indexOf(u'\n', p) < 0 ? n - p : model.indexOf(u'\n', p) - p);
            if (p == n) break;
            QCOMPARE(store.at(p), model[p].toLatin1());
            const size_t run = store.runAt(p);
            QCOMPARE(store.runs()[run].colour, modelColours[p]);
            QVERIFY(store.runs()[run].start <= p && p < store.runEnd(run));
            QVERIFY(run == 0 || store.runs()[run - 1].colour != store.runs()[run].colour);
            if (p == pieces.size()) pieces += store.piece(p).toByteArray();
            if (model[p] == u'\n') QCOMPARE(store.lineStart(++line), p + 1);
        }
        QCOMPARE(pieces, model.toLatin1());
        QVERIFY(store.piece(n).isEmpty());
        // Every pair of positions in a short store; around block ends in a long one.
        QList<qsizetype> at{-3, 0, 1, n - 1, n, n + 3};
        if (n <= 60)
            for (qsizetype p = 2; p < n - 1; ++p)
                at << p;
        else
            for (qsizetype p = kBlock; p < n; p += kBlock)
                at << p - 1 << p << p + 1;
        for (qsizetype from : at) {
            for (qsizetype to : at) {
                const qsizetype f = qBound<qsizetype>(0, from, n), t = qBound<qsizetype>(0, to, n);
                const QString want = t > f ? model.mid(f, t - f) : QString();
                QCOMPARE(store.text(from, to, u"\n"), want);
                QCOMPARE(store.text(from, to, u"\r"), QString(want).replace(u'\n', u'\r'));
                QCOMPARE(store.text(from, to, u"\r\n"), QString(want).replace(u'\n', u"\r\n"_s));
            }
        }
        store.clear();
        QVERIFY(store.bytesHeld() < 1024);
        model.clear();
    }
}

void TestLogStore::millionLines() {
    constexpr qsizetype lines = 1'000'000;
    LogStore store;
    for (qsizetype i = 0; i < lines; ++i)
        store.append(lineText(i) + u"\r\n"_s, int(i / 1000));
    QCOMPARE(store.length(), lines * 31);
    QCOMPARE(store.lineCount(), lines + 1);
    QCOMPARE(qsizetype(store.runs().size()), lines / 1000);
    const qsizetype crossing = store.lineAt(5 * kBlock);
    for (qsizetype line : {qsizetype(0), crossing, lines - 1}) {
        QCOMPARE(store.lineAt(line * 31), line);
        QCOMPARE(store.lineAt(line * 31 + 30), line);
        QCOMPARE(store.lineLength(line), qsizetype(30));
    }
    QCOMPARE(store.lineAt(store.length()), lines);
    const QString slice =
        store.text(store.lineStart(crossing - 1) + 3, store.lineStart(crossing + 2) + 10, u"\r\n");
    QCOMPARE(slice, lineText(crossing - 1).mid(3) + u"\r\n"_s + lineText(crossing) + u"\r\n"_s +
                        lineText(crossing + 1) + u"\r\n"_s + lineText(crossing + 2).left(10));
    const double perLine = double(store.bytesHeld()) / lines;
    qInfo("%.1f bytes held per line", perLine);
    QVERIFY2(perLine < 64, qPrintable(QString::number(perLine)));
}

// Columns of lines with and without tabs, short and many strides long, the
// text appended in pieces that end anywhere, against columns counted one
// character at a time.
void TestLogStore::columnsAgainstAModel() {
    QRandomGenerator rng(418);
    LogStore store;
    LineColumns columns(store);
    QString text;
    for (int line = 0; line < 12; ++line) {
        const qsizetype length =
            line % 3 == 0 ? rng.bounded(3 * LineColumns::kStride) : rng.bounded(40);
        for (qsizetype i = 0; i < length; ++i)
            text += line % 4 == 1 ? QChar(u'a') : rng.bounded(6) == 0 ? QChar(u'\t') : QChar(u'b');
        if (line != 11) text += u'\n';
    }
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype take = std::min<qsizetype>(text.size() - at, rng.bounded(1, 5000));
        store.append(QStringView(text).mid(at, take), 1);
        columns.update();
        at += take;
    }
    QCOMPARE(store.text(u"\n"), text);
    // The model: each position's column, and each line's start.
    std::vector<qsizetype> column(size_t(text.size()) + 1);
    for (qsizetype p = 0, c = 0; p <= text.size(); ++p) {
        column[size_t(p)] = c;
        if (p == text.size()) break;
        c = text[p] == u'\n' ? 0 : text[p] == u'\t' ? (c / 8 + 1) * 8 : c + 1;
    }
    qsizetype widest = 0;
    for (qsizetype p = 0; p <= text.size(); ++p) {
        QCOMPARE(columns.columnOf(p), column[size_t(p)]);
        widest = std::max(widest, column[size_t(p)]);
    }
    QCOMPARE(columns.widest(), widest);
    for (qsizetype line = 0; line < store.lineCount(); ++line) {
        const qsizetype start = store.lineStart(line), end = start + store.lineLength(line);
        for (int k = 0; k < 200; ++k) {
            const qsizetype want = rng.bounded(int(column[size_t(end)] + 10));
            // The model's cell: the last position on the line at or before the column.
            qsizetype cell = start;
            while (cell < end && column[size_t(cell + 1)] <= want)
                ++cell;
            const LineColumns::Cell got = columns.cellAt(line, want);
            QCOMPARE(got.position, cell);
            QCOMPARE(got.column, column[size_t(cell)]);
            const qsizetype near = columns.positionNear(line, want);
            if (cell < end && text[cell] == u'\t' && want > column[size_t(cell)])
                QCOMPARE(near, want - column[size_t(cell)] <= column[size_t(cell + 1)] - want
                                   ? cell
                                   : cell + 1);
            else
                QCOMPARE(near, cell);
        }
    }
    store.clear();
    columns.clear();
    QCOMPARE(columns.widest(), qsizetype(0));
}

QTEST_GUILESS_MAIN(TestLogStore)
#include "tst_logstore.moc"
