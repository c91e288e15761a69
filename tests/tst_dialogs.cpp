// The four parameter dialogs against a fake device: the bytes on the line,
// what the data field and the data window's labels show, and the dialogs'
// life from opening to unloading.

#include "dialogs/locktime.h"
#include "dialogs/setdatew.h"
#include "dialogs/waccuracyp.h"
#include "dialogs/waccuracyr.h"
#include "fakedevice.h"
#include "link/numbertext.h"
#include "link/serialportcomponent.h"
#include "logview/colours.h"
#include "testsupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <tuple>

namespace {

QByteArray frame(const QByteArray& payload, int checksum) {
    return '\x02' + payload + char(checksum) + '\x03';
}

QDialog* openDialog(const QString& kind) {
    if (kind == "LockTime") return LockTime::existing();
    if (kind == "SetDateW") return SetDateW::existing();
    if (kind == "WaccuracyP") return WaccuracyP::existing();
    return WaccuracyR::existing();
}

// Lets the deferred deletes of closed dialogs run.
void settle() {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeDevice> device;
    std::unique_ptr<BeepCounter> beeps;
    // Every SelText insertion, prefixed with the colour it went in.
    QStringList inserted;

    RDData* openDataWindow() {
        RDData* w = openDataWindowOn(device);
        connect(w->Text1, &RichTextField::selTextInserted, this, [this, w](const QString& t) {
            inserted << QStringLiteral("[%1]").arg(w->Text1->selColor()) + t;
        });
        return w;
    }

    // Clicks the data window's opener for a dialog and returns the dialog.
    QDialog* open(RDData* w, const QString& kind) {
        QAbstractButton* opener = kind == "LockTime"     ? w->Channel1
                                  : kind == "SetDateW"   ? w->SetDate
                                  : kind == "WaccuracyP" ? w->AccuracyP
                                                         : w->AccuracyR;
        clickOn(opener);
        return openDialog(kind);
    }

    // Nothing written, nothing sent, no beep.
    void verifyNothingHappened(RDData* w) {
        QVERIFY(device->staysQuiet(100));
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(beeps->count, 0);
    }

    // The dialog is gone and the data field usable again, with the focus.
    void verifyFinished(RDData* w, const QString& kind) {
        settle();
        QVERIFY(!openDialog(kind));
        QVERIFY(w->Text1->isEnabled());
        QCOMPARE(w->focusWidget(), w->Text1);
    }

private slots:
    void init() {
        beeps = std::make_unique<BeepCounter>();
        platform::seams().now = [] { return QDateTime(QDate(2004, 4, 3), QTime(9, 5, 42)); };
        inserted.clear();
    }
    void cleanup() {
        unloadDataWindow();
        settle();
        device.reset();
        beeps.reset();
        platform::resetSeams();
    }

    void numberReading_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxDigits");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<int>("value");
        const QList<std::tuple<const char*, int, int>> numbers = {
            {"5", 2, 5},       {"05", 2, 5},   {"0", 2, 0},   {"99", 2, 99},
            {"2050", 4, 2050}, {"96", 4, 96},  {"-1", 2, -1}, {"-05", 2, -5},
            {"-199", 4, -199}, {"0000", 4, 0}, {"-9", 1, -9}};
        for (const auto& [text, digits, value] : numbers)
            QTest::newRow(text) << QString::fromLatin1(text) << digits << true << value;
        // What the device would refuse if it went out as typed.
        for (const char* text :
             {"",   " ",  "+",  "-",   ".",   "??",   "????", " 5", "5 ",  "\t7", "-0",  "-00",
              "+7", ".5", "5.", "1.5", "1e2", "0x1F", "1,5",  "5a", "--1", "- 5", "1 2", "123"})
            QTest::newRow(text) << QString::fromLatin1(text) << 2 << false << 0;
        QTest::newRow("five digits for four") << "20500" << 4 << false << 0;
        QTest::newRow("arabic-indic three") << QString(QChar(0x0663)) << 2 << false << 0;
        QTest::newRow("fullwidth five") << QString(QChar(0xFF15)) << 2 << false << 0;
        QTest::newRow("latin-1 letter") << QString::fromLatin1("\xE9"
                                                               "5")
                                        << 2 << false << 0;
        QTest::newRow("long junk") << QString(100000, QLatin1Char('9')) << 4 << false << 0;
    }
    void numberReading() {
        QFETCH(QString, text);
        QFETCH(int, maxDigits);
        QFETCH(bool, isNumber);
        QFETCH(int, value);
        const std::optional<int> n = numbertext::read(text, maxDigits);
        QCOMPARE(n.has_value(), isNumber);
        if (isNumber) QCOMPARE(*n, value);
    }

