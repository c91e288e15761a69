#pragma once
// Advice written into the data field at its own width: the field does not
// wrap, and a sentence that runs past its right edge is not read.

#include <QString>

// Characters of the field's font that the data window shows side by side at
// its default size.
constexpr int kHintColumns = 38;

// The text broken at spaces into lines of at most `columns` characters (a
// longer word, such as a path, gets a line of its own), each ended by CR LF.
QString wrappedLines(const QString& text, int columns);
