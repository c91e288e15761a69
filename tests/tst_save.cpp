// "Clear" and "Save mesures ..." of the data window: what is saved, when
// saving is offered, and what a failed or cancelled save leaves behind.

#include "fakedevice.h"
#include "link/frame.h"
#include "logview/colours.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

bool put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

} // namespace

class TestSave : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDevice> device;
    QString originalCwd;

    // What the save dialog was shown with, and how the field stood meanwhile.
    struct DialogCall {
        int count = 0;
        QWidget* parent = nullptr;
        QString filter;
        QString suggested;
        bool fieldEnabled = true;
    } dialog;

    RDData* openOnDevice() { return openDataWindowOn(device); }

    // The operator's answer to the save dialog; an empty name cancels.
    void answerDialogWith(const QString& fileName, std::function<void()> meanwhile = {}) {
        platform::seams().saveFileName = [this, fileName, meanwhile](QWidget* parent,
                                                                     const QString& filter,
                                                                     const QString& suggested) {
            ++dialog.count;
            dialog.parent = parent;
            dialog.filter = filter;
            dialog.suggested = suggested;
            if (RDData* w = RDData::existing()) dialog.fieldEnabled = w->Text1->isEnabled();
            if (meanwhile) meanwhile();
            return fileName;
        };
    }

    // Saves through a real click and checks what every save ends with.
    void save(RDData* w) {
        QVERIFY(w->Command3->isEnabled());
        clickOn(w->Command3);
        QCOMPARE(dialog.count, 1);
        QVERIFY(!dialog.fieldEnabled);
        QVERIFY(w->Text1->isEnabled());
        dialog = DialogCall();
    }

