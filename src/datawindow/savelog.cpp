// Saving the data field to a file.

#include "datawindow/savelog.h"

#include "datawindow/rddata.h"
#include "link/frame.h"
#include "logview/richtextfield.h"
#include "platform/seams.h"

#include <QDir>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {
// The system's own words for a failed write ("No space left on device");
// QSaveFile reports a short write as an unknown error.
QString writeFailure(const QSaveFile& file) {
    const int error = errno;
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file.errorString();
}
} // namespace

const char* const kSaveFileTypes = "Excel (*.xls);;Text (*.txt);;all (*.*)";
const char* const kSaveSuggestedName = "Mesures";

QByteArray fieldFileBytes(const RichTextField* field) {
    return field->store().bytes(0, field->length(), "\r\n") + "\r\n";
}

// The whole file goes to a temporary file beside the target and replaces it
// only once complete: a failed save leaves any earlier file as it was, and
// nothing is left behind either way.
QString writeWhole(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    // Flush before committing: commit() itself overlooks a final flush that
    // falls short (a full disk) and would put a truncated file in place.
    // An uncommitted QSaveFile discards its temporary file.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) return writeFailure(file);
    if (!file.commit()) return file.errorString();
    return QString();
}

void RDData::Command3_Click() {
    // What is saved is the field as it is now: bytes that arrive while the
    // operator picks a name are not part of it.
    const QByteArray bytes = fieldFileBytes(Text1);
    Text1->setEnabled(false);

    const QString fileName = platform::chooseFileToSave(this, QString::fromLatin1(kSaveFileTypes),
                                                        QString::fromLatin1(kSaveSuggestedName));
    QString failure;
    if (!fileName.isEmpty()) failure = writeWhole(fileName, bytes);

    Text1->setEnabled(true);
    if (failure.isEmpty()) return;
    appendActionLine(QStringLiteral(">> SAVE ERROR: ") + QDir::toNativeSeparators(fileName) +
                     QStringLiteral(": ") + failure + QStringLiteral(" <<\r\n"));
}
