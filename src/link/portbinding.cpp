#include "link/portbinding.h"
#include "link/linesettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStringList>

#include <map>

namespace krt {
namespace {

std::function<QList<DetectedPort>()>& lister() {
    static std::function<QList<DetectedPort>()> instance;
    return instance;
}

QString& byIdFolderName() {
    static QString folder = QStringLiteral("/dev/serial/by-id");
    return folder;
}

std::map<int, QString>& optionBindings() {
    static std::map<int, QString> options;
    return options;
}

QString settingsKey(int port) {
    return QStringLiteral("ports/com%1").arg(port);
}

// Stable name -> node, for every link in the by-id folder.
QList<QPair<QString, QString>> stableNames() {
    QList<QPair<QString, QString>> names;
    const QFileInfoList links =
        QDir(byIdFolderName()).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& link : links) {
        if (link.isSymLink()) names.append({link.absoluteFilePath(), link.canonicalFilePath()});
    }
    return names;
}

QList<DetectedPort> systemPorts() {
    const auto names = stableNames();
    QList<DetectedPort> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        DetectedPort port;
        port.path = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        const QString node = QFileInfo(port.path).canonicalFilePath();
        for (const auto& [stable, target] : names) {
            if (!node.isEmpty() && target == node) {
                port.byId = stable;
                break;
            }
        }
        ports.append(port);
    }
    return ports;
}

} // namespace

QList<DetectedPort> detectedPorts() {
    return lister() ? lister()() : systemPorts();
}

void setPortLister(std::function<QList<DetectedPort>()> function) {
    lister() = std::move(function);
}

void setByIdFolder(const QString& folder) {
    byIdFolderName() = folder;
}
QString byIdFolder() {
    return byIdFolderName();
}

QString platformDefault(int port) {
    if (port < 1 || port > 16) return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

Binding chooseBinding(int port, const QString& option, const QByteArray& environment,
                      const QString& saved) {
    if (!option.isEmpty()) return {option, BindingSource::Option};
    if (!environment.isEmpty()) return {QFile::decodeName(environment), BindingSource::Environment};
    if (!saved.isEmpty()) return {saved, BindingSource::Saved};
    return {platformDefault(port), BindingSource::Default};
}

QByteArray environmentName(int port) {
    return QByteArray(krt::line::PortEnvironmentPrefix) + QByteArray::number(port);
}

Binding currentBinding(int port) {
    if (port < 1 || port > 16) return {};
    const auto option = optionBindings().find(port);
    return chooseBinding(port, option == optionBindings().end() ? QString() : option->second,
                         qgetenv(environmentName(port).constData()), savedBinding(port));
}

void setOptionBinding(int port, const QString& device) {
    if (device.isEmpty())
        optionBindings().erase(port);
    else
        optionBindings()[port] = device;
}

QString savedBinding(int port) {
    QSettings settings;
    // A settings file that cannot be read, or holds garbage, binds nothing.
    if (settings.status() != QSettings::NoError) return QString();
    const QVariant value = settings.value(settingsKey(port));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void saveBinding(int port, const QString& device) {
    QSettings settings;
    settings.setValue(settingsKey(port), stableNameFor(device, detectedPorts()));
}

QString deviceToOpen(const QString& bound) {
    const QFileInfo info(bound);
    if (info.isSymLink()) {
        const QString node = info.canonicalFilePath();
        if (!node.isEmpty()) return node;
    }
    return bound;
}

QString stableNameFor(const QString& path, const QList<DetectedPort>& ports) {
    for (const DetectedPort& port : ports) {
        if (port.path == path && !port.byId.isEmpty()) return port.byId;
    }
    return path;
}

namespace {
QString sameNode(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
} // namespace

QString boundPortsOf(const QString& path) {
    QStringList ports;
    for (int port : {1, 2}) {
        if (sameNode(deviceToOpen(currentBinding(port).device)) == sameNode(path))
            ports << QStringLiteral("COM%1").arg(port);
    }
    return ports.join(QLatin1Char(' '));
}

QString describePorts(const QList<DetectedPort>& ports) {
    QString text;
    for (const DetectedPort& port : ports) {
        text += QStringList{port.path,         port.byId,         port.description,
                            port.manufacturer, port.serialNumber, boundPortsOf(port.path)}
                    .join(QLatin1Char('\t')) +
                QLatin1Char('\n');
    }
    return text;
}

} // namespace krt