    void lockTimeSends_data() {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<bool>("tenths");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("checksum");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("labelText");
        QTest::addColumn<QString>("title");
        QTest::newRow("ch1 s 5") << "Channel1" << false << "5" << QByteArray("PK1S05") << 0x84
                                 << "<02>PK1S05<84><03>"
                                 << "Lch1"
                                 << "5 sec."
                                 << ">> LOCK CHANNEL 1 5 SEC. <<";
        QTest::newRow("ch1 d 10") << "Channel1" << true << "10" << QByteArray("PK1D10") << 0x71
                                  << "<02>PK1D10<71><03>"
                                  << "Lch1"
                                  << "10 1/10 sec."
                                  << ">> LOCK CHANNEL 1 10/10 SEC. <<";
        QTest::newRow("ch4 s 12") << "Channel4" << false << "12" << QByteArray("PK4S12") << 0x85
                                  << "<02>PK4S12<85><03>"
                                  << "Lch4"
                                  << "12 sec."
                                  << ">> LOCK CHANNEL 4 12 SEC. <<";
        QTest::newRow("ch4 d 5") << "Channel4" << true << "5" << QByteArray("PK4D05") << 0x78
                                 << "<02>PK4D05<78><03>"
                                 << "Lch4"
                                 << "5 1/10 sec."
                                 << ">> LOCK CHANNEL 4 5/10 SEC. <<";
        QTest::newRow("others d 5")
            << "Others" << true << "5" << QByteArray("PKOD05") << 0x93 << "<02>PKOD05<93><03>"
            << "Lothers"
            << "5 1/10 sec."
            << ">> LOCK OTHERS CHANNELS 5/10 SEC. <<";
        QTest::newRow("others s 99")
            << "Others" << false << "99" << QByteArray("PKOS99") << 0xAF << "<02>PKOS99<AF><03>"
            << "Lothers"
            << "99 sec."
            << ">> LOCK OTHERS CHANNELS 99 SEC. <<";
        QTest::newRow("ch1 s 0") << "Channel1" << false << "0" << QByteArray("PK1S00") << 0x7F
                                 << "<02>PK1S00<7F><03>"
                                 << "Lch1"
                                 << "0 sec."
                                 << ">> LOCK CHANNEL 1 0 SEC. <<";
        // Two characters get no further zero; the typed characters go out.
        QTest::newRow("ch1 s 05") << "Channel1" << false << "05" << QByteArray("PK1S05") << 0x84
                                  << "<02>PK1S05<84><03>"
                                  << "Lch1"
                                  << "05 sec."
                                  << ">> LOCK CHANNEL 1 05 SEC. <<";
    }
    void lockTimeSends() {
        QFETCH(QString, opener);
        QFETCH(bool, tenths);
        QFETCH(QString, typed);
        QFETCH(QByteArray, payload);
        QFETCH(int, checksum);
        QFETCH(QString, image);
        QFETCH(QString, label);
        QFETCH(QString, labelText);
        QFETCH(QString, title);
        RDData* w = openDataWindow();
        clickOn(w->findChild<QPushButton*>(opener));
        LockTime* d = LockTime::existing();
        QVERIFY(d && d->isVisible() && !d->isModal());
        QVERIFY(!w->Text1->isEnabled());
        QTest::keyClicks(d->TLock, typed);
        if (tenths) clickOn(d->OTime[1]);
        clickOn(d->Command1);
        QCOMPARE(device->readAtLeast(9), frame(payload, checksum));
        QCOMPARE(inserted, QStringList({"[0]" + title + "\r\n", "[255]" + image + "\n"}));
        QCOMPARE(w->findChild<QLabel*>(label)->text(), labelText);
        QCOMPARE(beeps->count, 0);
        verifyFinished(w, "LockTime");
    }

