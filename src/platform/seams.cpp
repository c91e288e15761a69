#include "platform/seams.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <random>
#include <utility>

namespace platform {

namespace {

QPointer<QFileDialog> runningDialog;
int dialogDepth = 0;
QList<QPointer<QWidget>> closeWhenDone;

// The production dialogs are built on the heap: should the parent go while one
// runs after all, Qt deletes the dialog with it and exec() returns, where a
// dialog on the stack would be freed twice.
QString runDialog(QFileDialog* dialog, QString* chosenFilter = nullptr) {
    runningDialog = dialog;
    QPointer<QFileDialog> guard(dialog);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    QString name;
    if (guard && accepted && !guard->selectedFiles().isEmpty()) {
        name = guard->selectedFiles().first();
        if (chosenFilter) *chosenFilter = guard->selectedNameFilter();
    }
    delete guard.data();
    return name;
}

// "Text (*.txt)" gives "txt"; "all (*.*)" and several patterns give nothing.
QString extensionOf(const QString& filter) {
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.(\\w+)\\)"));
    const QRegularExpressionMatch m = single.match(filter);
    return m.hasMatch() ? m.captured(1) : QString();
}

const char* const kSaveFolderKey = "save/folder";

// The last folder saved to, else the user's documents.
QString saveFolder() {
    const QString remembered = QSettings(QStringLiteral("krt418"), QStringLiteral("krt418"))
                                   .value(kSaveFolderKey)
                                   .toString();
    if (!remembered.isEmpty() && QDir(remembered).exists()) return remembered;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

QString saveDialog(QWidget* parent, const QString& filter, const QString& suggested) {
    auto* dialog = new QFileDialog(parent, QString(), saveFolder(), filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // A name typed without extension gets the chosen type's, before the
    // dialog asks about replacing a file of that name.
    const auto follow = [dialog](const QString& chosen) {
        dialog->setDefaultSuffix(extensionOf(chosen));
    };
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, follow);
    follow(dialog->selectedNameFilter());
    dialog->selectFile(suggested);
    QString chosenFilter;
    QString name = runDialog(dialog, &chosenFilter);
    if (name.isEmpty()) return name;
    // A desktop's own dialog may not honour the default suffix.
    const QString extension = extensionOf(chosenFilter);
    if (!extension.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + extension;
    QSettings(QStringLiteral("krt418"), QStringLiteral("krt418"))
        .setValue(kSaveFolderKey, QFileInfo(name).absolutePath());
    return name;
}

Seams productionSeams() {
    Seams s;
    s.beep = [] { QApplication::beep(); };
    s.now = [] { return QDateTime::currentDateTime(); };
    s.sleep = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    s.random = [] {
        // Deliberately not seeded from the clock: the sequence is the same every run.
        static std::mt19937 generator;
        static std::uniform_real_distribution<double> uniform(0.0, 1.0);
        return uniform(generator);
    };
    s.openFileName = [](QWidget* parent) {
        auto* dialog = new QFileDialog(parent);
        dialog->setFileMode(QFileDialog::ExistingFile);
        return runDialog(dialog);
    };
    s.openRecordName = [](QWidget* parent, const QString& folder) {
        auto* dialog = new QFileDialog(parent, QStringLiteral("Open a session"),
                                       QDir(folder).exists() ? folder : QDir::homePath(),
                                       QStringLiteral("Session records (*.jsonl);;all (*)"));
        dialog->setFileMode(QFileDialog::ExistingFile);
        return runDialog(dialog);
    };
    s.confirm = [](QWidget* parent, const QString& title, const QString& text) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                        parent);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    s.saveFileName = saveDialog;
    return s;
}

template <class Choose> QString choose(Choose&& chooser) {
    ++dialogDepth;
    QString name = chooser();
    if (--dialogDepth > 0) return name;
    runningDialog = nullptr;
    const QList<QPointer<QWidget>> closing = std::exchange(closeWhenDone, {});
    if (closing.isEmpty()) return name;
    for (const QPointer<QWidget>& w : closing) {
        if (w) w->close();
    }
    return QString();
}

} // namespace

Seams& seams() {
    static Seams current = productionSeams();
    return current;
}

void resetSeams() {
    seams() = productionSeams();
}

QString chooseFileToOpen(QWidget* parent) {
    return choose([&] { return seams().openFileName(parent); });
}

QString chooseRecordToOpen(QWidget* parent, const QString& folder) {
    return choose([&] { return seams().openRecordName(parent, folder); });
}

QString chooseFileToSave(QWidget* parent, const QString& filter, const QString& suggested) {
    return choose([&] { return seams().saveFileName(parent, filter, suggested); });
}

bool fileDialogRunning() {
    return dialogDepth > 0;
}

void closeAfterFileDialog(QWidget* window) {
    if (!closeWhenDone.contains(window)) closeWhenDone.append(window);
    if (runningDialog) runningDialog->reject();
}

} // namespace platform
