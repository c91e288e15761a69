// Stress and fault tests of the receive path: floods, every byte value, a
// line that vanishes mid-flood, commands clicked while the device floods, and
// hostile operator input. Each case is bounded well under a minute.

#include "datawindow/colours.h"
#include "datawindow/receive.h"
#include "fakedevice.h"
#include "link/frame.h"
#include "link/serialportcomponent.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>

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
// piece of the device's stream, at most 31 bytes, transformed on its own; the
// others (titles, images, error lines) are kept in order for the test.
class FieldLog {
public:
    struct Insert {
        int colour;
        QString text;
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
        inserts_.append({colour, colour == colour::Blue ? QString() : text});
        expected_ += asReadBack(text);
        if (colour != colour::Blue || !failure_.isEmpty()) return;
        // ACK adds 5 characters and NAK 6 (each with its CR), the line feed 1.
        for (int extra : {0, 1, 6, 7, 12, 5, 11}) {
            const qsizetype length = text.size() - extra;
            if (length < 1 || length > 31 || taken_ + length > stream_.size()) continue;
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
    QList<Insert> inserts_;
};

// Characters of the field whose colour is not `number`.
int charactersNotIn(const RichTextField* field, int number) {
    int count = 0;
    for (QTextBlock b = field->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (colour::fromQColor(it.fragment().charFormat().foreground().color()) != number)
                count += it.fragment().length();
    return count;
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
        QVERIFY(log.chunks() >= stream.size() / 31);
        QVERIFY(w->Text1->text() == log.expectedText());
        QCOMPARE(charactersNotIn(w->Text1, colour::Blue), 0);
        QVERIFY(w->Text1->isEnabled());
        QCOMPARE(w->Text1->selColor(), colour::Red); // the start-up colour, restored
        // The view followed to the very end.
        QCOMPARE(w->Text1->textCursor().position(), w->Text1->length());
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
        // The program is still working through this when the far end goes.
        QVERIFY(device->write(stream.left(300 * 1024)));
        QVERIFY(waitUntil([&] { return log.taken() > 0; }));
        const qint64 received = log.taken() + w->MSComm1->bytesWaiting();
        QVERIFY(received > log.taken()); // the loss does come mid-flood
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
        QCOMPARE(log.notFromDevice().last().text, QStringLiteral(">> PORT ERROR: 8101 <<\r\n"));
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
        QCOMPARE(w->Text1->text().count(QLatin1String("PORT ERROR")), 1);
    }

    void commandsClickedDuringAFloodStayWhole() {
        RDData* w = openOnDevice();
        const QByteArray stream = deviceText(512 * 1024, 99);
        FieldLog log(w->Text1, stream);

        // Every sending control of the window, clicked in turn every few ms.
        const QList<QAbstractButton*> controls = {
            w->GetDate,     w->MemFree,     w->ViewP,       w->SetDefaults, w->NewSession,
            w->UploadTimes, w->UploadPrint, w->ClearMemory, w->buzzer,      w->lockinput};
        const QHash<QAbstractButton*, krt::Cmd> commands = {
            {w->GetDate, krt::Cmd::GetDate},         {w->MemFree, krt::Cmd::MemFree},
            {w->ViewP, krt::Cmd::ViewParameters},    {w->SetDefaults, krt::Cmd::SetDefaults},
            {w->NewSession, krt::Cmd::NewSession},   {w->UploadTimes, krt::Cmd::UploadTimes},
            {w->UploadPrint, krt::Cmd::UploadPrint}, {w->ClearMemory, krt::Cmd::ClearMemory}};
        QList<krt::Cmd> sent;
        int next = 0;
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            QAbstractButton* b = controls[next++ % controls.size()];
            clickOn(b);
            if (b == w->buzzer)
                sent << (w->buzzer->isChecked() ? krt::Cmd::BuzzerOn : krt::Cmd::BuzzerOff);
            else if (b == w->lockinput)
                sent << (w->lockinput->isChecked() ? krt::Cmd::LockInputs : krt::Cmd::UnlockInputs);
            else
                sent << commands.value(b);
        });
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
        QCOMPARE(device->readAtLeast(int(frames.size())), frames);

        // In the field: each title and its image whole and side by side.
        const QList<FieldLog::Insert> inserts = log.inserts();
        int command = 0;
        for (int i = 0; i < inserts.size(); ++i) {
            if (inserts[i].colour == colour::Blue) continue;
            QVERIFY(command < sent.size());
            const krt::Command& c = krt::command(sent[command++]);
            QCOMPARE(inserts[i].colour, colour::Black);
            QCOMPARE(inserts[i].text, QString::fromLatin1(c.title) + QStringLiteral("\r\n"));
            QVERIFY(i + 1 < inserts.size());
            QCOMPARE(inserts[i + 1].colour, colour::Red);
            QCOMPARE(inserts[i + 1].text,
                     krt::frameImage(QByteArray(c.payload)) + QStringLiteral("\r\n"));
            ++i;
        }
        QCOMPARE(command, sent.size());
        QVERIFY(w->Text1->text() == log.expectedText());
    }
};

QTEST_MAIN(TestStress)
#include "tst_stress.moc"
