#pragma once
// The data window opens its dialogs without knowing them: the dialogs, which
// use the data window, register how each of them opens (the shell has them
// do it at start-up), and the data window's buttons ask for one by kind.

#include <functional>

enum class DialogKind {
    SetDate,
    Manual,
    LockChannel1,
    LockChannel4,
    LockOthers,
    RunTimeAccuracy,
    PrinterAccuracy,
    Count
};

void setDialogOpener(DialogKind kind, std::function<void()> open);
// Opens the dialog; nothing happens for a kind that nobody registered.
void openDialog(DialogKind kind);
