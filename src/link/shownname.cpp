#include "link/shownname.h"

#include <QList>

namespace krt {

namespace {

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void appendHex(QString& out, uint value) {
    out +=
        QStringLiteral("\\x") + QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

void appendShown(QString& out, char32_t c) {
    switch (c) {
    case U'\n':
        out += QStringLiteral("\\n");
        return;
    case U'\r':
        out += QStringLiteral("\\r");
        return;
    case U'\t':
        out += QStringLiteral("\\t");
        return;
    default:
        break;
    }
    if (isControl(c))
        appendHex(out, uint(c));
    else
        out += QString::fromUcs4(&c, 1);
}

// Length of the valid UTF-8 sequence at p (at most `left` bytes), or 0.
int utf8Length(const unsigned char* p, qsizetype left, char32_t& code) {
    const unsigned char b = p[0];
    int n = 0;
    if (b < 0x80) {
        code = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        code = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        code = b & 0x07;
    } else
        return 0;
    if (left < n) return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

QString shownName(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (const char32_t c : name.toUcs4())
        appendShown(out, c);
    return out;
}

QString shownName(const QByteArray& systemName) {
    QString out;
    out.reserve(systemName.size());
    const auto* p = reinterpret_cast<const unsigned char*>(systemName.constData());
    const qsizetype size = systemName.size();
    for (qsizetype i = 0; i < size;) {
        char32_t code = 0;
        const int n = utf8Length(p + i, size - i, code);
        if (n == 0) {
            appendHex(out, p[i]);
            ++i;
        } else {
            appendShown(out, code);
            i += n;
        }
    }
    return out;
}

} // namespace krt
