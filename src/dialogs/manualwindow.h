#pragma once
// The manual command window: free commands, printer and running-time
// messages, link commands and raw text, all from one text field.

#include "link/frame.h"

#include "dialogs/datawindowdialog.h"

#include <QPointer>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class ManualWindow : public DataWindowDialog {
    Q_OBJECT
public:
    // The open manual window, created (and loaded) on first use.
    static ManualWindow* instance();
    // The open manual window, or null.
    static ManualWindow* existing();

    ~ManualWindow() override;

    // A file larger than this is no command line; it is refused on import.
    static constexpr qint64 ImportLimit = 1024 * 1024;

    QLineEdit* commandtosend;
    QLabel* Label1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* Command6;
    QPushButton* Command7;
    QPushButton* Command8;
    QPushButton* Command9;
    QFrame* Line1;

public slots:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();

    // Escape acts like "Close".
    void reject() override;

protected:
    // The window frame's close acts like "Close".
    void closeEvent(QCloseEvent* event) override;

private:
    ManualWindow();
    void buildLayout();
    void connectHandlers();
    void sendLink(krt::Cmd link);
    void sendMessage(bool toPrinter);
    // Enable the data field, give it the focus, unload this window.
    void closingSequence();
    void reportImportFailure(const QString& fileName, const QString& reason);

    static QPointer<ManualWindow> instance_;
    // Set while a button's action runs: clicks that reach the window while a
    // message button lets pending events through are ignored.
    bool busy_ = false;
};
