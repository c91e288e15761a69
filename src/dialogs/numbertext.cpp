#include "dialogs/numbertext.h"

#include <charconv>
#include <limits>
#include <string>

namespace numbertext {

namespace {
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

std::optional<double> read(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;

    bool negative = false;
    if (begin < end && (text.at(begin) == QLatin1Char('+') || text.at(begin) == QLatin1Char('-'))) {
        negative = text.at(begin) == QLatin1Char('-');
        ++begin;
    }

    // Only digits and one point from here on; from_chars then reads the
    // same characters without looking at the locale.
    std::string digits;
    digits.reserve(static_cast<std::size_t>(end - begin));
    bool point = false;
    bool anyDigit = false;
    bool nonZeroBeforePoint = false;
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = text.at(i);
        if (isDigit(c)) {
            anyDigit = true;
            if (!point && c != QLatin1Char('0')) nonZeroBeforePoint = true;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
        digits.push_back(static_cast<char>(c.unicode()));
    }
    if (!anyDigit) return std::nullopt;

    double value = 0.0;
    const char* first = digits.data();
    const char* last = first + digits.size();
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range)
        value = nonZeroBeforePoint ? std::numeric_limits<double>::infinity() : 0.0;
    else if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace numbertext
