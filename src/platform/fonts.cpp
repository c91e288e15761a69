#include "platform/fonts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringList>

namespace platform {

bool isFixedPitch(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal narrow = metrics.horizontalAdvance(QLatin1Char('i'));
    for (QLatin1Char c : {QLatin1Char('W'), QLatin1Char('M'), QLatin1Char('1'), QLatin1Char(' '),
                          QLatin1Char('.')}) {
        if (!qFuzzyCompare(metrics.horizontalAdvance(c), narrow)) return false;
    }
    return narrow > 0;
}

QFont fixedPitchFont(const QString& family) {
    QStringList candidates{family};
    candidates << QStringLiteral("Courier New") << QStringLiteral("Courier")
               << QStringLiteral("DejaVu Sans Mono") << QStringLiteral("Liberation Mono")
               << QStringLiteral("Noto Mono") << QStringLiteral("Monospace");
    for (const QString& name : candidates) {
        QFont font(name);
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        if (isFixedPitch(font)) return font;
    }
    QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (isFixedPitch(system)) return system;
    // Last resort: any installed family whose glyphs measure one width.
    const QStringList families = QFontDatabase::families();
    for (const QString& name : families) {
        if (!QFontDatabase::isFixedPitch(name)) continue;
        QFont font(name);
        if (isFixedPitch(font)) return font;
    }
    return system;
}

} // namespace platform
