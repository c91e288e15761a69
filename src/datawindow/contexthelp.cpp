// Context help on the data window's controls, and their cursors.

#include "datawindow/rddata.h"

void RDData::installContextHelp() {}

void RDData::installCursors() {}

bool RDData::eventFilter(QObject* watched, QEvent* event) {
    return QWidget::eventFilter(watched, event);
}
