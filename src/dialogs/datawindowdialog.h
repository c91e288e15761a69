#pragma once
// What the parameter dialogs share: each acts on the data window, is shown
// modeless, is unloaded when it closes (the next opening starts afresh), is
// closed with the data window, and leaves the data field usable however it
// closes: its own button, Escape or the window frame.

#include <QDialog>

class DataWindowDialog : public QDialog {
    Q_OBJECT
public:
    // Closed and waiting to be deleted: the next opening builds a new one.
    bool unloaded() const { return unloaded_; }
    // Shows it without modality and brings it up.
    void bringUp();

public slots:
    // Escape: the same as the frame's close box.
    void reject() override;

protected:
    DataWindowDialog(const QString& objectName, const QString& caption);
    // Every such dialog disables the data field while it is open.
    void disableDataField();
    void closeEvent(QCloseEvent* event) override;

private:
    bool unloaded_ = false;
};
