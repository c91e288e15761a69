#pragma once
// The lock time dialog: the lock time of input 1, input 4 or the other inputs,
// in seconds or tenths. Which inputs it sets is read from its prompt at OK time.

#include "dialogs/datawindowdialog.h"

#include <QPointer>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class LockTime : public DataWindowDialog {
    Q_OBJECT
public:
    // The one lock time dialog, created (and loaded) on first use.
    static LockTime* instance();
    // The open lock time dialog, or null.
    static LockTime* existing();

    // Prompt captions the openers set; the caption in force at OK decides.
    static const char* const PromptChannel1;
    static const char* const PromptChannel4;
    static const char* const PromptOthers;

    // Brings the dialog up with the prompt for one input group.
    static void openFor(const char* prompt);

    QLabel* LabelChannel;
    QLineEdit* TLock;
    std::array<QRadioButton*, 2> OTime;
    QPushButton* Command1;
    QPushButton* Command2;

public slots:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();

private:
    LockTime();

    static QPointer<LockTime> instance_;
};
