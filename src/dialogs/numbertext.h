#pragma once
// Reading a typed value as a number. The dialogs test the number but send the
// characters as typed, so all they need to know is whether the text is a
// number and which one.

#include <QString>
#include <optional>

namespace numbertext {

// The number the text reads as, or nothing when it is not a number.
// Accepted: blanks (spaces, tabs) around it, one leading '+' or '-', decimal
// digits with at most one '.' (the C locale's point, whatever the desktop's
// locale), and at least one digit. Not numbers: the empty text, a lone sign or
// point, letters, the marks "??" and "????", exponents, hex, "inf", "nan",
// thousands separators and any character outside ASCII. A number too large
// for a double reads as an infinity of its sign, so range checks refuse it.
std::optional<double> read(const QString& text);

} // namespace numbertext
