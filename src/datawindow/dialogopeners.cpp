// The data window's buttons that open a dialog or the manual window.

#include "datawindow/rddata.h"
#include "dialogs/locktime.h"
#include "dialogs/manualwindow.h"
#include "dialogs/setdatew.h"
#include "dialogs/waccuracyp.h"
#include "dialogs/waccuracyr.h"

void RDData::SetDate_Click() {
    SetDateW::instance()->bringUp();
}

void RDData::Manual_Click() {
    ManualWindow::instance()->bringUp();
}

void RDData::Channel1_Click() {
    LockTime::openFor(LockTime::PromptChannel1);
}

void RDData::Channel4_Click() {
    LockTime::openFor(LockTime::PromptChannel4);
}

void RDData::Others_Click() {
    LockTime::openFor(LockTime::PromptOthers);
}

void RDData::AccuracyR_Click() {
    WaccuracyR::instance()->bringUp();
}

void RDData::AccuracyP_Click() {
    WaccuracyP::instance()->bringUp();
}
