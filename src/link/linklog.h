#pragma once
// The link layer's logging category, "krt418.link": port opens, how a
// failure became an error number, and device loss. Silent by default; shown
// with QT_LOGGING_RULES="krt418.link.debug=true".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)
