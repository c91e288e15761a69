#include "datawindow/wrappedlines.h"

#include <QStringList>

QString wrappedLines(const QString& text, int columns) {
    QString out;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > columns) {
            out += line + QStringLiteral("\r\n");
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty()) out += line + QStringLiteral("\r\n");
    return out;
}
