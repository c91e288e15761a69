// Stress and fault tests of the receive path: floods, every byte value, a
// line that vanishes mid-flood, commands clicked while the device floods, and
// hostile operator input. Each case is bounded well under a minute.

#include "datawindow/controltable.h"
#include "dialogs/locktime.h"
#include "dialogs/manualwindow.h"
#include "dialogs/setdatew.h"
#include "dialogs/waccuracyp.h"
#include "dialogs/waccuracyr.h"
#include "fakedevice.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "logview/colours.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <optional>

#include <sys/resource.h>

namespace {

// Device text as the KRT 418 floods it: lines of any length ending in CR
// (now and then CR LF), acknowledge bytes between them, 8-bit characters.
QByteArray deviceText(qsizetype size, quint32 seed) {
    QRandomGenerator rng(seed);
    QByteArray out;
    out.reserve(size + 80);
    while (out.size() < size) {
        const int kind = int(rng.bounded(100));
        if (kind < 3)
            out += krt::ACK;
        else if (kind < 4)
            out += krt::NAK;
        const int length = int(rng.bounded(61));
        for (int i = 0; i < length; ++i)
            out += rng.bounded(20) ? char(0x20 + rng.bounded(95)) : char(0x80 + rng.bounded(128));
        out += rng.bounded(10) ? "\r" : "\r\n";
    }
    out.truncate(size);
    return out;
}

// The field keeps CR, LF and CR LF each as one line end and reads every line
// end back as CR LF; this is what one insertion reads back as.
QString asReadBack(QString inserted) {
    inserted.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    inserted.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    inserted.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return inserted;
}

double processCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU of this process while its event loop runs for `ms`, in percent of one core.
double cpuPercentWhileIdle(int ms) {
    const double before = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (processCpuSeconds() - before) * 100000.0 / double(wall.elapsed());
}

// Watches every insertion into the data field. Each blue one must be the next
// piece of the device's stream, at most an input length, transformed on its own; the
// others (titles, images, error lines) are kept in order for the test.
class FieldLog {
public:
    struct Insert {
        int colour;
        QString text;
        bool afterOpenLine; // the field's last line had no end before it
        // A line of the program's own: its text as given, once the line
        // end put before it (only after an open line) is taken off.
        QString ownLine() const {
            const bool broken = text.startsWith(QStringLiteral("\r\n"));
            return broken == afterOpenLine ? text.mid(broken ? 2 : 0)
                                           : QStringLiteral("(not on a line of its own) ") + text;
        }
    };

    FieldLog(RichTextField* field, const QByteArray& stream) : stream_(stream) {
        QObject::connect(field, &RichTextField::selTextInserted, &guard_,
                         [this, field](const QString& text) { take(field->selColor(), text); });
    }

    bool complete() const { return taken_ == stream_.size() || !failure_.isEmpty(); }
    qsizetype taken() const { return taken_; }
    QString failure() const { return failure_; }
    int chunks() const { return chunks_; }
    const QList<Insert>& inserts() const { return inserts_; }
    QList<Insert> notFromDevice() const {
        QList<Insert> out;
        for (const Insert& i : inserts_)
            if (i.colour != colour::Blue) out << i;
        return out;
    }
    // The whole field as it must read back: every insertion, in order.
    QString expectedText() const { return expected_; }

private:
    void take(int colour, const QString& text) {
        inserts_.append({colour, colour == colour::Blue ? QString() : text, open_});
        open_ = !text.endsWith(QLatin1Char('\r')) && !text.endsWith(QLatin1Char('\n'));
        expected_ += asReadBack(text);
        if (colour != colour::Blue || !failure_.isEmpty()) return;
        // ACK adds 5 characters and NAK 6 (each with its CR), the line feed 1.
        for (int extra : {0, 1, 6, 7, 12, 5, 11}) {
            const qsizetype length = text.size() - extra;
            if (length < 1 || length > krt::line::InputLengthBytes ||
                taken_ + length > stream_.size())
                continue;
            if (transformChunk(stream_.mid(taken_, length)) == text) {
                taken_ += length;
                ++chunks_;
                return;
            }
        }
        failure_ = QStringLiteral("insertion %1 (\"%2\") is not the next piece of the stream at "
                                  "byte %3")
                       .arg(chunks_)
                       .arg(text.left(40))
                       .arg(taken_);
    }

