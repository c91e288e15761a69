#pragma once

#include <QFont>

namespace platform {

// True when every character of the font advances by the same width. Measured,
// not asked: fontconfig reports some monospaced families (and its fallbacks)
// as proportional, and some proportional ones as fixed.
bool isFixedPitch(const QFont& font);

// The first of the typewriter families the desktop offers whose characters
// really are all one width, else the desktop's own fixed font. `family` is
// the one the window asks for first.
QFont fixedPitchFont(const QString& family);

} // namespace platform
