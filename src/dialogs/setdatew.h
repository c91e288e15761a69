#pragma once
// The date and hour dialog: sends the device its calendar date and time of
// day, in the standard (day first) or US (month first) order.

#include "dialogs/datawindowdialog.h"

#include <QPointer>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class SetDateW : public DataWindowDialog {
    Q_OBJECT
public:
    // The one date dialog, created (and loaded) on first use.
    static SetDateW* instance();
    // The open date dialog, or null.
    static SetDateW* existing();

    QLabel* Label1;
    QLineEdit* TDay;
    QLineEdit* TMonth;
    QLineEdit* TYear;
    QLineEdit* THour;
    QLineEdit* TMinute;
    QLabel* Label2;
    QPushButton* Command1;
    QPushButton* Command2;
    QGroupBox* FormatS;
    // Indexes 1 ("US") and 2 ("Standard"); index 0 stays null.
    std::array<QRadioButton*, 3> Format;

public slots:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();

private:
    SetDateW();

    static QPointer<SetDateW> instance_;
};
