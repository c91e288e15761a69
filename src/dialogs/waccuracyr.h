#pragma once
// The running-time display dialog: switches the device's running-time
// display off or to tenths of a second.

#include <QDialog>
#include <QPointer>
#include <array>

class QPushButton;
class QRadioButton;

class WaccuracyR : public QDialog {
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
    // Escape: the same as closing by the window frame.
    void reject() override;

protected:
    // Closing by any path leaves the data field usable.
    void closeEvent(QCloseEvent* event) override;

private:
    WaccuracyR();

    static QPointer<WaccuracyR> instance_;
};
