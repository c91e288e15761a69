#include "link/linklog.h"

// Warnings and above only, unless the rules switch the debug messages on.
Q_LOGGING_CATEGORY(lcLink, "krt418.link", QtWarningMsg)