    void lockTimeRefuses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("outOfRange");
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("-9") << "-9" << true;
        for (const char* text :
             {"", "-", "+", ".", "ab", "1a", "??", "1e", " 5", "5 ", "-0", ".5", "+7"})
            QTest::newRow(text) << QString::fromLatin1(text) << false;
        QTest::newRow("non-ascii") << QString::fromUtf8("\xE2\x82\xAC"
                                                        "5")
                                   << false;
        QTest::newRow("long text") << QString(5000, QLatin1Char('x')) << false;
    }
    void lockTimeRefuses() {
        QFETCH(QString, text);
        QFETCH(bool, outOfRange);
        RDData* w = openDataWindow();
        LockTime* d = static_cast<LockTime*>(open(w, "LockTime"));
        d->TLock->setText(text);
        QVERIFY(d->TLock->text().size() <= 2);
        clickOn(d->Command1);
        QVERIFY(device->staysQuiet(100));
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(w->Lch1->text(), QString());
        QCOMPARE(beeps->count, outOfRange ? 1 : 0);
        settle();
        if (outOfRange) {
            verifyFinished(w, "LockTime");
        } else {
            QCOMPARE(LockTime::existing(), d);
            QVERIFY(d->isVisible());
            QVERIFY(!w->Text1->isEnabled());
        }
    }

    void lockTimePromptAtOkDecides() {
        RDData* w = openDataWindow();
        LockTime* d = static_cast<LockTime*>(open(w, "LockTime"));
        QCOMPARE(d->LabelChannel->text(), QString("Channel 1 Lock:"));
        QTest::keyClicks(d->TLock, "7");
        clickOn(d->OTime[1]);
        clickOn(w->Others);
        QCOMPARE(LockTime::existing(), d);
        QCOMPARE(d->TLock->text(), QString("7"));
        QVERIFY(d->OTime[1]->isChecked());
        clickOn(w->Channel4);
        QCOMPARE(d->LabelChannel->text(), QString("Channel 4 Lock:"));
        clickOn(d->Command1);
        QCOMPARE(device->readAtLeast(9), frame("PK4D07", 0x7A));
        QCOMPARE(w->Lch4->text(), QString("7 1/10 sec."));
        QCOMPARE(w->Lch1->text(), QString());
        // A prompt no opener set sends nothing.
        d = LockTime::instance();
        QCOMPARE(d->LabelChannel->text(), QString("Select the time to lock:"));
        QCOMPARE(d->TLock->text(), QString());
        QVERIFY(d->OTime[0]->isChecked());
        d->TLock->setText("5");
        inserted.clear();
        clickOn(d->Command1);
        QVERIFY(device->staysQuiet(100));
        QVERIFY(inserted.isEmpty());
        verifyFinished(w, "LockTime");
    }

    void lockTimeFailedWriteStaysOpen() {
        RDData* w = openDataWindow();
        LockTime* d = static_cast<LockTime*>(open(w, "LockTime"));
        w->MSComm1->setPortOpen(false);
        QTest::keyClicks(d->TLock, "5");
        clickOn(d->Command1);
        QCOMPARE(inserted, QStringList({"[0]>> LOCK CHANNEL 1 5 SEC. <<\r\n",
                                        "[0]>> PORT ERROR: 8018 <<\r\n"}));
        QCOMPARE(w->Lch1->text(), QString("5 sec."));
        QCOMPARE(d->TLock->text(), QString("05"));
        settle();
        QVERIFY(LockTime::existing() && d->isVisible());
        QVERIFY(!w->Text1->isEnabled());
        clickOn(d->Command2);
        verifyFinished(w, "LockTime");
    }

    void dateSends_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("us");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("checksum");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("title");
        const QStringList feb{"7", "2", "1997", "14", "30"};
        const QStringList first{"1", "1", "2000", "0", "0"};
        QTest::newRow("std 7.2.1997")
            << feb << false << QByteArray("PD0702971430") << 0x95 << "<02>PD0702971430<95><03>"
            << ">> SET STD DATE TO 07 02 97 <<";
        QTest::newRow("us 7.2.1997")
            << feb << true << QByteArray("Pd0207971430") << 0xB5 << "<02>Pd0207971430<B5><03>"
            << ">> SET US DATE TO 02 07 97 <<";
        QTest::newRow("std 31.12.2050")
            << QStringList{"31", "12", "2050", "12", "59"} << false << QByteArray("PD3112501259")
            << 0x91 << "<02>PD3112501259<91><03>"
            << ">> SET STD DATE TO 31 12 50 <<";
        QTest::newRow("std 1.1.2000")
            << first << false << QByteArray("PD0101000000") << 0x76 << "<02>PD0101000000<76><03>"
            << ">> SET STD DATE TO 01 01 00 <<";
        QTest::newRow("us 1.1.2000")
            << first << true << QByteArray("Pd0101000000") << 0x96 << "<02>Pd0101000000<96><03>"
            << ">> SET US DATE TO 01 01 00 <<";
        QTest::newRow("31 February")
            << QStringList{"31", "2", "1997", "0", "0"} << false << QByteArray("PD3102970000")
            << 0x8A << "<02>PD3102970000<8A><03>"
            << ">> SET STD DATE TO 31 02 97 <<";
        // As opened at 09:05 on 3 April 2004, nothing changed.
        QTest::newRow("clock") << QStringList() << false << QByteArray("PD0304040905") << 0x8D
                               << "<02>PD0304040905<8D><03>"
                               << ">> SET STD DATE TO 03 04 04 <<";
    }
    void dateSends() {
        QFETCH(QStringList, fields);
        QFETCH(bool, us);
        QFETCH(QByteArray, payload);
        QFETCH(int, checksum);
        QFETCH(QString, image);
        QFETCH(QString, title);
        RDData* w = openDataWindow();
        auto* d = static_cast<SetDateW*>(open(w, "SetDateW"));
        QVERIFY(d && d->isVisible() && !d->isModal());
        QVERIFY(!w->Text1->isEnabled());
        const QList<QLineEdit*> edits{d->TDay, d->TMonth, d->TYear, d->THour, d->TMinute};
        QStringList shown;
        for (QLineEdit* e : edits)
            shown << e->text();
        QCOMPARE(shown, QStringList({"3", "4", "2004", "9", "5"}));
        QVERIFY(d->Format[2]->isChecked() && !d->Format[1]->isChecked());
        for (int i = 0; i < fields.size(); ++i) {
            edits[i]->clear();
            QTest::keyClicks(edits[i], fields[i]);
        }
        if (us) clickOn(d->Format[1]);
        clickOn(d->Command1);
        QCOMPARE(device->readAtLeast(15), frame(payload, checksum));
        QCOMPARE(inserted, QStringList({"[0]" + title + "\r\n", "[255]" + image + "\n"}));
        verifyFinished(w, "SetDateW");
    }

    // Range limits, one field changed from the clock's values at a time.
    void dateRanges_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("year 1996") << "TYear"
                                   << "1996" << false;
        QTest::newRow("year 1997") << "TYear"
                                   << "1997" << true;
        QTest::newRow("year 2050") << "TYear"
                                   << "2050" << true;
        QTest::newRow("year 2051") << "TYear"
                                   << "2051" << false;
        QTest::newRow("day 0") << "TDay"
                               << "0" << false;
        QTest::newRow("day 32") << "TDay"
                                << "32" << false;
        QTest::newRow("day -1") << "TDay"
                                << "-1" << false;
        QTest::newRow("month 0") << "TMonth"
                                 << "0" << false;
        QTest::newRow("month 13") << "TMonth"
                                  << "13" << false;
        QTest::newRow("hour 0") << "THour"
                                << "0" << true;
        QTest::newRow("hour 24") << "THour"
                                 << "24" << false;
        QTest::newRow("minute 0") << "TMinute"
                                  << "0" << true;
        QTest::newRow("minute 60") << "TMinute"
                                   << "60" << false;
        // setText past the field's limit is cut to it: "99" is no day.
        QTest::newRow("long day") << "TDay" << QString(5000, QLatin1Char('9')) << false;
    }
    void dateRanges() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        RDData* w = openDataWindow();
        auto* d = static_cast<SetDateW*>(open(w, "SetDateW"));
        auto* edit = d->findChild<QLineEdit*>(field);
        edit->setText(text);
        clickOn(d->Command1);
        if (accepted) {
            QCOMPARE(device->readAtLeast(15).size(), 15);
            QCOMPARE(beeps->count, 0);
            verifyFinished(w, "SetDateW");
            return;
        }
        QCOMPARE(edit->text(), QString(field == "TYear" ? "????" : "??"));
        QCOMPARE(d->focusWidget(), edit);
        QCOMPARE(beeps->count, 1);
        QVERIFY(device->staysQuiet(100));
        QCOMPARE(w->Text1->text(), QString());
        QVERIFY(SetDateW::existing() && d->isVisible() && !w->Text1->isEnabled());
    }

    void dateMarksEveryBadFieldThenWaitsForCorrection() {
        RDData* w = openDataWindow();
        auto* d = static_cast<SetDateW*>(open(w, "SetDateW"));
        d->TDay->setText("32");
        d->TMinute->setText("75");
        clickOn(d->Command1);
        QCOMPARE(d->TDay->text(), QString("??"));
        QCOMPARE(d->TMinute->text(), QString("??"));
        QCOMPARE(d->TMonth->text(), QString("04"));
        QCOMPARE(d->THour->text(), QString("09"));
        QCOMPARE(d->focusWidget(), d->TMinute);
        QCOMPARE(beeps->count, 1);
        // Typing replaces the selected mark.
        QTest::keyClicks(d->TMinute, "7");
        QCOMPARE(d->TMinute->text(), QString("7"));
        // The day's mark is not a number: a second Send is silent.
        clickOn(d->Command1);
        QCOMPARE(beeps->count, 1);
        QVERIFY(device->staysQuiet(100));
        QCOMPARE(w->Text1->text(), QString());
        d->TDay->setText("3");
        clickOn(d->Command1);
        QCOMPARE(device->readAtLeast(15), frame("PD0304040907", 0x8F));
        verifyFinished(w, "SetDateW");
    }

    void dateNonNumberStopsSilently_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty month") << "TMonth"
                                     << "";
        QTest::newRow("letters in hour") << "THour"
                                         << "ab";
        QTest::newRow("lone sign in minute") << "TMinute"
                                             << "-";
        QTest::newRow("year with letter") << "TYear"
                                          << "20x4";
        QTest::newRow("non-ascii month") << "TMonth" << QString(QChar(0xFF11));
        QTest::newRow("blank before month") << "TMonth"
                                            << " 5";
        QTest::newRow("minus zero minute") << "TMinute"
                                           << "-0";
        QTest::newRow("point in year") << "TYear"
                                       << "20.5";
    }
    void dateNonNumberStopsSilently() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        RDData* w = openDataWindow();
        auto* d = static_cast<SetDateW*>(open(w, "SetDateW"));
        d->TDay->setText("0"); // bad, and checked before the others
        d->findChild<QLineEdit*>(field)->setText(text);
        clickOn(d->Command1);
        verifyNothingHappened(w);
        QCOMPARE(d->TDay->text(), QString("??"));
        if (field != "THour") QCOMPARE(d->THour->text(), QString("9")); // no leading zeros added
        settle();
        QVERIFY(SetDateW::existing() && !w->Text1->isEnabled());
    }

    void dateFailedWriteStaysOpen() {
        RDData* w = openDataWindow();
        auto* d = static_cast<SetDateW*>(open(w, "SetDateW"));
        w->MSComm1->setPortOpen(false);
        clickOn(d->Command1);
        QCOMPARE(inserted, QStringList({"[0]>> SET STD DATE TO 03 04 04 <<\r\n",
                                        "[0]>> PORT ERROR: 8018 <<\r\n"}));
        QCOMPARE(d->TDay->text(), QString("03"));
        QCOMPARE(d->TMinute->text(), QString("05"));
        settle();
        QVERIFY(SetDateW::existing() && !w->Text1->isEnabled());
        // Opening again only brings it up, with what it holds.
        d->TDay->setText("15");
        clickOn(w->SetDate);
        QCOMPARE(SetDateW::existing(), d);
        QCOMPARE(d->TDay->text(), QString("15"));
    }

    void accuracySends_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("labelText");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("image");
        QTest::newRow("P seconds")
            << "WaccuracyP" << 0 << QByteArray("\x02PP0\xD0\x03") << "Seconds"
            << ">> SET PRINTER : S <<"
            << "<02>PP0<D0><03>";
        QTest::newRow("P 1/10") << "WaccuracyP" << 1 << QByteArray("\x02PP1\xD1\x03") << "1/10 sec."
                                << ">> SET PRINTER : 1/10 S <<"
                                << "<02>PP1<D1><03>";
        QTest::newRow("P 1/100") << "WaccuracyP" << 2 << QByteArray("\x02PP2\xD2\x03")
                                 << "1/100 sec."
                                 << ">> SET PRINTER : 1/100 S <<"
                                 << "<02>PP2<D2><03>";
        QTest::newRow("P 1/1'000")
            << "WaccuracyP" << 3 << QByteArray("\x02PP3\xD3\x03") << "1/1'000 sec."
            << ">> SET PRINTER : 1/1'000 S <<"
            << "<02>PP3<D3><03>";
        QTest::newRow("P 1/10'000")
            << "WaccuracyP" << 4 << QByteArray("\x02PP4\xD4\x03") << "1/10'000 sec."
            << ">> SET PRINTER : 1/10'000 S <<"
            << "<02>PP4<D4><03>";
        QTest::newRow("R OFF") << "WaccuracyR" << 0 << QByteArray("\x02Pl\xBC\x03") << "OFF"
                               << ">> SET RUN SELECTION : OFF <<"
                               << "<02>Pl<BC><03>";
        QTest::newRow("R 1/10") << "WaccuracyR" << 1 << QByteArray("\x02PL\x9C\x03") << "1/10 Sec."
                                << ">> SET RUN SELECTION : 1/10 S <<"
                                << "<02>PL<9C><03>";
    }
    void accuracySends() {
        QFETCH(QString, kind);
        QFETCH(int, index);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, labelText);
        QFETCH(QString, title);
        QFETCH(QString, image);
        RDData* w = openDataWindow();
        QDialog* d = open(w, kind);
        QVERIFY(d && d->isVisible() && !d->isModal());
        QVERIFY(!w->Text1->isEnabled());
        const QList<QRadioButton*> options = d->findChildren<QRadioButton*>();
        for (QRadioButton* o : options)
            QVERIFY(!o->isChecked());
        clickOn(d->findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(index)));
        clickOn(d->findChild<QPushButton*>("Command1"));
        QCOMPARE(device->readAtLeast(bytes.size()), bytes);
        QCOMPARE(inserted, QStringList({"[0]" + title + "\r\n", "[255]" + image + "\n"}));
        QLabel* label = kind == "WaccuracyP" ? w->TaccuracyP : w->TaccuracyR;
        QCOMPARE(label->text(), labelText);
        verifyFinished(w, kind);
    }

    void accuracyWithoutChoiceOrPortClosesQuietly_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("portClosed");
        QTest::newRow("P nothing chosen") << "WaccuracyP" << false;
        QTest::newRow("R nothing chosen") << "WaccuracyR" << false;
        QTest::newRow("P port closed") << "WaccuracyP" << true;
        QTest::newRow("R port closed") << "WaccuracyR" << true;
    }
    void accuracyWithoutChoiceOrPortClosesQuietly() {
        QFETCH(QString, kind);
        QFETCH(bool, portClosed);
        RDData* w = openDataWindow();
        QDialog* d = open(w, kind);
        // The option with the first focus is not chosen by having it.
        QVERIFY(d->isActiveWindow() || QTest::qWaitForWindowActive(d));
        auto* first = d->findChild<QRadioButton*>("Option1_0");
        QCOMPARE(d->focusWidget(), first);
        QVERIFY(!first->isChecked());
        if (portClosed) {
            w->MSComm1->setPortOpen(false);
            clickOn(first);
        }
        clickOn(d->findChild<QPushButton*>("Command1"));
        if (portClosed) {
            QCOMPARE(inserted.size(), 2);
            QCOMPARE(inserted.at(1), QString("[0]>> PORT ERROR: 8018 <<\r\n"));
        } else {
            verifyNothingHappened(w);
        }
        verifyFinished(w, kind);
    }

    // Cancel, Escape and the window frame all leave without sending.
    void leavingWithoutSending_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("how");
        for (const char* kind : {"LockTime", "SetDateW", "WaccuracyP", "WaccuracyR"}) {
            for (const char* how : {"escape", "frame", "data window closes"})
                QTest::addRow("%s %s", kind, how) << QString(kind) << QString(how);
        }
        QTest::newRow("LockTime cancel") << "LockTime"
                                         << "cancel";
        QTest::newRow("SetDateW cancel") << "SetDateW"
                                         << "cancel";
    }
    void leavingWithoutSending() {
        QFETCH(QString, kind);
        QFETCH(QString, how);
        RDData* w = openDataWindow();
        QDialog* d = open(w, kind);
        w->GetDate->setFocus();
        if (auto* lock = qobject_cast<LockTime*>(d)) lock->TLock->setText("5");
        if (auto* o = d->findChild<QRadioButton*>("Option1_1")) clickOn(o);
        QPointer<QDialog> alive = d;
        if (how == "escape")
            QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, Qt::Key_Escape);
        else if (how == "frame")
            d->close();
        else if (how == "cancel")
            clickOn(d->findChild<QPushButton*>("Command2"));
        else
            unloadDataWindow();
        settle();
        QVERIFY(!alive);
        if (how == "data window closes") return;
        verifyNothingHappened(w);
        verifyFinished(w, kind);
        // The next opening starts afresh.
        d = open(w, kind);
        if (auto* lock = qobject_cast<LockTime*>(d)) QCOMPARE(lock->TLock->text(), QString());
        if (auto* o = d->findChild<QRadioButton*>("Option1_1")) QVERIFY(!o->isChecked());
    }

    void enterPressesTheDefaultButton_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("LockTime OK") << "LockTime" << QByteArray("\x02PK1S05\x84\x03");
        QTest::newRow("SetDateW Send") << "SetDateW" << frame("PD0304040905", 0x8D);
        QTest::newRow("WaccuracyR SET") << "WaccuracyR" << QByteArray("\x02Pl\xBC\x03");
        QTest::newRow("WaccuracyP no default") << "WaccuracyP" << QByteArray();
    }
    void enterPressesTheDefaultButton() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        RDData* w = openDataWindow();
        QDialog* d = open(w, kind);
        if (auto* lock = qobject_cast<LockTime*>(d)) QTest::keyClicks(lock->TLock, "5");
        if (auto* o = d->findChild<QRadioButton*>("Option1_0")) clickOn(o);
        QWidget* target = d->focusWidget() ? d->focusWidget() : d;
        QTest::keyClick(target, Qt::Key_Return);
        if (bytes.isEmpty()) {
            verifyNothingHappened(w);
            settle();
            QVERIFY(WaccuracyP::existing());
            return;
        }
        QCOMPARE(device->readAtLeast(bytes.size()), bytes);
        verifyFinished(w, kind);
    }

    void tabOrder_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("LockTime") << "LockTime"
                                  << "Lock time select"
                                  << QStringList{"TLock", "OTime_0", "OTime_1", "Command1",
                                                 "Command2"};
        QTest::newRow("SetDateW") << "SetDateW"
                                  << "Set Date" << QStringList{"TDay",     "TMonth",   "TYear",
                                                               "THour",    "TMinute",  "Command1",
                                                               "Command2", "Format_1", "Format_2"};
        QTest::newRow("WaccuracyP")
            << "WaccuracyP"
            << "Accuracy Printer Time" << QStringList{"Option1_0", "Option1_1", "Option1_2",
                                                      "Option1_3", "Option1_4", "Command1"};
        QTest::newRow("WaccuracyR")
            << "WaccuracyR"
            << "Running time Selection" << QStringList{"Option1_0", "Option1_1", "Command1"};
    }
    void tabOrder() {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QStringList, order);
        RDData* w = openDataWindow();
        QDialog* d = open(w, kind);
        QCOMPARE(d->windowTitle(), caption);
        QVERIFY(d->isActiveWindow() || QTest::qWaitForWindowActive(d));
        QCOMPARE(d->focusWidget()->objectName(), order.first());
        QStringList chain;
        QWidget* at = d->focusWidget();
        do {
            // Option buttons of one group share a tab stop; the chain keeps their order.
            if (at->focusPolicy() != Qt::NoFocus && at->isVisible()) chain << at->objectName();
            at = at->nextInFocusChain();
        } while (at != d->focusWidget());
        QCOMPARE(chain.mid(chain.indexOf(order.first()), order.size()), order);
    }

    void handlersWithoutDataWindowDoNothing() {
        LockTime* lock = LockTime::instance();
        lock->LabelChannel->setText("Channel 1 Lock:");
        lock->TLock->setText("5");
        lock->Command1_Click();
        SetDateW* date = SetDateW::instance();
        date->Command1_Click();
        WaccuracyP* p = WaccuracyP::instance();
        p->Option1[0]->setChecked(true);
        p->Command1_Click();
        WaccuracyR* r = WaccuracyR::instance();
        r->Option1[0]->setChecked(true);
        r->Command1_Click();
        settle();
        QVERIFY(!LockTime::existing() && !SetDateW::existing());
        QVERIFY(!WaccuracyP::existing() && !WaccuracyR::existing());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
