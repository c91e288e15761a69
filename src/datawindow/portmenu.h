#pragma once
// Choosing the device behind "Com1" and "Com2": a right click (or the
// context-menu key) on either option button lists the ports present, "Other
// device..." and the platform's default; the choice binds the port for this
// run, is saved for the next start, and opens the port as a click on its
// button does. The buttons' tips say where each port is bound and whether it
// is open; after a failed start-up a line says how to reach the device.

#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>

namespace krt {
class PortBindings;
}
class RDData;
enum class PortError;

class PortMenu : public QObject {
    Q_OBJECT
public:
    PortMenu(std::shared_ptr<krt::PortBindings> ports, RDData* window);

    // The menu of the port chosen by option button `index`, at that place.
    void popup(int index, const QPoint& globalPosition);
    // Binds the port to `device` (empty: the default), saved for the next
    // start, then does what a click on its option button does.
    void choose(int index, const QString& device);
    // After a failed start-up, what to do: for a port held elsewhere, who
    // holds it; else the ports found and how to choose one.
    void appendHint(PortError error);
    // "Com1"/"Com2": the device each is bound to, and whether it is open.
    void updateToolTips();

private:
    void askForDevice(int index);

    std::shared_ptr<krt::PortBindings> ports_;
    RDData* window_;
};
