#include "datawindow/helptexts.h"

namespace help {

namespace {
// The wording is the operator's long-known one, spelling included.
const std::array<Entry, Count> kTable = {{
    {"GetDate", "Ask the KRT 418 about the current date memorised onto it.", "Get KRT 418 date!"},
    {"MemFree", "Ask the KRT 418 about the current memory free.", "Get KRT 418 memory free!"},
    {"ViewP", "Ask the KRT 418 about the current parameters.", "Get KRT 418 parameters!"},
    {"SetDate", "Set the KRT 418 to selected date and hour.", "Set KRT 418 date and hour!"},
    {"SetDefaults", "Set the KRT 418 to the facory defaults parameters.",
     "Set KRT 418 as factory defaults!"},
    {"NewSession", "Start a new KRT 418 session.", "Start the new session!"},
    {"UploadTimes", "Get all KRT 418 mesured times and display it on the PC.",
     "Get all KRT 418 mesured times!"},
    {"UploadPrint", "Get all KRT 418 mesured times and display them on the PC and print them.",
     "Get all KRT 418 mesured times and print them!"},
    {"ClearMemory", "Clear the full memory of the KRT 418 (all times).",
     "Clear all KRT 418 mesured times!"},
    {"buzzer", "Turn on or off the acoustic signal on the KRT 418.", "Switch the buzzer!"},
    {"lockinput", "Lock or unlock the KRT 418 inputs 5 to 16.", "Switch the lock/unlock system!"},
    {"Manual", "Free command to the KRT 418 (particulary functions).", "Enter command!"},
    {"Channel1", "Set the time to lock the KRT 418 / input 1.", "Set Lock time input 1!"},
    {"Channel4", "Set the time to lock the KRT 418 / input 4.", "Set Lock time input 4!"},
    {"Others", "Set the time to lock the KRT 418 / others inputs.", "Set Lock time others inputs!"},
    {"AccuracyR", "Set the accuracy of the running display.", "Set accuracy time!"},
    {"AccuracyP", "Set the accuracy of the printed times.", "Set accuracy time!"},
    // Whatever its caption says (XOFF or XON), this is the button's help.
    {"Command6", "Close the RS-232 communication port.", "Close the port!"},
    {"Command1", "Close the current window and lose all data ...", "Close!"},
    {"Command5", "Clear the data field below (warning, save data before...).", "Clear data!"},
    {"Text1", "This is the data field. It contains all communication with the KRT 418.",
     "Select text to copy it ..."},
    {"Command3", "Save the data from the field above to a file on the PC.", "Save Data!"},
}};
} // namespace

const std::array<Entry, Count>& table() {
    return kTable;
}

const Entry* find(const QString& control) {
    for (const Entry& e : kTable)
        if (control == QLatin1String(e.control)) return &e;
    return nullptr;
}

QString textFor(const Entry& entry, Qt::MouseButton button) {
    return QString::fromLatin1(button == Qt::RightButton ? entry.longText : entry.shortText);
}

} // namespace help
