#pragma once
// Reading a typed value as a number. The dialogs test the number but send the
// characters as typed, so a text is a number only when the device takes those
// very characters as one.

#include <QString>
#include <optional>

namespace numbertext {

// The number the text reads as, or nothing when it is not a number.
// Numbers: one to maxDigits ASCII digits ("5", "05", "2050"). A minus sign
// before them reads as the negative number ("-1"), which every range refuses,
// so the operator hears the refusal; with only zeros after it ("-0") it would
// pass as zero and go out as typed, so it is no number. Not numbers either:
// the empty text, blanks anywhere, a plus sign, a point, a lone sign, letters,
// the marks "??" and "????", more digits than maxDigits, and any character
// outside ASCII.
// maxDigits is at most 9.
std::optional<int> read(const QString& text, int maxDigits);

} // namespace numbertext