private slots:
    void initTestCase() {
        originalCwd = QDir::currentPath();
        // The remembered save folder goes to a settings file of the tests' own.
        QStandardPaths::setTestModeEnabled(true);
        QSettings("krt418", "krt418").clear();
    }

    void cleanup() {
        QDir::setCurrent(originalCwd);
        unloadDataWindow();
        device.reset();
        platform::resetSeams();
        dialog = DialogCall();
    }

    void saveIsOfferedOnceThereIsTextAndClearTakesItBack() {
        RDData* w = openOnDevice();
        QVERIFY(!w->Command3->isEnabled());
        clickOn(w->GetDate);
        QVERIFY(w->Command3->isEnabled());
        QVERIFY(!device->readAll().isEmpty());

        clickOn(w->Command5);
        QCOMPARE(w->Text1->text(), QString());
        QVERIFY(!w->Command3->isEnabled());
        // Clearing touches nothing else: no byte sent, the colour still in force.
        QCOMPARE(w->Text1->selColor(), colour::Red);
        QVERIFY(device->staysQuiet(50));

        clickOn(w->Command5);
        QCOMPARE(w->Text1->text(), QString());
        QVERIFY(!w->Command3->isEnabled());

        // Device text counts as much as our own.
        QVERIFY(device->write("OK\r"));
        QTRY_VERIFY(w->Command3->isEnabled());
    }

    void startUpErrorTextAloneOffersNoSave() {
        BeepCounter beeps;
        pointPortAtNothing(1);
        RDData* w = RDData::instance();
        QVERIFY(w->Text1->text().startsWith("Error #  "));
        QVERIFY(!w->Command3->isEnabled());
        w->append(QStringLiteral(">> GET DATE <<\r\n"), colour::Black);
        QVERIFY(w->Command3->isEnabled());
    }

    // Every byte the receive loop passes through unchanged comes back out of
    // the file as it came in.
    void everyByteRoundTrips() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        RDData* w = openOnDevice();
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            if (b != krt::ACK && b != krt::NAK && b != '\r' && b != '\n') bytes += char(b);
        QVERIFY(device->write(bytes));
        QVERIFY(waitForLength(w->Text1, bytes.size()));

        const QString file = dir.filePath("all bytes.txt");
        answerDialogWith(file);
        save(w);
        QCOMPARE(contents(file), bytes + "\r\n");
        // Saving does not change the field.
        QCOMPARE(krt::toWire(w->Text1->text()), bytes);
    }

    void viewParametersSavedLineByLine() {
        QTemporaryDir dir;
        RDData* w = openOnDevice();
        clickOn(w->ViewP);
        QCOMPARE(device->readAtLeast(5), QByteArray("\x02QP\xA1\x03"));
        QVERIFY(device->write("\x06"
                              "P1 1.000\rP4 0.500\r"));
        QTRY_VERIFY(w->Text1->text().endsWith("P4 0.500\r\n"));

        const QString file = dir.filePath("Mesures.txt");
        answerDialogWith(file);
        clickOn(w->Command3);
        QCOMPARE(contents(file), QByteArray(">> VIEW PARAMETERS <<\r\n<02>QP<A1><03>\r\n"
                                            "<ACK>\r\nP1 1.000\r\nP4 0.500\r\n\r\n"));
        QCOMPARE(dialog.parent, w);
        QCOMPARE(dialog.filter, QString("Excel (*.xls);;Text (*.txt);;all (*.*)"));
        QCOMPARE(dialog.suggested, QString("Mesures"));
    }

    void whatIsSavedIsTheFieldAtTheClick() {
        QTemporaryDir dir;
        RDData* w = openOnDevice();
        w->append(QStringLiteral("BEFORE\r\n"), colour::Black);
        const QString file = dir.filePath("m.txt");
        answerDialogWith(file, [] { RDData::existing()->append("LATE\r\n", colour::Blue); });
        save(w);
        QCOMPARE(contents(file), QByteArray("BEFORE\r\n\r\n"));
        QCOMPARE(w->Text1->text(), QString("BEFORE\r\nLATE\r\n"));
    }

    // The whole file is replaced, never written over in place, and nothing
    // else appears beside it, nor in the current directory.
    void savingReplacesAnExistingFileAndLeavesNothingBehind() {
        QTemporaryDir dir, cwd;
        QVERIFY(QDir::setCurrent(cwd.path()));
        QVERIFY(put(cwd.filePath("TEMPFILE.DTA"), "the operator's own file"));
        const QString file = dir.filePath("Mesures.xls");
        QVERIFY(put(file, QByteArray(5000, 'o')));

        RDData* w = openOnDevice();
        w->append(QStringLiteral("NEW"), colour::Black);
        answerDialogWith(file);
        save(w);
        QCOMPARE(contents(file), QByteArray("NEW\r\n"));
        QCOMPARE(entries(dir.path()), QStringList{"Mesures.xls"});
        QCOMPARE(entries(cwd.path()), QStringList{"TEMPFILE.DTA"});
        QCOMPARE(contents(cwd.filePath("TEMPFILE.DTA")), QByteArray("the operator's own file"));
    }

    // The real dialog: the chosen type's extension goes on a bare name, and
    // each save starts where the last one went.
    void realDialogAddsTheExtensionAndRemembersTheFolder() {
        QTemporaryDir cwd, target;
        QVERIFY(QDir::setCurrent(cwd.path()));
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QString expectedStart = QDir(documents).exists() ? documents : QDir::homePath();
        RDData* w = openOnDevice();
        w->append(QStringLiteral("DATA\r\n"), colour::Black);
        // Typed name, filters stepped down from "Excel (*.xls)", file written.
        const QList<std::tuple<QString, int, QString>> saves = {{"run1", 1, "run1.txt"},
                                                                {"run2", 2, "run2"},
                                                                {"run3.dat", 0, "run3.dat"},
                                                                {"run4", 0, "run4.xls"}};
        for (const auto& [typed, steps, written] : saves) {
            QString startedIn;
            whenFileDialogShows([&, typed = typed, steps = steps](QFileDialog* d) {
                startedIn = d->directory().absolutePath();
                d->setDirectory(target.path());
                auto* types = d->findChild<QComboBox*>("fileTypeCombo");
                for (int i = 0; i < steps; ++i)
                    QTest::keyClick(types, Qt::Key_Down);
                d->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
                QMetaObject::invokeMethod(d, "accept");
            });
            clickOn(w->Command3);
            QCOMPARE(startedIn, expectedStart);
            QCOMPARE(contents(target.filePath(written)), QByteArray("DATA\r\n\r\n"));
            expectedStart = target.path();
        }
        QCOMPARE(entries(cwd.path()), QStringList());
    }

    // Closed by the window manager or assistive technology while the real
    // dialog is open: the dialog is cancelled, then the window closes.
    void closingWhileTheDialogIsOpenCancelsIt() {
        QTemporaryDir target;
        QSettings("krt418", "krt418").setValue("save/folder", target.path());
        QPointer<RDData> w = openOnDevice();
        w->append(QStringLiteral("DATA\r\n"), colour::Black);
        QPointer<QFileDialog> shownDialog;
        whenFileDialogShows([&](QFileDialog* d) {
            shownDialog = d;
            w->close();
        });
        clickOn(w->Command3);
        QVERIFY(!shownDialog);
        QVERIFY(!RDData::existing());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);
        QCOMPARE(entries(target.path()), QStringList());
    }

    void cancelledDialogWritesNothing() {
        QTemporaryDir cwd;
        QVERIFY(QDir::setCurrent(cwd.path()));
        RDData* w = openOnDevice();
        w->append(QStringLiteral("KEEP\r\n"), colour::Black);
        answerDialogWith(QString());
        save(w);
        QCOMPARE(entries(cwd.path()), QStringList());
        QCOMPARE(w->Text1->text(), QString("KEEP\r\n"));
        QVERIFY(device->staysQuiet(50));
    }

    void unwritableTargetIsReportedOnOneLine() {
        QTemporaryDir dir;
        QVERIFY(put(dir.filePath("plain"), "not a directory"));
        const QString file = dir.filePath("plain/Mesures.txt");
        RDData* w = openOnDevice();
        w->append(QStringLiteral("DATA\r\n"), colour::Red);
        answerDialogWith(file);
        save(w);
        const QString text = w->Text1->text();
        QVERIFY2(text.startsWith("DATA\r\n>> SAVE ERROR: " + file + ": "), qPrintable(text));
        QVERIFY(text.endsWith(" <<\r\n"));
        QCOMPARE(text.count("\r\n"), 2);
        QCOMPARE(contents(dir.filePath("plain")), QByteArray("not a directory"));
        // An action line, black, whatever colour was in force; that colour stays.
        QVERIFY(colouredText(w->Text1).startsWith("[255]DATA\n[0]>> SAVE ERROR: "));
        QCOMPARE(w->Text1->selColor(), colour::Red);
    }

    // A write that fails half-way (the disk fills up) keeps the earlier file.
    // A file size limit stands in for the full disk; it binds root as well.
    void failedWriteKeepsTheEarlierFile() {
        QTemporaryDir dir;
        const QString file = dir.filePath("Mesures.txt");
        QVERIFY(put(file, "earlier save\r\n"));
        RDData* w = openOnDevice();
        w->append(QString(4000, QLatin1Char('x')), colour::Black);
        answerDialogWith(file);

        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit tight = before;
        tight.rlim_cur = 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        clickOn(w->Command3);
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(contents(file), QByteArray("earlier save\r\n"));
        QCOMPARE(entries(dir.path()), QStringList{"Mesures.txt"});
        // The reason is the system's own: the limit's "File too large".
        QVERIFY(w->Text1->text().contains("\r\n>> SAVE ERROR: " + file + ": " +
                                          QString::fromLocal8Bit(std::strerror(EFBIG)) + " <<"));
        QVERIFY(w->Text1->isEnabled());
    }

    void readOnlyDirectoryKeepsTheEarlierFile() {
        if (geteuid() == 0) QSKIP("root writes into any directory");
        QTemporaryDir dir;
        const QString file = dir.filePath("Mesures.txt");
        QVERIFY(put(file, "earlier save\r\n"));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        RDData* w = openOnDevice();
        w->append(QStringLiteral("NEW\r\n"), colour::Black);
        answerDialogWith(file);
        save(w);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(contents(file), QByteArray("earlier save\r\n"));
        QVERIFY(w->Text1->text().contains(">> SAVE ERROR: " + file + ": "));
    }
};

QTEST_MAIN(TestSave)
#include "tst_save.moc"