    QObject guard_;
    QByteArray stream_;
    qsizetype taken_ = 0;
    int chunks_ = 0;
    QString failure_;
    QString expected_;
    bool open_ = false;
    QList<Insert> inserts_;
};

// Characters of the field whose colour is not `number`.
int charactersNotIn(const RichTextField* field, int number) {
    int count = 0;
    for (qsizetype at = 0; at < field->length(); ++at)
        if (field->store().at(at) != '\n' && colourAt(field, at) != number) ++count;
    return count;
}

// The payload of `bytes` when they are exactly one whole frame with a right
// checksum, else nothing.
std::optional<QByteArray> onlyFrame(const QByteArray& bytes) {
    if (bytes.size() < 3 || bytes.front() != krt::STX || bytes.back() != krt::ETX)
        return std::nullopt;
    const QByteArray payload = bytes.mid(1, bytes.size() - 3);
    if (krt::frameChecksum(payload) != quint8(bytes.at(bytes.size() - 2))) return std::nullopt;
    return payload;
}

// Whether two characters read as a number within [low, high].
bool readsWithin(const QByteArray& characters, double low, double high, bool lowIncluded = true) {
    bool ok = false;
    const double n = QString::fromLatin1(characters).trimmed().toDouble(&ok);
    return ok && (lowIncluded ? n >= low : n > low) && n <= high;
}

// What a hostile operator types into a number field.
const QStringList& hostileNumbers() {
    static const QStringList texts = {
        QString(),
        QStringLiteral("-"),
        QStringLiteral("."),
        QStringLiteral("ab"),
        QStringLiteral("??"),
        QStringLiteral("????"),
        QStringLiteral("-1"),
        QStringLiteral("0"),
        QStringLiteral("00"),
        QStringLiteral("32"),
        QStringLiteral("60"),
        QStringLiteral("99"),
        QStringLiteral("100"),
        QStringLiteral("1996"),
        QStringLiteral("2051"),
        QStringLiteral("9999"),
        QStringLiteral("-0"),
        QStringLiteral(".5"),
        QStringLiteral("+5"),
        QStringLiteral(" 7"),
        QStringLiteral("\t1"),
        QStringLiteral("1e"),
        QStringLiteral("1e3"),
        QStringLiteral("0x1F"),
        QStringLiteral("1,5"),
        QStringLiteral("nan"),
        QStringLiteral("inf"),
        QString(QChar(0x663)) + QChar(0x663), // Arabic-Indic digits
        QString(QChar(0x3A9)),                // above 0xFF
        QStringLiteral("5") + QChar(0x20AC),
        QString::fromLatin1("\x02\x03"),
        QString::fromLatin1("\xB2"), // superscript two
        QString(10000, QLatin1Char('9')),
        QString(10000, QChar(0x3A9)),
    };
    return texts;
}

// Deferred deletes run, so an unloaded dialog is really gone.
void settle() {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

} // namespace

class TestStress : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDevice> device;
    QTemporaryDir dir;

    RDData* openOnDevice() {
        device = std::make_unique<FakeDevice>();
        device->attachAs(1);
        RDData* w = RDData::instance();
        w->show();
        return w;
    }

private slots:
    void cleanup() {
        unloadDataWindow();
        device.reset();
        platform::resetSeams();
    }

