#pragma once
// Colours are numbers: lowest byte red, next green, next blue.

#include <QColor>

namespace colour {
constexpr int Black = 0;
constexpr int Red = 255;
constexpr int Green = 65280;   // message texts of the manual window only
constexpr int Blue = 0xFF0000; // text from the device

inline QColor toQColor(int number) {
    return QColor(number & 0xFF, (number >> 8) & 0xFF, (number >> 16) & 0xFF);
}
inline int fromQColor(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}
} // namespace colour
