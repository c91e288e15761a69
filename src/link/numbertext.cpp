#include "link/numbertext.h"

namespace numbertext {

std::optional<int> read(const QString& text, int maxDigits) {
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qsizetype first = negative ? 1 : 0;
    const qsizetype digits = text.size() - first;
    if (digits < 1 || digits > maxDigits) return std::nullopt;
    int value = 0;
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    if (negative && value == 0) return std::nullopt;
    return negative ? -value : value;
}

} // namespace numbertext
