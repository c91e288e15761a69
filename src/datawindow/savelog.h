#pragma once
// Saving a data field to a file, as "Save mesures ..." does it.

#include <QByteArray>
#include <QString>

class RichTextField;

extern const char* const kSaveFileTypes;
extern const char* const kSaveSuggestedName;

// What a save writes: the field's bytes, every line end CR LF, and one more
// after the last line.
QByteArray fieldFileBytes(const RichTextField* field);
// Writes the whole file or leaves any earlier one as it was; empty on
// success, else the reason.
QString writeWhole(const QString& fileName, const QByteArray& bytes);
