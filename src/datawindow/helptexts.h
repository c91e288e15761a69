#pragma once
// The help line's texts: a sentence for the right mouse button, a short
// phrase for any other, per control of the data window.

#include <QString>
#include <Qt>
#include <array>

namespace help {

struct Entry {
    const char* control;   // the control's object name
    const char* longText;  // right button
    const char* shortText; // left or middle button
};

constexpr int Count = 22;
const std::array<Entry, Count>& table();

// The entry of the control with this object name, or null when it has no help.
const Entry* find(const QString& control);

// What a press of this mouse button over the control writes into the help line.
QString textFor(const Entry& entry, Qt::MouseButton button);

} // namespace help
