#pragma once
// What the parameter dialogs share: each acts on the data window, is shown
// modeless, is unloaded when it closes (the next opening starts afresh), is
// closed with the data window, and leaves the data field usable however it
// closes: its own button, Escape or the window frame.

#include <QDialog>
#include <QPointer>

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

    // The dialog held in `slot` while it is open, else null.
    template <class Dialog> static Dialog* live(const QPointer<Dialog>& slot) {
        return slot && !slot->unloaded() ? slot.data() : nullptr;
    }
    // The open dialog, or a new one made by `make` and loaded.
    template <class Dialog, class Make> static Dialog* single(QPointer<Dialog>& slot, Make make) {
        if (!live(slot)) {
            slot = make();
            slot->Form_Load();
        }
        return slot.data();
    }
    // Every such dialog disables the data field while it is open.
    void disableDataField();
    void closeEvent(QCloseEvent* event) override;

private:
    bool unloaded_ = false;
};
