#include "datawindow/controltable.h"

namespace controls {

namespace {

using krt::Cmd;

Control button(const char* name, const char* caption, Place place, int row, int column,
               const char* longHelp, const char* shortHelp, Cursor cursor = Cursor::Standard) {
    Control c{Kind::Button, name, caption, place, row, column};
    c.longHelp = longHelp;
    c.shortHelp = shortHelp;
    c.cursor = cursor;
    return c;
}

// A button that sends one fixed command.
Control commandButton(Cmd command, const char* name, const char* caption, Place place, int row,
                      int column, const char* longHelp, const char* shortHelp, Cursor cursor) {
    Control c = button(name, caption, place, row, column, longHelp, shortHelp, cursor);
    c.command = command;
    return c;
}

// A box that sends `ticked` when it is ticked and `cleared` when it is cleared.
Control commandBox(Cmd ticked, Cmd cleared, const char* name, const char* caption, Place place,
                   const char* longHelp, const char* shortHelp, Cursor cursor) {
    Control c{Kind::CheckBox, name, caption, place, 0, 0};
    c.command = ticked;
    c.clearedCommand = cleared;
    c.longHelp = longHelp;
    c.shortHelp = shortHelp;
    c.cursor = cursor;
    return c;
}

Control displayLabel(const char* name, Place place, int row, int column) {
    return Control{Kind::DisplayLabel, name, nullptr, place, row, column};
}

Control option(int index, const char* name, const char* caption, int row) {
    Control c{Kind::Option, name, caption, Place::Port, row, 0};
    c.option = index;
    return c;
}

Control helped(Control c, const char* longHelp, const char* shortHelp) {
    c.longHelp = longHelp;
    c.shortHelp = shortHelp;
    return c;
}

Control withState(Control c, State state) {
    c.state = state;
    return c;
}

// The help wording is the operator's long-known one, spelling included.
std::vector<Control> makeTable() {
    Control field{Kind::Field, "Text1", "Data from/to KRT 418", Place::Field, 0, 0};
    field.longHelp = "This is the data field. It contains all communication with the KRT 418.";
    field.shortHelp = "Select text to copy it ...";
    const Control scroll{Kind::CheckBox, "scroll", "Auto Scroll", Place::FieldFooter, 0, 0};
    return {
        commandButton(Cmd::GetDate, "GetDate", "Get Date", Place::Query, 0, 0,
                      "Ask the KRT 418 about the current date memorised onto it.",
                      "Get KRT 418 date!", Cursor::WhatsThis),
        commandButton(Cmd::MemFree, "MemFree", "Memory Free", Place::Query, 0, 1,
                      "Ask the KRT 418 about the current memory free.", "Get KRT 418 memory free!",
                      Cursor::WhatsThis),
        commandButton(Cmd::ViewParameters, "ViewP", "View Param.", Place::Query, 0, 2,
                      "Ask the KRT 418 about the current parameters.", "Get KRT 418 parameters!",
                      Cursor::WhatsThis),
        button("SetDate", "Set Date...", Place::Commands, 0, 0,
               "Set the KRT 418 to selected date and hour.", "Set KRT 418 date and hour!",
               Cursor::Help),
        commandButton(Cmd::SetDefaults, "SetDefaults", "Set Defaults", Place::Commands, 0, 1,
                      "Set the KRT 418 to the facory defaults parameters.",
                      "Set KRT 418 as factory defaults!", Cursor::Help),
        commandButton(Cmd::NewSession, "NewSession", "New Session", Place::Commands, 0, 2,
                      "Start a new KRT 418 session.", "Start the new session!", Cursor::Help),
        commandButton(Cmd::UploadTimes, "UploadTimes", "Upload times", Place::Commands, 1, 0,
                      "Get all KRT 418 mesured times and display it on the PC.",
                      "Get all KRT 418 mesured times!", Cursor::Help),
        commandButton(Cmd::UploadPrint, "UploadPrint", "Upload + Print", Place::Commands, 1, 1,
                      "Get all KRT 418 mesured times and display them on the PC and print them.",
                      "Get all KRT 418 mesured times and print them!", Cursor::Help),
        commandButton(Cmd::ClearMemory, "ClearMemory", "Clear memory", Place::Commands, 1, 2,
                      "Clear the full memory of the KRT 418 (all times).",
                      "Clear all KRT 418 mesured times!", Cursor::Help),
        commandBox(Cmd::BuzzerOn, Cmd::BuzzerOff, "buzzer", "ON", Place::Buzzer,
                   "Turn on or off the acoustic signal on the KRT 418.", "Switch the buzzer!",
                   Cursor::Help),
        commandBox(Cmd::LockInputs, Cmd::UnlockInputs, "lockinput", "ON", Place::LockInput,
                   "Lock or unlock the KRT 418 inputs 5 to 16.", "Switch the lock/unlock system!",
                   Cursor::Help),
        button("Manual", "Command ...", Place::IO, 0, 0,
               "Free command to the KRT 418 (particulary functions).", "Enter command!"),
        button("Channel1", "Channel 1 ...", Place::LockTimes, 0, 0,
               "Set the time to lock the KRT 418 / input 1.", "Set Lock time input 1!",
               Cursor::Help),
        button("Channel4", "Channel 4 ...", Place::LockTimes, 0, 1,
               "Set the time to lock the KRT 418 / input 4.", "Set Lock time input 4!",
               Cursor::Help),
        button("Others", "Others ...", Place::LockTimes, 0, 2,
               "Set the time to lock the KRT 418 / others inputs.", "Set Lock time others inputs!",
               Cursor::Help),
        displayLabel("Lch1", Place::LockTimes, 1, 0),
        displayLabel("Lch4", Place::LockTimes, 1, 1),
        displayLabel("Lothers", Place::LockTimes, 1, 2),
        button("AccuracyR", "Select ...", Place::RunTime, 0, 0,
               "Set the accuracy of the running display.", "Set accuracy time!", Cursor::Help),
        displayLabel("TaccuracyR", Place::RunTime, 1, 0),
        button("AccuracyP", "Accuracy...", Place::Printer, 0, 0,
               "Set the accuracy of the printed times.", "Set accuracy time!", Cursor::Help),
        displayLabel("TaccuracyP", Place::Printer, 1, 0),
        option(0, "Option1_0", "Com1", 0),
        option(1, "Option1_1", "Com2", 1),
        // The line stays at 9600 bit/s.
        withState(button("Command2", "9600 bds", Place::Port, 1, 1, nullptr, nullptr),
                  State::Disabled),
        // Start-up captions it "Send XOFF"; whatever its caption says (XOFF
        // or XON), this is its help.
        button("Command6", "Activate", Place::Port, 1, 2, "Close the RS-232 communication port.",
               "Close the port!"),
        button("Command5", "Clear", Place::FieldHeader, 0, 1,
               "Clear the data field below (warning, save data before...).", "Clear data!",
               Cursor::Help),
        // A past session, shown again in a window of its own.
        button("Command4", "Open session ...", Place::FieldHeader, 0, 2,
               "Open a session kept on the PC and show it again (nothing is sent).",
               "Open a session!", Cursor::Help),
        field,
        withState(scroll, State::Ticked),
        // The views of the field: not commands, the operator's own choice,
        // remembered between sessions.
        helped(Control{Kind::CheckBox, "Times", "&Times", Place::FieldFooter, 0, 1},
               "Show the time of each line at the left of the data field (click the times or "
               "press Ctrl+Shift+T: time of day or time since the line before).",
               "Show the times of the lines!"),
        helped(Control{Kind::CheckBox, "Bytes", "&Bytes", Place::FieldFooter, 0, 2},
               "Show the bytes sent and received, in hex and as characters, in place of the "
               "data field.",
               "Show the bytes on the line!"),
        // Offered once the field holds something.
        withState(button("Command3", "Save mesures ...", Place::FieldFooter, 0, 4,
                         "Save the data from the field above to a file on the PC.", "Save Data!",
                         Cursor::Help),
                  State::Disabled),
        button("Command1", "Close", Place::FieldFooter, 0, 5,
               "Close the current window and lose all data ...", "Close!"),
    };
}

} // namespace

const std::vector<Control>& table() {
    static const std::vector<Control> rows = makeTable();
    return rows;
}

const std::vector<Group>& groups() {
    static const std::vector<Group> frames = {
        {Place::Query, "FrameQuery", "Query controls"},
        {Place::Commands, "FrameCommands", "Commands"},
        {Place::Buzzer, "FrameBuzzer", "Buzzer control"},
        {Place::LockInput, "FrameLockInput", "Lock input 5/16"},
        {Place::IO, "FrameIO", "I/O control"},
        {Place::LockTimes, "FrameLockTimes", "Lock times"},
        {Place::RunTime, "FrameRunTime", "Run.Time"},
        {Place::Printer, "FramePrinter", "Printer Time"},
        {Place::Port, "FramePort", "Serial Port communication control"},
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

std::optional<krt::Cmd> commandFor(const Control& control, bool ticked) {
    if (control.kind == Kind::CheckBox && !ticked) return control.clearedCommand;
    return control.command;
}

} // namespace controls
