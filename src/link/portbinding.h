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

enum class BindingSource { Option, Environment, Saved, Default };

struct Binding {
    QString device; // as bound: a node, or a stable name to follow
    BindingSource source = BindingSource::Default;
};

// The platform's own name for COMn: /dev/ttyS0 for COM1 on Linux, COM1 on
// Windows. Empty for a number without a port.
QString platformDefault(int port);

// Strongest first: the command-line option, the environment variable, the
// operator's saved choice, the platform default. Empty texts do not bind.
Binding chooseBinding(int port, const QString& option, const QByteArray& environment,
                      const QString& saved);

// The binding in force for COMn, from this process's options, KRT418_COMn,
// and the saved settings.
Binding currentBinding(int port);
// A --com1/--com2 option for the rest of this run; empty removes it.
void setOptionBinding(int port, const QString& device);
// The operator's choice, kept for the next start: the stable name where one
// points at `device`, so the adapter is found again in any USB socket.
void saveBinding(int port, const QString& device);
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
