#include "datawindow/controltable.h"

#include "datawindow/rddata.h"

namespace controls {

namespace {

Control button(QPushButton* RDData::*member, const char* name, const char* caption, Place place,
               int row, int column, void (RDData::*handler)(), const char* longHelp,
               const char* shortHelp, Cursor cursor = Cursor::Standard) {
    Control c{Kind::Button, name, caption, place, row, column};
    c.button = member;
    c.handler = handler;
    c.longHelp = longHelp;
    c.shortHelp = shortHelp;
    c.cursor = cursor;
    return c;
}

Control checkBox(QCheckBox* RDData::*member, const char* name, const char* caption, Place place,
                 void (RDData::*handler)(), const char* longHelp, const char* shortHelp,
                 Cursor cursor) {
    Control c{Kind::CheckBox, name, caption, place, 0, 0};
    c.box = member;
    c.handler = handler;
    c.longHelp = longHelp;
    c.shortHelp = shortHelp;
    c.cursor = cursor;
    return c;
}

Control displayLabel(QLabel* RDData::*member, const char* name, Place place, int row, int column) {
    Control c{Kind::DisplayLabel, name, nullptr, place, row, column};
    c.label = member;
    return c;
}

Control option(int index, const char* name, const char* caption, int row) {
    Control c{Kind::Option, name, caption, Place::Port, row, 0};
    c.option = index;
    return c;
}

Control withState(Control c, State state) {
    c.state = state;
    return c;
}

// The help wording is the operator's long-known one, spelling included.
std::vector<Control> makeTable() {
    using R = RDData;
    Control field{Kind::Field, "Text1", "Data from/to KRT 418", Place::Field, 0, 0};
    field.longHelp = "This is the data field. It contains all communication with the KRT 418.";
    field.shortHelp = "Select text to copy it ...";
    Control scroll = checkBox(&R::scroll, "scroll", "Auto Scroll", Place::FieldFooter, nullptr,
                              nullptr, nullptr, Cursor::Standard);
    return {
        button(&R::GetDate, "GetDate", "Get Date", Place::Query, 0, 0, &R::GetDate_Click,
               "Ask the KRT 418 about the current date memorised onto it.", "Get KRT 418 date!",
               Cursor::WhatsThis),
        button(&R::MemFree, "MemFree", "Memory Free", Place::Query, 0, 1, &R::MemFree_Click,
               "Ask the KRT 418 about the current memory free.", "Get KRT 418 memory free!",
               Cursor::WhatsThis),
        button(&R::ViewP, "ViewP", "View Param.", Place::Query, 0, 2, &R::ViewP_Click,
               "Ask the KRT 418 about the current parameters.", "Get KRT 418 parameters!",
               Cursor::WhatsThis),
        button(&R::SetDate, "SetDate", "Set Date...", Place::Commands, 0, 0, &R::SetDate_Click,
               "Set the KRT 418 to selected date and hour.", "Set KRT 418 date and hour!",
               Cursor::Help),
        button(&R::SetDefaults, "SetDefaults", "Set Defaults", Place::Commands, 0, 1,
               &R::SetDefaults_Click, "Set the KRT 418 to the facory defaults parameters.",
               "Set KRT 418 as factory defaults!", Cursor::Help),
        button(&R::NewSession, "NewSession", "New Session", Place::Commands, 0, 2,
               &R::NewSession_Click, "Start a new KRT 418 session.", "Start the new session!",
               Cursor::Help),
        button(&R::UploadTimes, "UploadTimes", "Upload times", Place::Commands, 1, 0,
               &R::UploadTimes_Click, "Get all KRT 418 mesured times and display it on the PC.",
               "Get all KRT 418 mesured times!", Cursor::Help),
        button(&R::UploadPrint, "UploadPrint", "Upload + Print", Place::Commands, 1, 1,
               &R::UploadPrint_Click,
               "Get all KRT 418 mesured times and display them on the PC and print them.",
               "Get all KRT 418 mesured times and print them!", Cursor::Help),
        button(&R::ClearMemory, "ClearMemory", "Clear memory", Place::Commands, 1, 2,
               &R::ClearMemory_Click, "Clear the full memory of the KRT 418 (all times).",
               "Clear all KRT 418 mesured times!", Cursor::Help),
        checkBox(&R::buzzer, "buzzer", "ON", Place::Buzzer, &R::buzzer_Click,
                 "Turn on or off the acoustic signal on the KRT 418.", "Switch the buzzer!",
                 Cursor::Help),
        checkBox(&R::lockinput, "lockinput", "ON", Place::LockInput, &R::lockinput_Click,
                 "Lock or unlock the KRT 418 inputs 5 to 16.", "Switch the lock/unlock system!",
                 Cursor::Help),
        button(&R::Manual, "Manual", "Command ...", Place::IO, 0, 0, &R::Manual_Click,
               "Free command to the KRT 418 (particulary functions).", "Enter command!"),
        button(&R::Channel1, "Channel1", "Channel 1 ...", Place::LockTimes, 0, 0,
               &R::Channel1_Click, "Set the time to lock the KRT 418 / input 1.",
               "Set Lock time input 1!", Cursor::Help),
        button(&R::Channel4, "Channel4", "Channel 4 ...", Place::LockTimes, 0, 1,
               &R::Channel4_Click, "Set the time to lock the KRT 418 / input 4.",
               "Set Lock time input 4!", Cursor::Help),
        button(&R::Others, "Others", "Others ...", Place::LockTimes, 0, 2, &R::Others_Click,
               "Set the time to lock the KRT 418 / others inputs.", "Set Lock time others inputs!",
               Cursor::Help),
        displayLabel(&R::Lch1, "Lch1", Place::LockTimes, 1, 0),
        displayLabel(&R::Lch4, "Lch4", Place::LockTimes, 1, 1),
        displayLabel(&R::Lothers, "Lothers", Place::LockTimes, 1, 2),
        button(&R::AccuracyR, "AccuracyR", "Select ...", Place::RunTime, 0, 0, &R::AccuracyR_Click,
               "Set the accuracy of the running display.", "Set accuracy time!", Cursor::Help),
        displayLabel(&R::TaccuracyR, "TaccuracyR", Place::RunTime, 1, 0),
        button(&R::AccuracyP, "AccuracyP", "Accuracy...", Place::Printer, 0, 0, &R::AccuracyP_Click,
               "Set the accuracy of the printed times.", "Set accuracy time!", Cursor::Help),
        displayLabel(&R::TaccuracyP, "TaccuracyP", Place::Printer, 1, 0),
        option(0, "Option1_0", "Com1", 0),
        option(1, "Option1_1", "Com2", 1),
        // The line stays at 9600 bit/s.
        withState(button(&R::Command2, "Command2", "9600 bds", Place::Port, 0, 1,
                         &R::Command2_Click, nullptr, nullptr),
                  State::Disabled),
        // Start-up captions it "Send XOFF"; whatever its caption says (XOFF
        // or XON), this is its help.
        button(&R::Command6, "Command6", "Activate", Place::Port, 1, 2, &R::Command6_Click,
               "Close the RS-232 communication port.", "Close the port!"),
        button(&R::Command5, "Command5", "Clear", Place::FieldHeader, 0, 1, &R::Command5_Click,
               "Clear the data field below (warning, save data before...).", "Clear data!",
               Cursor::Help),
        field,
        withState(scroll, State::Ticked),
        // Offered once the field holds something.
        withState(button(&R::Command3, "Command3", "Save mesures ...", Place::FieldFooter, 0, 2,
                         &R::Command3_Click,
                         "Save the data from the field above to a file on the PC.", "Save Data!",
                         Cursor::Help),
                  State::Disabled),
        button(&R::Command1, "Command1", "Close", Place::FieldFooter, 0, 3, &R::Command1_Click,
               "Close the current window and lose all data ...", "Close!"),
    };
}

} // namespace

const std::vector<Control>& table() {
    static const std::vector<Control> rows = makeTable();
    return rows;
}

const std::vector<Group>& groups() {
    using R = RDData;
    static const std::vector<Group> frames = {
        {Place::Query, &R::FrameQuery, "FrameQuery", "Query controls"},
        {Place::Commands, &R::FrameCommands, "FrameCommands", "Commands"},
        {Place::Buzzer, &R::FrameBuzzer, "FrameBuzzer", "Buzzer control"},
        {Place::LockInput, &R::FrameLockInput, "FrameLockInput", "Lock input 5/16"},
        {Place::IO, &R::FrameIO, "FrameIO", "I/O control"},
        {Place::LockTimes, &R::FrameLockTimes, "FrameLockTimes", "Lock times"},
        {Place::RunTime, &R::FrameRunTime, "FrameRunTime", "Run.Time"},
        {Place::Printer, &R::FramePrinter, "FramePrinter", "Printer Time"},
        {Place::Port, &R::FramePort, "FramePort", "Serial Port communication control"},
    };
    return frames;
}

const Control* find(const QString& name) {
    for (const Control& c : table())
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

QString helpFor(const Control& control, Qt::MouseButton button) {
    const char* text = button == Qt::RightButton ? control.longHelp : control.shortHelp;
    return text ? QString::fromLatin1(text) : QString();
}

} // namespace controls
