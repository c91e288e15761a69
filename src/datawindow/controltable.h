#pragma once
// The data window's controls, each one row: what it is (object name, caption,
// place and grid cell, start-up state, help texts, cursor) and, for a fixed
// command control, the command it sends. The window makes its widgets, its
// layout, its tab order (the order of the rows), its context help, its
// cursors and the sending of every fixed command from this table, so a new
// fixed command button is one row here and one of the command table
// (link/frame.h).

#include "link/frame.h"

#include <QString>
#include <Qt>

#include <optional>
#include <vector>

namespace controls {

// Where a control sits: one of the window's frames, or a row around the
// data field. In the order the operator reads them: the command column top
// to bottom, then the field's column.
enum class Place {
    Query,
    Commands,
    Buzzer,
    LockInput,
    IO,
    LockTimes,
    RunTime,
    Printer,
    Port,
    FieldHeader,
    Field,
    FieldFooter
};

enum class Kind { Button, CheckBox, Option, DisplayLabel, Field };
enum class State { Enabled, Disabled, Ticked };
// The cursors hint that a right click gives help: our own, or the
// platform's arrow with a question mark.
enum class Cursor { Standard, Help, WhatsThis };

struct Control {
    Kind kind;
    const char* name;    // the object name, and the window's member of that name
    const char* caption; // shown and read out; the field's is its accessible name
    Place place;
    int row;
    int column;
    int option = -1; // the index in Option1 ("Option1_0" is Option1[0])
    State state = State::Enabled;
    // A fixed command: what a click on the button sends; for a check box,
    // what ticking it sends, and what clearing it sends.
    std::optional<krt::Cmd> command = std::nullopt;
    std::optional<krt::Cmd> clearedCommand = std::nullopt;
    const char* longHelp = nullptr;  // help line after a right press
    const char* shortHelp = nullptr; // after a left or middle press
    Cursor cursor = Cursor::Standard;
};

// In tab order, which is reading order: place by place, and in a place row
// by row, each row from left to right.
const std::vector<Control>& table();

// A frame of the window.
struct Group {
    Place place;
    const char* name;
    const char* caption;
};
const std::vector<Group>& groups();

// The row of the control with this object name, or null.
const Control* find(const QString& name);
// The control's help line for a press of this button; empty when it has none.
QString helpFor(const Control& control, Qt::MouseButton button);
// The command the control sends now, a check box's by its tick (the new one:
// a box sends once it has changed); none for a control without one.
std::optional<krt::Cmd> commandFor(const Control& control, bool ticked);

} // namespace controls
