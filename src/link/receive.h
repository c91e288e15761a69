#pragma once
// What one read from the device looks like in the data field.

#include <QByteArray>
#include <QString>

// The first ACK becomes "<ACK>" CR, then the first NAK "<NACK>" CR, then a
// line feed follows the first CR of the result. Every other byte stays the
// character of the same code.
QString transformChunk(const QByteArray& chunk);
