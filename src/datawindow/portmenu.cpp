#include "datawindow/portmenu.h"

#include "datawindow/rddata.h"
#include "datawindow/wrappedlines.h"
#include "link/portbinding.h"
#include "link/serialportcomponent.h"
#include "link/shownname.h"
#include "logview/colours.h"
#include "logview/richtextfield.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <utility>

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

PortMenu::PortMenu(std::shared_ptr<krt::PortBindings> ports, RDData* window)
    : QObject(window), ports_(std::move(ports)), window_(window) {
    for (int index = 0; index < int(window->Option1.size()); ++index) {
        QRadioButton* option = window->Option1[size_t(index)];
        option->setContextMenuPolicy(Qt::CustomContextMenu);
        // The tip is written when it is about to show (the window's event
        // filter asks for it), so it is never stale.
        option->installEventFilter(window);
        connect(option, &QWidget::customContextMenuRequested, window,
                [window, option, index](const QPoint& at) {
                    window->Option1_ContextMenu(index, option->mapToGlobal(at));
                });
    }
}

void PortMenu::popup(int index, const QPoint& globalPosition) {
    const int port = index + 1;
    const krt::Binding binding = ports_->binding(port);
    const QString bound = binding.device;
    const QString boundNode = krt::deviceToOpen(bound);
    const QList<krt::DetectedPort> ports = krt::detectedPorts();
    const auto isBound = [&](const krt::DetectedPort& found) {
        return found.path == boundNode || (!found.byId.isEmpty() && found.byId == bound);
    };
    const bool boundIsListed = std::any_of(ports.begin(), ports.end(), isBound);
    // The binding in force comes first when the list would not show it, or
    // when an option or a variable made it: the operator sees where it came
    // from before choosing another.
    const bool fromOutside = binding.source == krt::BindingSource::Option ||
                             binding.source == krt::BindingSource::Environment;
    const bool boundFirst =
        fromOutside || (!boundIsListed && binding.source != krt::BindingSource::Default);

    auto* menu = new QMenu(window_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto* group = new QActionGroup(menu);
    const auto addChoice = [&](const QString& text, bool ticked, const QString& device) {
        QAction* action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(ticked);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, index, device] { choose(index, device); });
    };
    if (boundFirst)
        addChoice(krt::shownName(bound) + QStringLiteral("  (") +
                      krt::sourceText(port, binding.source) + QLatin1Char(')'),
                  true, bound);
    for (const krt::DetectedPort& found : ports)
        addChoice(entryText(found), !boundFirst && isBound(found), found.path);
    if (ports.isEmpty()) menu->addAction(QStringLiteral("No serial port found"))->setEnabled(false);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Other device...")), &QAction::triggered, this,
            [this, index] { askForDevice(index); });
    const QString fallback = krt::platformDefault(port);
    addChoice(QStringLiteral("Default (") + fallback + QLatin1Char(')'),
              !boundFirst && !boundIsListed, QString());
    menu->popup(globalPosition);
}

void PortMenu::askForDevice(int index) {
    // Not exec(): the window may close while the question is open.
    auto* dialog = new QInputDialog(window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Other device"));
    dialog->setLabelText(QStringLiteral("Device for COM%1:").arg(index + 1));
    dialog->setTextValue(ports_->binding(index + 1).device);
    if (auto* edit = dialog->findChild<QLineEdit*>())
        edit->setValidator(new QRegularExpressionValidator(kTypedDevice, edit));
    connect(dialog, &QInputDialog::textValueSelected, this, [this, index](const QString& device) {
        if (kTypedDevice.match(device).hasMatch()) choose(index, device);
    });
    dialog->open();
}

void PortMenu::choose(int index, const QString& device) {
    const int port = index + 1;
    // The choice binds for the rest of this run, whatever an option or a
    // variable says, and whether or not it can be kept for the next start.
    // An empty device gives the port back to the platform's default.
    ports_->choose(port, device.isEmpty() ? krt::platformDefault(port) : device);
    const QString failure = krt::saveBinding(port, device);
    if (!failure.isEmpty())
        window_->appendActionLine(
            QStringLiteral("COM%1 stays on %2 for this run only: the choice cannot "
                           "be remembered (%3).\r\n")
                .arg(QString::number(port), krt::shownName(ports_->binding(port).device), failure));
    // Turning the button on chooses the port; one already on is clicked again.
    QRadioButton* option = window_->Option1[size_t(index)];
    if (option->isChecked())
        window_->Option1_Click(index);
    else
        option->setChecked(true);
}

void PortMenu::appendHint(PortError error) {
    QString line;
    if (error == PortError::PermissionDenied) {
        return; // the error's own text says what to do
    } else if (error == PortError::AlreadyOpen) {
        // Another port would not help: the device is there, but taken.
        const QString holder = window_->MSComm1->lockHolder();
        line = (holder.isEmpty() ? QStringLiteral("Another program holds the port")
                                 : QStringLiteral("The port is held by ") + holder) +
               QStringLiteral(". Close it, then click \"Com1\".");
    } else {
        const QList<krt::DetectedPort> ports = krt::detectedPorts();
        if (ports.isEmpty()) {
            line = ports_->binding(1).source == krt::BindingSource::Default
                       ? QStringLiteral("No serial port was found and none is chosen for COM1. ")
                       : QStringLiteral("No serial port was found. ");
            line +=
                QStringLiteral("Plug the adapter in, then right click on \"Com1\" to choose it.");
        } else {
            QStringList names;
            for (const krt::DetectedPort& port : ports)
                names << entryText(port);
            line = QStringLiteral("Serial ports found: ") + names.join(QStringLiteral(", ")) +
                   QStringLiteral(". Right click on \"Com1\" to choose one.");
        }
    }
    window_->appendActionLine(wrappedLines(line, kHintColumns));
}

void PortMenu::updateToolTips() {
    const SerialPortComponent* comm = window_->MSComm1;
    for (int index = 0; index < int(window_->Option1.size()); ++index) {
        const int port = index + 1;
        const QString bound = ports_->binding(port).device;
        const QString node = krt::deviceToOpen(bound);
        QString tip = QStringLiteral("COM%1: ").arg(port) + krt::shownName(bound);
        if (node != bound) tip += QStringLiteral(" (") + krt::shownName(node) + QLatin1Char(')');
        const bool open = comm->portOpen() && comm->commPort() == port;
        tip += open ? QStringLiteral(", open") : QStringLiteral(", not open");
        window_->Option1[size_t(index)]->setToolTip(tip);
    }
}

void RDData::Option1_ContextMenu(int index, const QPoint& globalPosition) {
    portMenu_->popup(index, globalPosition);
}
