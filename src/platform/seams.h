#pragma once
// The few places where the program touches the desktop: beep, clock, sleep,
// random numbers and the file dialogs. Tests replace them through seams().

#include <QDateTime>
#include <QString>
#include <functional>

class QWidget;

namespace platform {

struct Seams {
    std::function<void()> beep;
    std::function<QDateTime()> now;
    std::function<void(int ms)> sleep;
    std::function<double()> random; // uniform in [0, 1)
    // Returns the chosen file name, or an empty string when cancelled.
    std::function<QString(QWidget* parent)> openFileName;
    // A session record to open, the dialog starting in `folder`.
    std::function<QString(QWidget* parent, const QString& folder)> openRecordName;
    std::function<QString(QWidget* parent, const QString& filter, const QString& suggested)>
        saveFileName;
    // A small modal yes/no question; true only for yes (no is the default,
    // Escape answers no).
    std::function<bool(QWidget* parent, const QString& title, const QString& text)> confirm;
};

// The seams in force; tests may assign any member.
Seams& seams();
// Puts the production versions back.
void resetSeams();

inline void beep() {
    seams().beep();
}
inline QDateTime now() {
    return seams().now();
}
inline void sleep(int ms) {
    seams().sleep(ms);
}
inline double random() {
    return seams().random();
}
inline bool confirm(QWidget* parent, const QString& title, const QString& text) {
    return seams().confirm(parent, title, text);
}

// The file dialogs as the windows run them (through the seams above). A window
// whose close would delete what a running file dialog stands on (its parent,
// the slot that opened it) asks for closeAfterFileDialog() instead: the dialog
// is cancelled, and the window closes once the dialog has returned. A dialog
// during which a close was asked for returns an empty name.
QString chooseFileToOpen(QWidget* parent);
QString chooseRecordToOpen(QWidget* parent, const QString& folder);
QString chooseFileToSave(QWidget* parent, const QString& filter, const QString& suggested);
bool fileDialogRunning();
void closeAfterFileDialog(QWidget* window);

} // namespace platform
