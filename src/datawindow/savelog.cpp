// Saving the data field to a file.

#include "datawindow/rddata.h"
#include "link/frame.h"
#include "logview/richtextfield.h"
#include "platform/seams.h"

#include <QDir>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {
const char* const kFileTypes = "Excel (*.xls);;Text (*.txt);;all (*.*)";
const char* const kSuggestedName = "Mesures";

// The whole file goes to a temporary file beside the target and replaces it
// only once complete: a failed save leaves any earlier file as it was, and
// nothing is left behind either way. Returns an empty string on success,
// else the reason.
// The system's own words for a failed write ("No space left on device");
// QSaveFile reports a short write as an unknown error.
QString writeFailure(const QSaveFile& file) {
    const int error = errno;
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file.errorString();
}

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
} // namespace

void RDData::Command3_Click() {
    // What is saved is the field as it is now: bytes that arrive while the
    // operator picks a name are not part of it.
    // The field's bytes as they are, every line end CR LF, and one more after
    // the last line.
    const QByteArray bytes = Text1->store().bytes(0, Text1->length(), "\r\n") + "\r\n";
    Text1->setEnabled(false);

    const QString fileName = platform::chooseFileToSave(this, QString::fromLatin1(kFileTypes),
                                                        QString::fromLatin1(kSuggestedName));
    QString failure;
    if (!fileName.isEmpty()) failure = writeWhole(fileName, bytes);

    Text1->setEnabled(true);
    if (failure.isEmpty()) return;
    appendActionLine(QStringLiteral(">> SAVE ERROR: ") + QDir::toNativeSeparators(fileName) +
                     QStringLiteral(": ") + failure + QStringLiteral(" <<\r\n"));
}
