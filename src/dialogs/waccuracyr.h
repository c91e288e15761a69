#pragma once
// The running-time display dialog: switches the device's running-time
// display off or to tenths of a second.

#include "dialogs/datawindowdialog.h"

#include <QPointer>
#include <array>

class QPushButton;
class QRadioButton;

class WaccuracyR : public DataWindowDialog {
    Q_OBJECT
public:
    // The one running-time dialog, created (and loaded) on first use.
    static WaccuracyR* instance();
    // The open running-time dialog, or null.
    static WaccuracyR* existing();

    std::array<QRadioButton*, 2> Option1;
    QPushButton* Command1;

public slots:
    void Form_Load();
    void Command1_Click();

private:
    WaccuracyR();

    static QPointer<WaccuracyR> instance_;
};
