#pragma once
// The printer accuracy dialog: the resolution the device's printer prints
// times with, from whole seconds down to ten-thousandths.

#include "dialogs/datawindowdialog.h"

#include <QPointer>
#include <array>

class QPushButton;
class QRadioButton;

class WaccuracyP : public DataWindowDialog {
    Q_OBJECT
public:
    // The one printer accuracy dialog, created (and loaded) on first use.
    static WaccuracyP* instance();
    // The open printer accuracy dialog, or null.
    static WaccuracyP* existing();

    std::array<QRadioButton*, 5> Option1;
    QPushButton* Command1;

public slots:
    void Form_Load();
    void Command1_Click();

private:
    WaccuracyP();

    static QPointer<WaccuracyP> instance_;
};
