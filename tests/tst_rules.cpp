// The device rules of the parameter dialogs, without any window.

#include "link/devicerules.h"

#include <QTest>

using namespace krt::rules;

Q_DECLARE_METATYPE(LockGroup)
Q_DECLARE_METATYPE(LockUnit)

class TestRules : public QObject {
    Q_OBJECT
private slots:
    void lockTimeSends_data() {
        QTest::addColumn<LockGroup>("group");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<LockUnit>("unit");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("field");
        const auto S = LockUnit::Seconds;
        const auto D = LockUnit::Tenths;
        QTest::newRow("one digit: padded on the wire, as typed in title and label")
            << LockGroup::Channel1 << "5" << S << ">> LOCK CHANNEL 1 5 SEC. <<"
            << QByteArray("PK1S05") << "5 sec."
            << "05";
        QTest::newRow("lowest") << LockGroup::Channel1 << "0" << S << ">> LOCK CHANNEL 1 0 SEC. <<"
                                << QByteArray("PK1S00") << "0 sec."
                                << "00";
        QTest::newRow("highest, tenths")
            << LockGroup::Channel4 << "99" << D << ">> LOCK CHANNEL 4 99/10 SEC. <<"
            << QByteArray("PK4D99") << "99 1/10 sec."
            << "99";
        QTest::newRow("others: a capital O")
            << LockGroup::Others << "07" << D << ">> LOCK OTHERS CHANNELS 07/10 SEC. <<"
            << QByteArray("PKOD07") << "07 1/10 sec."
            << "07";
    }
    void lockTimeSends() {
        QFETCH(LockGroup, group);
        QFETCH(QString, typed);
        QFETCH(LockUnit, unit);
        const LockTimeVerdict v = lockTime(group, typed, unit);
        QCOMPARE(v.kind, LockTimeVerdict::Send);
        QTEST(v.out.title, "title");
        QTEST(v.out.payload, "payload");
        QTEST(v.out.label, "label");
        QTEST(v.fieldText, "field");
    }

    void lockTimeRefuses_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kind");
        const int unreadable = LockTimeVerdict::Unreadable;
        const int outOfRange = LockTimeVerdict::OutOfRange;
        QTest::newRow("empty") << "" << unreadable;
        QTest::newRow("letters") << "ab" << unreadable;
        QTest::newRow("blank before a digit") << " 5" << unreadable;
        QTest::newRow("plus sign") << "+5" << unreadable;
        QTest::newRow("minus zero") << "-0" << unreadable;
        QTest::newRow("three digits") << "100" << unreadable;
        QTest::newRow("negative") << "-1" << outOfRange;
    }
    void lockTimeRefuses() {
        QFETCH(QString, typed);
        const LockTimeVerdict v = lockTime(LockGroup::Channel1, typed, LockUnit::Seconds);
        QTEST(int(v.kind), "kind");
        QCOMPARE(v.fieldText, typed); // a refused value stays as typed
        QVERIFY(v.out.payload.isEmpty());
    }

    void date_data() {
        QTest::addColumn<QStringList>("typed"); // day, month, year, hour, minute
        QTest::addColumn<bool>("us");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("marked"); // one letter per field: x marked
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<QByteArray>("payload"); // empty: nothing sent
        QTest::addColumn<QString>("title");
        const QStringList clock = {"3", "4", "2004", "9", "5"};
        const QStringList padded = {"03", "04", "2004", "09", "05"};
        QTest::newRow("standard: day first, fields padded, year's last two")
            << clock << false << padded << "....." << false << QByteArray("PD0304040905")
            << ">> SET STD DATE TO 03 04 04 <<";
        QTest::newRow("US: month first")
            << clock << true << padded << "....." << false << QByteArray("Pd0403040905")
            << ">> SET US DATE TO 04 03 04 <<";
        QTest::newRow("highest of each field")
            << QStringList{"31", "12", "2050", "23", "59"} << false
            << QStringList{"31", "12", "2050", "23", "59"} << "....." << false
            << QByteArray("PD3112502359") << ">> SET STD DATE TO 31 12 50 <<";
        QTest::newRow("lowest of each field")
            << QStringList{"1", "1", "1997", "0", "0"} << false
            << QStringList{"01", "01", "1997", "00", "00"} << "....." << false
            << QByteArray("PD0101970000") << ">> SET STD DATE TO 01 01 97 <<";
        QTest::newRow("each field one past its range: all marked, nothing sent")
            << QStringList{"32", "13", "2051", "24", "60"} << false
            << QStringList{"??", "??", "????", "??", "??"} << "xxxxx" << false << QByteArray()
            << QString();
        QTest::newRow("below the range: day 0, year 1996, the rest padded")
            << QStringList{"0", "4", "1996", "9", "5"} << false
            << QStringList{"??", "04", "????", "09", "05"} << "x.x.." << false << QByteArray()
            << QString();
        QTest::newRow("a negative hour is out of range")
            << QStringList{"3", "4", "2004", "-1", "5"} << false
            << QStringList{"03", "04", "2004", "??", "05"} << "...x." << false << QByteArray()
            << QString();
        QTest::newRow("no number: stops there, earlier marks stay, nothing padded")
            << QStringList{"0", "4", "x", "9", "70"} << false
            << QStringList{"??", "4", "x", "9", "70"} << "x...." << true << QByteArray()
            << QString();
        QTest::newRow("an earlier mark is no number")
            << QStringList{"??", "4", "2004", "9", "5"} << false
            << QStringList{"??", "4", "2004", "9", "5"} << "....." << true << QByteArray()
            << QString();
    }
    void date() {
        QFETCH(QStringList, typed);
        QFETCH(bool, us);
        QFETCH(QStringList, shown);
        QFETCH(QString, marked);
        QFETCH(QByteArray, payload);
        DateTexts texts;
        for (int f = 0; f < DateFieldCount; ++f)
            texts[f] = typed[f];
        const DateVerdict v = krt::rules::date(texts, us);
        for (int f = 0; f < DateFieldCount; ++f) {
            QCOMPARE(v.texts[f], shown[f]);
            QCOMPARE(v.marked[f], marked[f] == QLatin1Char('x'));
        }
        QTEST(v.unreadable, "unreadable");
        QCOMPARE(v.send.has_value(), !payload.isEmpty());
        if (v.send) {
            QCOMPARE(v.send->payload, payload);
            QTEST(v.send->title, "title");
        }
    }

    void accuracy_data() {
        QTest::addColumn<bool>("printer");
        QTest::addColumn<int>("choice");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("label");
        QTest::newRow("printer seconds")
            << true << 0 << QByteArray("PP0") << ">> SET PRINTER : S <<"
            << "Seconds";
        QTest::newRow("printer 1/10'000")
            << true << 4 << QByteArray("PP4") << ">> SET PRINTER : 1/10'000 S <<"
            << "1/10'000 sec.";
        QTest::newRow("running time off: a lower-case l")
            << false << 0 << QByteArray("Pl") << ">> SET RUN SELECTION : OFF <<"
            << "OFF";
        QTest::newRow("running time tenths, a capital S in the label")
            << false << 1 << QByteArray("PL") << ">> SET RUN SELECTION : 1/10 S <<"
            << "1/10 Sec.";
    }
    void accuracy() {
        QFETCH(bool, printer);
        QFETCH(int, choice);
        const Outgoing out = printer ? printerAccuracy(choice) : runTimeAccuracy(choice);
        QTEST(out.payload, "payload");
        QTEST(out.title, "title");
        QTEST(out.label, "label");
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "tst_rules.moc"