    void floodOf2MBArrivesWholeAndInOrder() {
        RDData* w = openOnDevice();
        const QByteArray stream = deviceText(2 * 1024 * 1024, 418);
        FieldLog log(w->Text1, stream);
        QVERIFY(device->write(stream));
        QVERIFY2(waitUntil([&] { return log.complete(); }, 50000),
                 qPrintable(QStringLiteral("%1 of %2 bytes").arg(log.taken()).arg(stream.size())));
        QVERIFY2(log.failure().isEmpty(), qPrintable(log.failure()));
        QVERIFY(log.notFromDevice().isEmpty());
        QVERIFY(log.chunks() >= stream.size() / krt::line::InputLengthBytes);
        QVERIFY(w->Text1->text() == log.expectedText());
        QCOMPARE(charactersNotIn(w->Text1, colour::Blue), 0);
        QVERIFY(w->Text1->isEnabled());
        QCOMPARE(w->Text1->selColor(), colour::Red); // the start-up colour, restored
        // The view followed to the very end, and once the line is quiet it is
        // painted and its scroll bars caught up (they follow a flood only a
        // few times a second).
        QCOMPARE(w->Text1->selStart(), w->Text1->length());
        QVERIFY(waitUntil([&] { return !w->Text1->paintingHeld(); }, 1000));
        const QScrollBar* bar = w->Text1->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void chunksInsertedTogetherReadBackAsOneAtATime() {
        // Random device text (long runs without a line end among it), cut
        // into random reads and inserted in random groups, against the same
        // chunks inserted one at a time and against what each reads back as.
        QRandomGenerator rng(1812);
        RichTextField together, single;
        QString expected;
        for (int round = 0; round < 300; ++round) {
            QByteArray stream = deviceText(rng.bounded(1, 400), rng.generate());
            if (rng.bounded(8) == 0)
                stream.insert(rng.bounded(stream.size()), QByteArray(rng.bounded(9000), 'L'));
            QStringList group;
            for (qsizetype at = 0; at < stream.size();) {
                const qsizetype n = rng.bounded(1, 32);
                const QString chunk = transformChunk(stream.mid(at, n));
                at += n;
                single.setSelText(chunk);
                expected += asReadBack(chunk);
                group << chunk;
                if (rng.bounded(4) == 0 || at >= stream.size())
                    together.setSelTexts(std::exchange(group, {}));
            }
        }
        QVERIFY(together.text() == expected);
        QVERIFY(single.text() == expected);
        const int length = int(expected.size() - expected.count(QLatin1String("\r\n")));
        QCOMPARE(together.length(), length);
        for (int i = 0; i < 50; ++i) {
            const int at = int(rng.bounded(length + 1));
            together.setSelStart(at);
            QCOMPARE(together.selStart(), at);
        }
    }

    void everyByteValueInRandomOrderIsKeptAndSaved() {
        RDData* w = openOnDevice();
        // 4096 shuffles of all 256 values: 1 MB.
        QRandomGenerator rng(256);
        QByteArray stream;
        for (int round = 0; round < 4096; ++round) {
            QByteArray all(256, Qt::Uninitialized);
            for (int i = 0; i < 256; ++i)
                all[i] = char(i);
            for (int i = 255; i > 0; --i)
                std::swap(all[i], all[int(rng.bounded(i + 1))]);
            stream += all;
        }
        FieldLog log(w->Text1, stream);
        QVERIFY(device->write(stream));
        QVERIFY(waitUntil([&] { return log.complete(); }, 50000));
        QVERIFY2(log.failure().isEmpty(), qPrintable(log.failure()));
        QCOMPARE(log.taken(), stream.size());
        const QString text = w->Text1->text();
        QVERIFY(text == log.expectedText());
        for (const QChar c : text)
            QVERIFY(c.unicode() <= 0xFF);

        // The save writes the very characters back, one byte each.
        const QString path = dir.filePath(QStringLiteral("all-bytes.txt"));
        platform::seams().saveFileName = [&](QWidget*, const QString&, const QString&) {
            return path;
        };
        QVERIFY(w->Command3->isEnabled());
        clickOn(w->Command3);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QCOMPARE(bytes.size(), text.size() + 2);
        QVERIFY(bytes == krt::toWire(log.expectedText()) + "\r\n");
        QVERIFY(!w->Text1->text().contains(QLatin1String("SAVE ERROR")));
    }

    void lineVanishingMidFloodIsReportedOnceAndComesBack() {
        RDData* w = openOnDevice();
        const QByteArray stream = deviceText(1024 * 1024, 7);
        FieldLog log(w->Text1, stream);
        // The program is still working through this when the far end goes:
        // it waits in the port (the loop held meanwhile, since it keeps up
        // with any writer), and the loop is let go just before the loss.
        w->setTimer1Enabled(false);
        QVERIFY(device->write(stream.left(60 * 1024)));
        QVERIFY(waitUntil([&] { return w->MSComm1->bytesWaiting() == 60 * 1024; }));
        const qint64 received = w->MSComm1->bytesWaiting();
        w->setTimer1Enabled(true);
        device->vanish();
        const auto errorLines = [&] {
            int n = 0;
            for (const auto& i : log.notFromDevice())
                n += i.text.count(QLatin1String("PORT ERROR"));
            return n;
        };
        QVERIFY(waitUntil([&] { return errorLines() > 0; }, 20000));
        QTest::qWait(300);
        QCOMPARE(errorLines(), 1);
        // Everything the program had received before the loss is in the field.
        QVERIFY2(log.taken() >= received,
                 qPrintable(QStringLiteral("%1 of %2 bytes").arg(log.taken()).arg(received)));
        QVERIFY2(log.failure().isEmpty(), qPrintable(log.failure()));
        QCOMPARE(log.notFromDevice().last().ownLine(),
                 QStringLiteral(">> PORT ERROR: 8101 <<\r\n"));
        QCOMPARE(log.inserts().last().text, log.notFromDevice().last().text);
        QVERIFY(!w->MSComm1->portOpen());
        QVERIFY(!w->Timer1->isActive());
        // Back to idle: no loop spinning on the dead line.
        const double cpu = cpuPercentWhileIdle(1000);
        QVERIFY2(cpu < 5.0, qPrintable(QStringLiteral("%1% of a core").arg(cpu)));
        QVERIFY(w->Text1->text() == log.expectedText());

        // The device is back: "Com1" opens it again and reading resumes.
        QVERIFY(device->reopen());
        device->attachAs(1);
        clickOn(w->Option1[0]);
        QVERIFY(w->MSComm1->portOpen());
        QVERIFY(device->write("back\r"));
        QVERIFY(waitUntil([&] { return w->Text1->text().endsWith(QLatin1String("back\r\n")); }));
        QVERIFY2(w->Text1->text().count(QLatin1String("PORT ERROR")) == 1,
                 qPrintable(w->Text1->text().right(300)));
    }

    void commandsClickedDuringAFloodStayWhole() {
        RDData* w = openOnDevice();
        platform::seams().confirm = [](QWidget*, const QString&, const QString&) { return true; };
        const QByteArray stream = deviceText(512 * 1024, 99);
        FieldLog log(w->Text1, stream);

        // Every sending control of the window, clicked in turn every few ms.
        QList<QAbstractButton*> senders;
        for (const controls::Control& c : controls::table())
            if (c.command) senders << w->findChild<QAbstractButton*>(c.name);
        QVERIFY(!senders.contains(nullptr));
        QList<krt::Cmd> sent;
        int next = 0;
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            QAbstractButton* b = senders[next++ % senders.size()];
            clickOn(b);
            // What its row says it sends, a box's by the tick the click left.
            sent << *controls::commandFor(*controls::find(b->objectName()), b->isChecked());
        });
        // The device takes in what the program sends while it floods, as a
        // real one does; the program's frames never wait for a full line.
        QByteArray onLine;
        QTimer reader;
        QObject::connect(&reader, &QTimer::timeout, [&] { onLine += device->readAll(); });
        reader.start(1);
        clicker.start(2);
        QVERIFY(device->write(stream));
        QVERIFY(waitUntil([&] { return log.complete(); }, 50000));
        clicker.stop();
        QVERIFY2(log.failure().isEmpty(), qPrintable(log.failure()));
        QVERIFY2(sent.size() >= 20, qPrintable(QString::number(sent.size())));

