#pragma once
// Which device stands behind COM1 and COM2, and which serial ports are
// present to choose from.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace krt {

// A serial port present now. `byId` is the stable name under
// /dev/serial/by-id that points at `path`, empty where there is none.
struct DetectedPort {
    QString path;
    QString byId;
    QString description;
    QString manufacturer;
    QString serialNumber;
};

// The ports present now, in the order the system lists them.
QList<DetectedPort> detectedPorts();
// Tests put a list of their own in place of the system's; an empty function
// gives the system's back.
void setPortLister(std::function<QList<DetectedPort>()> lister);
// Where the stable names live; tests point it at a folder of their own.
void setByIdFolder(const QString& folder);
QString byIdFolder();

// Strongest first. Chosen is the operator's choice in the port menu, which
// binds for the rest of the run whatever the option or variable says.
enum class BindingSource { Chosen, Option, Environment, Saved, Default };

struct Binding {
    QString device; // as bound: a node, or a stable name to follow
    BindingSource source = BindingSource::Default;
    // The system's own bytes of an option's or variable's path, which need
    // not be text (empty for the other sources).
    QByteArray systemName;
};

// Where a binding came from, as the port menu tells it: "from --com1",
// "from KRT418_COM1", "chosen", "saved", "default".
QString sourceText(int port, BindingSource source);

// The platform's own name for COMn: /dev/ttyS0 for COM1 on Linux, COM1 on
// Windows. Empty for a number without a port.
QString platformDefault(int port);

// Strongest first: the operator's choice in this run, the command-line
// option, the environment variable, the operator's saved choice, the
// platform default. Empty values do not bind. Option and variable are the
// system's bytes, taken as they are.
Binding chooseBinding(int port, const QString& chosen, const QByteArray& option,
                      const QByteArray& environment, const QString& saved);

// The binding in force for COMn, from the choice made in this run, this
// process's options, KRT418_COMn, and the saved settings.
Binding currentBinding(int port);
// A --com1/--com2 option for the rest of this run; empty removes it.
void setOptionBinding(int port, const QByteArray& device);
// The operator's choice in the port menu, in force for the rest of this run;
// empty removes it.
void setChosenBinding(int port, const QString& device);
// The operator's choice, kept for the next start: the stable name where one
// points at `device`, so the adapter is found again in any USB socket. An
// empty device forgets the choice. Returns why it could not be kept (the
// settings file and the system's reason), empty when it was.
QString saveBinding(int port, const QString& device);
QString savedBinding(int port);

// The device node to open for a bound name: a stable name is followed to
// the node it points at now, so the lock file is the node's own.
QString deviceToOpen(const QString& bound);

// The stable name of `path` among `ports`, else `path` itself.
QString stableNameFor(const QString& path, const QList<DetectedPort>& ports);

// The COM ports bound to `path` now ("COM1", "COM1 COM2"), empty for none.
QString boundPortsOf(const QString& path);
// For --list-ports: one line a port, its path, stable name, description,
// manufacturer, serial number and the COM ports bound to it, between tabs.
QString describePorts(const QList<DetectedPort>& ports);

// The environment variable that binds COMn.
QByteArray environmentName(int port);

} // namespace krt
