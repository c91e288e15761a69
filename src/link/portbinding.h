#pragma once
// Which device stands behind COM1 and COM2, and which serial ports are
// present to choose from.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <map>
#include <optional>

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

// What binds COM ports besides the operator's choices: the --comN options
// and the KRT418_COMn variables, as the system's bytes.
struct PortSources {
    std::map<int, QByteArray> options;
    // The program reads the variables once, at start-up. Without them (a
    // data window made on its own, as the suites and the bench do) each look
    // reads the process's environment as it is then.
    std::optional<std::map<int, QByteArray>> environment;
    // The operator's saved choices, read once at start-up with the rest: a
    // choice another running copy saves later binds that copy's run, not
    // this one's. Without them, as the environment.
    std::optional<std::map<int, QString>> saved;

    QByteArray option(int port) const;
    QByteArray environmentValue(int port) const;
    QString savedValue(int port) const;
    // KRT418_COM1 to KRT418_COM16 as they are now.
    static std::map<int, QByteArray> readEnvironment();
    // The saved choices of COM1 to COM16 as the settings hold them now.
    static std::map<int, QString> readSaved();
};

// The bindings of the COM ports for one run: the sources, the saved choices,
// and the choices made in the port menu, which hold for the rest of the run
// (data windows closed and opened again included).
class PortBindings {
public:
    explicit PortBindings(PortSources sources = {});

    Binding binding(int port) const;
    // The operator's choice in the port menu; empty removes it.
    void choose(int port, const QString& device);
    // The device to open for COMn, as the system's bytes: an option's or
    // variable's bytes as they are, else the bound name, a stable name
    // followed to its node. Empty when the number has no port.
    QByteArray systemPath(int port) const;
    // The COM ports bound to `path` ("COM1", "COM1 COM2"), empty for none.
    QString boundPortsOf(const QString& path) const;
    // For --list-ports: one line a port, its path, stable name, description,
    // manufacturer, serial number and the COM ports bound to it, between tabs.
    QString describe(const QList<DetectedPort>& ports) const;

private:
    PortSources sources_;
    std::map<int, QString> chosen_;
};

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

// The environment variable that binds COMn.
QByteArray environmentName(int port);

} // namespace krt
