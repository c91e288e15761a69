// Choosing the device behind "Com1" and "Com2": a right click (or the
// context-menu key) on either option button lists the ports present.

#include "datawindow/colours.h"
#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"
#include "link/portbinding.h"
#include "link/serialportcomponent.h"
#include "link/shownname.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace {
// Longer than any path the system takes; control characters never name a
// device the operator means.
const QRegularExpression kTypedDevice(QStringLiteral("[^\\x00-\\x1f\\x7f]{1,4095}"));

QString entryText(const krt::DetectedPort& port) {
    QString text = krt::shownName(port.path);
    if (!port.description.isEmpty())
        text += QStringLiteral("  (") + port.description + QLatin1Char(')');
    return text;
}
} // namespace

void RDData::installPortMenus() {
    for (int index = 0; index < int(Option1.size()); ++index) {
        Option1[index]->setContextMenuPolicy(Qt::CustomContextMenu);
        // The tip is written when it is about to show, so it is never stale.
        Option1[index]->installEventFilter(this);
        connect(Option1[index], &QWidget::customContextMenuRequested, this,
                [this, index](const QPoint& at) {
                    Option1_ContextMenu(index, Option1[index]->mapToGlobal(at));
                });
    }
}

void RDData::Option1_ContextMenu(int index, const QPoint& globalPosition) {
    const int port = index + 1;
    const QString bound = krt::currentBinding(port).device;
    const QString boundNode = krt::deviceToOpen(bound);

    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto* group = new QActionGroup(menu);
    const QList<krt::DetectedPort> ports = krt::detectedPorts();
    for (const krt::DetectedPort& found : ports) {
        QAction* action = menu->addAction(entryText(found));
        action->setCheckable(true);
        action->setChecked(found.path == boundNode ||
                           (!found.byId.isEmpty() && found.byId == bound));
        group->addAction(action);
        const QString path = found.path;
        connect(action, &QAction::triggered, this,
                [this, index, path] { choosePortDevice(index, path); });
    }
    if (ports.isEmpty()) menu->addAction(QStringLiteral("No serial port found"))->setEnabled(false);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Other device...")), &QAction::triggered, this,
            [this, index] { askForPortDevice(index); });
    const QString fallback = krt::platformDefault(port);
    connect(menu->addAction(QStringLiteral("Default (") + fallback + QLatin1Char(')')),
            &QAction::triggered, this, [this, index] { choosePortDevice(index, QString()); });
    menu->popup(globalPosition);
}

void RDData::askForPortDevice(int index) {
    // Not exec(): the window may close while the question is open.
    auto* dialog = new QInputDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Other device"));
    dialog->setLabelText(QStringLiteral("Device for COM%1:").arg(index + 1));
    dialog->setTextValue(krt::currentBinding(index + 1).device);
    if (auto* edit = dialog->findChild<QLineEdit*>())
        edit->setValidator(new QRegularExpressionValidator(kTypedDevice, edit));
    connect(dialog, &QInputDialog::textValueSelected, this, [this, index](const QString& device) {
        if (kTypedDevice.match(device).hasMatch()) choosePortDevice(index, device);
    });
    dialog->open();
}

void RDData::choosePortDevice(int index, const QString& device) {
    // An empty device gives the port back to the platform's default.
    krt::saveBinding(index + 1, device);
    // Turning the button on chooses the port; one already on is clicked again.
    if (Option1[index]->isChecked())
        Option1_Click(index);
    else
        Option1[index]->setChecked(true);
}

void RDData::appendPortHint() {
    const QList<krt::DetectedPort> ports = krt::detectedPorts();
    QString line;
    if (ports.isEmpty()) {
        line = krt::currentBinding(1).source == krt::BindingSource::Default
                   ? QStringLiteral("No serial port was found and none is chosen for COM1. ")
                   : QStringLiteral("No serial port was found. ");
        line += QStringLiteral("Plug the adapter in, then right click on \"Com1\" to choose it.");
    } else {
        QStringList names;
        for (const krt::DetectedPort& port : ports)
            names << entryText(port);
        line = QStringLiteral("Serial ports found: ") + names.join(QStringLiteral(", ")) +
               QStringLiteral(". Right click on \"Com1\" to choose one.");
    }
    const int inForce = Text1->selColor();
    append(line + QStringLiteral("\r\n"), colour::Black);
    Text1->setSelColor(inForce);
}

void RDData::updatePortToolTips() {
    for (int index = 0; index < int(Option1.size()); ++index) {
        const int port = index + 1;
        const QString bound = krt::currentBinding(port).device;
        const QString node = krt::deviceToOpen(bound);
        QString tip = QStringLiteral("COM%1: ").arg(port) + krt::shownName(bound);
        if (node != bound) tip += QStringLiteral(" (") + krt::shownName(node) + QLatin1Char(')');
        const bool open = MSComm1->portOpen() && MSComm1->commPort() == port;
        tip += open ? QStringLiteral(", open") : QStringLiteral(", not open");
        Option1[size_t(index)]->setToolTip(tip);
    }
}
