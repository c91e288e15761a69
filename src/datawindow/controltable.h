#pragma once
// The data window's controls, each one row: its member, object name,
// caption, place, start-up state, handler, help texts and cursor. The
// layout, the tab order (the order of the rows), the connections, the
// context help and the cursors are all made from this table, so a new
// control is one row here (and its member and handler in RDData).

#include <QString>
#include <Qt>

#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class RDData;
class RichTextField;

namespace controls {

// Where a control sits: one of the window's frames, or a row around the
// data field.
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
    const char* name;    // the object name: the member's ("Option1_0" for Option1[0])
    const char* caption; // shown and read out; the field's is its accessible name
    Place place;
    int row;
    int column;
    // The member, after its kind: one of these.
    QPushButton* RDData::*button = nullptr;
    QCheckBox* RDData::*box = nullptr;
    QLabel* RDData::*label = nullptr;
    int option = -1; // the index in Option1
    State state = State::Enabled;
    void (RDData::*handler)() = nullptr; // on a click, or on a box changing
    const char* longHelp = nullptr;      // help line after a right press
    const char* shortHelp = nullptr;     // after a left or middle press
    Cursor cursor = Cursor::Standard;
};

// In tab order.
const std::vector<Control>& table();

// A frame of the window.
struct Group {
    Place place;
    QGroupBox* RDData::*member;
    const char* name;
    const char* caption;
};
const std::vector<Group>& groups();

// The row of the control with this object name, or null.
const Control* find(const QString& name);
// The control's help line for a press of this button; empty when it has none.
QString helpFor(const Control& control, Qt::MouseButton button);

} // namespace controls