        // On the line: each frame whole, in the order clicked.
        QByteArray frames;
        for (krt::Cmd c : sent)
            frames += krt::buildFrame(QByteArray(krt::command(c).payload));
        waitUntil([&] { return onLine.size() >= frames.size(); }, 20000);
        reader.stop();
        QCOMPARE(onLine.size(), frames.size());
        QVERIFY(onLine == frames);

        // In the field: each title and its image whole and side by side.
        const QList<FieldLog::Insert> inserts = log.inserts();
        int command = 0;
        for (int i = 0; i < inserts.size(); ++i) {
            if (inserts[i].colour == colour::Blue) continue;
            QVERIFY(command < sent.size());
            const krt::Command& c = krt::command(sent[command++]);
            QCOMPARE(inserts[i].colour, colour::Black);
            QCOMPARE(inserts[i].ownLine(), QString::fromLatin1(c.title) + QStringLiteral("\r\n"));
            QVERIFY(i + 1 < inserts.size());
            QCOMPARE(inserts[i + 1].colour, colour::Red);
            QCOMPARE(inserts[i + 1].text,
                     krt::frameImage(QByteArray(c.payload)) + QStringLiteral("\r\n"));
            ++i;
        }
        QCOMPARE(command, sent.size());
        QVERIFY(w->Text1->text() == log.expectedText());
    }

    // Hostile operator input. Nothing may go out but what the dialogs may send.

    void lockTimeSendsOnlyTimesFrom0To99() {
        RDData* w = openOnDevice();
        BeepCounter beeps;
        const QList<QPair<QPushButton*, QByteArray>> groups = {
            {w->Channel1, "PK1"}, {w->Channel4, "PK4"}, {w->Others, "PKO"}};
        int sent = 0;
        for (const QString& typed : hostileNumbers()) {
            for (int unit = 0; unit < 2; ++unit) {
                const auto& group = groups[(sent + unit) % groups.size()];
                clickOn(group.first);
                LockTime* d = LockTime::existing();
                QVERIFY(d);
                d->TLock->setText(typed);
                clickOn(d->OTime[unit]);
                clickOn(d->Command1);
                const QByteArray line = device->readAll();
                if (!line.isEmpty()) {
                    const auto payload = onlyFrame(line);
                    QVERIFY2(payload, line.toHex().constData());
                    QCOMPARE(payload->size(), 6);
                    QCOMPARE(payload->left(3), group.second);
                    QCOMPARE(payload->at(3), unit ? 'D' : 'S');
                    QVERIFY2(readsWithin(payload->mid(4), 0, 99), payload->constData());
                    ++sent;
                }
                if (LockTime* open = LockTime::existing()) clickOn(open->Command2);
                settle();
                QVERIFY(!LockTime::existing());
                QVERIFY(w->Text1->isEnabled());
            }
        }
        QVERIFY(sent > 0); // the good values did go out
        QVERIFY(device->staysQuiet(20));
    }

    void dateSendsOnlyDatesInRange() {
        RDData* w = openOnDevice();
        BeepCounter beeps;
        platform::seams().now = [] { return QDateTime(QDate(2004, 4, 3), QTime(9, 5)); };
        int sent = 0, attempts = 0;
        for (int field = 0; field < 5; ++field) {
            for (const QString& typed : hostileNumbers()) {
                clickOn(w->SetDate);
                SetDateW* d = SetDateW::existing();
                QVERIFY(d);
                const std::array<QLineEdit*, 5> fields = {d->TDay, d->TMonth, d->TYear, d->THour,
                                                          d->TMinute};
                fields[field]->setText(typed);
                const bool us = ++attempts % 2;
                clickOn(d->Format[us ? 1 : 2]);
                const QString year = d->TYear->text();
                clickOn(d->Command1);
                const QByteArray line = device->readAll();
                if (!line.isEmpty()) {
                    const auto payload = onlyFrame(line);
                    QVERIFY2(payload, line.toHex().constData());
                    QCOMPARE(payload->size(), 12);
                    QCOMPARE(payload->left(2), QByteArray(us ? "Pd" : "PD"));
                    const QByteArray day = payload->mid(us ? 4 : 2, 2);
                    const QByteArray month = payload->mid(us ? 2 : 4, 2);
                    QVERIFY2(readsWithin(day, 0, 31, false), payload->constData());
                    QVERIFY2(readsWithin(month, 0, 12, false), payload->constData());
                    QVERIFY2(readsWithin(year.toLatin1(), 1996, 2050, false), qPrintable(year));
                    QCOMPARE(payload->mid(6, 2), year.right(2).toLatin1());
                    QVERIFY2(readsWithin(payload->mid(8, 2), 0, 23), payload->constData());
                    QVERIFY2(readsWithin(payload->mid(10, 2), 0, 59), payload->constData());
                    ++sent;
                }
                if (SetDateW* open = SetDateW::existing()) clickOn(open->Command2);
                settle();
                QVERIFY(!SetDateW::existing());
                QVERIFY(w->Text1->isEnabled());
            }
        }
        QVERIFY(sent > 0);
        QVERIFY(device->staysQuiet(20));
    }

    void accuracyDialogsSendOnlyTheirOwnFrames() {
        RDData* w = openOnDevice();
        QList<QByteArray> allowed;
        for (auto c :
             {krt::Cmd::Printer0, krt::Cmd::Printer1, krt::Cmd::Printer2, krt::Cmd::Printer3,
              krt::Cmd::Printer4, krt::Cmd::RunTimeOff, krt::Cmd::RunTimeTenths})
            allowed << QByteArray(krt::command(c).payload);
        // SET at once, with no option chosen, and pressed twice in a row.
        for (int round = 0; round < 2; ++round) {
            clickOn(w->AccuracyP);
            WaccuracyP* p = WaccuracyP::existing();
            QVERIFY(p);
            QPointer<QPushButton> set = p->Command1;
            clickOn(set);
            if (round == 1 && set) clickOn(set);
            clickOn(w->AccuracyR);
            WaccuracyR* r = WaccuracyR::existing();
            QVERIFY(r);
            QPointer<QPushButton> setR = r->Command1;
            clickOn(setR);
            if (round == 1 && setR) clickOn(setR);
            settle();
            QVERIFY(!WaccuracyP::existing());
            QVERIFY(!WaccuracyR::existing());
            QVERIFY(w->Text1->isEnabled());
        }
        QByteArray line = device->readAll();
        while (!line.isEmpty()) {
            const qsizetype end = line.indexOf(krt::ETX);
            QVERIFY(end > 0);
            const auto payload = onlyFrame(line.left(end + 1));
            QVERIFY2(payload && allowed.contains(*payload), line.toHex().constData());
            line.remove(0, end + 1);
        }
    }

    void manualWindowSendsLongAndWideTextExactly() {
        RDData* w = openOnDevice();
        platform::seams().sleep = [](int) {};
        // 10,000 characters: ASCII, Latin-1, control bytes and characters
        // that have no byte of their own.
        QRandomGenerator rng(10000);
        const QList<QChar> odd = {QChar(0x02),  QChar(0x03),   QChar(0x06),
                                  QChar(0x11),  QChar(0x13),   QChar(0xFF),
                                  QChar(0x3A9), QChar(0x20AC), QChar(0x4E2D)};
        QString text;
        for (int i = 0; i < 10000; ++i)
            text += rng.bounded(8) ? QChar(0x20 + rng.bounded(0xE0))
                                   : odd[int(rng.bounded(qsizetype(odd.size())))];
        const QByteArray lp = krt::buildFrame("LP"), ll = krt::buildFrame("LL"),
                         lx = krt::buildFrame("LX");
        const QList<QPair<QString, std::function<QByteArray(const QByteArray&)>>> buttons = {
            {QStringLiteral("Command1"), [](const QByteArray& b) { return krt::buildFrame(b); }},
            {QStringLiteral("Command9"), [](const QByteArray& b) { return b + '\r'; }},
            {QStringLiteral("Command3"), [&](const QByteArray& b) { return lp + b + '\r' + lx; }},
            {QStringLiteral("Command4"), [&](const QByteArray& b) { return ll + b + lx; }},
        };
        for (const auto& [name, expected] : buttons) {
            clickOn(w->Manual);
            ManualWindow* m = ManualWindow::existing();
            QVERIFY(m);
            m->commandtosend->setText(text);
            const QString held = m->commandtosend->text();
            QVERIFY(held.size() >= 9000);
            const QByteArray wire = krt::toWire(held);
            QCOMPARE(wire.size(), held.size());
            for (qsizetype i = 0; i < held.size(); ++i)
                QVERIFY(held[i].unicode() > 0xFF ? wire[i] == '?'
                                                 : quint8(wire[i]) == held[i].unicode());
            const int before = w->Text1->length();
            clickOn(m->findChild<QPushButton*>(name));
            const QByteArray bytes = expected(wire);
            QCOMPARE(device->readAtLeast(int(bytes.size())), bytes);
            QVERIFY(device->staysQuiet(20));
            settle();
            QVERIFY(!ManualWindow::existing());
            QVERIFY(w->Text1->isEnabled());
            QVERIFY(w->Text1->length() > before + held.size());
        }
        // The free command's image carries the checksum of the bytes sent.
        const QString checksum =
            QString::number(krt::frameChecksum(krt::toWire(text)), 16).toUpper();
        const QString image = QStringLiteral("<%1><03>\r\n").arg(checksum);
        QVERIFY(w->Text1->text().contains(image));
    }
};

QTEST_MAIN(TestStress)
#include "tst_stress.moc"
