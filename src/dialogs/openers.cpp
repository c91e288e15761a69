#include "dialogs/openers.h"

#include "datawindow/dialogopeners.h"
#include "dialogs/locktime.h"
#include "dialogs/manualwindow.h"
#include "dialogs/setdatew.h"
#include "dialogs/waccuracyp.h"
#include "dialogs/waccuracyr.h"

void registerDialogOpeners() {
    setDialogOpener(DialogKind::SetDate, [] { SetDateW::instance()->bringUp(); });
    setDialogOpener(DialogKind::Manual, [] { ManualWindow::instance()->bringUp(); });
    setDialogOpener(DialogKind::LockChannel1, [] { LockTime::openFor(LockTime::PromptChannel1); });
    setDialogOpener(DialogKind::LockChannel4, [] { LockTime::openFor(LockTime::PromptChannel4); });
    setDialogOpener(DialogKind::LockOthers, [] { LockTime::openFor(LockTime::PromptOthers); });
    setDialogOpener(DialogKind::RunTimeAccuracy, [] { WaccuracyR::instance()->bringUp(); });
    setDialogOpener(DialogKind::PrinterAccuracy, [] { WaccuracyP::instance()->bringUp(); });
}
