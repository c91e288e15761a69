#pragma once
// Controls are found by their given names, and read out by their captions.

#include <QPushButton>

inline QPushButton* namedButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption);
    return b;
}

inline QPushButton* namedButton(const char* caption, const char* name, QWidget* parent) {
    return namedButton(QString::fromLatin1(caption), QString::fromLatin1(name), parent);
}
