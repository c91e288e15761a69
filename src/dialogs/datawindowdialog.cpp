#include "dialogs/datawindowdialog.h"

#include "datawindow/rddata.h"

#include <QCloseEvent>

DataWindowDialog::DataWindowDialog(const QString& objectName, const QString& caption)
    : QDialog(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setObjectName(objectName);
    setWindowTitle(caption);
    // Nothing to send to once the data window is gone: close with it.
    if (RDData* w = RDData::existing()) w->adoptDialog(this);
}

void DataWindowDialog::bringUp() {
    show();
    raise();
    activateWindow();
}

void DataWindowDialog::reject() {
    close();
}

void DataWindowDialog::disableDataField() {
    if (RDData* w = RDData::existing()) w->holdDataField();
}

void DataWindowDialog::closeEvent(QCloseEvent* event) {
    if (RDData* w = RDData::existing()) w->releaseDataField();
    unloaded_ = true;
    event->accept();
}
