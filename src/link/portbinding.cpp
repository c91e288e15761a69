#include "link/portbinding.h"

#include "link/linesettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStringList>

#include <cerrno>
#include <cstring>
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

// Why a file cannot be written in place or replaced (as QSettings does it,
// through a new file beside it).
QString whyNotWritable(const QString& path) {
    if (QFileInfo(path).isDir()) return QString::fromLocal8Bit(std::strerror(EISDIR));
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
    probe.cancelWriting();
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return file.errorString();
    return QStringLiteral("the settings could not be written");
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

Binding chooseBinding(int port, const QString& chosen, const QByteArray& option,
                      const QByteArray& environment, const QString& saved) {
    if (!chosen.isEmpty()) return {chosen, BindingSource::Chosen, {}};
    if (!option.isEmpty()) return {QFile::decodeName(option), BindingSource::Option, option};
    if (!environment.isEmpty())
        return {QFile::decodeName(environment), BindingSource::Environment, environment};
    if (!saved.isEmpty()) return {saved, BindingSource::Saved, {}};
    return {platformDefault(port), BindingSource::Default, {}};
}

QString sourceText(int port, BindingSource source) {
    switch (source) {
    case BindingSource::Chosen:
        return QStringLiteral("chosen");
    case BindingSource::Option:
        return QStringLiteral("from --com%1").arg(port);
    case BindingSource::Environment:
        return QStringLiteral("from ") + QString::fromLatin1(environmentName(port));
    case BindingSource::Saved:
        return QStringLiteral("saved");
    case BindingSource::Default:
        break;
    }
    return QStringLiteral("default");
}

QByteArray environmentName(int port) {
    return QByteArray(krt::line::PortEnvironmentPrefix) + QByteArray::number(port);
}

QByteArray PortSources::option(int port) const {
    const auto found = options.find(port);
    return found == options.end() ? QByteArray() : found->second;
}

QByteArray PortSources::environmentValue(int port) const {
    if (!environment) return qgetenv(environmentName(port).constData());
    const auto found = environment->find(port);
    return found == environment->end() ? QByteArray() : found->second;
}

std::map<int, QByteArray> PortSources::readEnvironment() {
    std::map<int, QByteArray> values;
    for (int port = 1; port <= 16; ++port) {
        const QByteArray value = qgetenv(environmentName(port).constData());
        if (!value.isEmpty()) values[port] = value;
    }
    return values;
}

QString PortSources::savedValue(int port) const {
    if (!saved) return savedBinding(port);
    const auto found = saved->find(port);
    return found == saved->end() ? QString() : found->second;
}

std::map<int, QString> PortSources::readSaved() {
    std::map<int, QString> values;
    for (int port = 1; port <= 16; ++port) {
        const QString value = savedBinding(port);
        if (!value.isEmpty()) values[port] = value;
    }
    return values;
}

PortBindings::PortBindings(PortSources sources) : sources_(std::move(sources)) {}

Binding PortBindings::binding(int port) const {
    if (port < 1 || port > 16) return {};
    const auto chosen = chosen_.find(port);
    return chooseBinding(port, chosen == chosen_.end() ? QString() : chosen->second,
                         sources_.option(port), sources_.environmentValue(port),
                         sources_.savedValue(port));
}

void PortBindings::choose(int port, const QString& device) {
    if (device.isEmpty())
        chosen_.erase(port);
    else
        chosen_[port] = device;
}

QByteArray PortBindings::systemPath(int port) const {
    const Binding bound = binding(port);
    // An option's or variable's bytes go to the system as they are, even
    // where they are no text.
    const QByteArray& raw = bound.systemName;
    if (!raw.isEmpty() && QFile::encodeName(QFile::decodeName(raw)) != raw) return raw;
    return QFile::encodeName(deviceToOpen(bound.device));
}

QString savedBinding(int port) {
    QSettings settings;
    // A settings file that cannot be read, or holds garbage, binds nothing.
    if (settings.status() != QSettings::NoError) return QString();
    const QVariant value = settings.value(settingsKey(port));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString saveBinding(int port, const QString& device) {
    QSettings settings;
    settings.setValue(settingsKey(port), stableNameFor(device, detectedPorts()));
    settings.sync();
    if (settings.status() == QSettings::NoError) return QString();
    // QSettings tells only that it failed; the system tells why.
    return QDir::toNativeSeparators(settings.fileName()) + QStringLiteral(": ") +
           whyNotWritable(settings.fileName());
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

QString PortBindings::boundPortsOf(const QString& path) const {
    QStringList ports;
    for (int port : {1, 2}) {
        if (sameNode(deviceToOpen(binding(port).device)) == sameNode(path))
            ports << QStringLiteral("COM%1").arg(port);
    }
    return ports.join(QLatin1Char(' '));
}

QString PortBindings::describe(const QList<DetectedPort>& ports) const {
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
