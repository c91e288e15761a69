// The data window's buttons that open a dialog or the manual window.

#include "datawindow/dialogopeners.h"

#include "datawindow/rddata.h"

#include <array>

namespace {
std::array<std::function<void()>, int(DialogKind::Count)>& openers() {
    static std::array<std::function<void()>, int(DialogKind::Count)> registered;
    return registered;
}
} // namespace

void setDialogOpener(DialogKind kind, std::function<void()> open) {
    openers()[size_t(kind)] = std::move(open);
}

void openDialog(DialogKind kind) {
    if (const auto& open = openers()[size_t(kind)]) open();
}

void RDData::SetDate_Click() {
    openDialog(DialogKind::SetDate);
}

void RDData::Manual_Click() {
    openDialog(DialogKind::Manual);
}

void RDData::Channel1_Click() {
    openDialog(DialogKind::LockChannel1);
}

void RDData::Channel4_Click() {
    openDialog(DialogKind::LockChannel4);
}

void RDData::Others_Click() {
    openDialog(DialogKind::LockOthers);
}

void RDData::AccuracyR_Click() {
    openDialog(DialogKind::RunTimeAccuracy);
}

void RDData::AccuracyP_Click() {
    openDialog(DialogKind::PrinterAccuracy);
}
