#include "tests/plugins/scripted/ScriptedNetworkFamily.h"

#include "tests/plugins/scripted/ScriptedLog.h"
#include "tests/plugins/scripted/ScriptedNetworkDevice.h"

namespace {

// Types arrive as the engine reports them ("_x._tcp.") and as families name them ("_x._tcp").
QString withoutTrailingDot(QString name)
{
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

// One line a test can match: name, type, domain, address, then the TXT pairs in key order.
QString described(const BonjourInfo& info)
{
    QString text = QStringLiteral("\"%1\" %2 %3 %4:%5")
                       .arg(QString::fromStdString(info.name), QString::fromStdString(info.type),
                            QString::fromStdString(info.domain), QString::fromStdString(info.host))
                       .arg(info.port);
    for (const auto& pair : info.txt)
        text += QLatin1Char(' ') + QString::fromStdString(pair.first + "=" + pair.second);
    return text;
}

} // namespace

QString ScriptedNetworkFamily::serviceTypeFromEnvironment()
{
    return withoutTrailingDot(qEnvironmentVariable("TWG_SCRIPTED_SERVICE_TYPE").trimmed());
}

ScriptedNetworkFamily::ScriptedNetworkFamily(QWidget* hostWindow, const QString& serviceType)
    : Family(hostWindow), serviceType_(serviceType)
{
}

ScriptedNetworkFamily::~ScriptedNetworkFamily()
{
    qDeleteAll(devices_);
}

bool ScriptedNetworkFamily::isOwnType(const BonjourInfo& info) const
{
    // DNS names compare without regard to case.
    return withoutTrailingDot(QString::fromStdString(info.type)).compare(serviceType_, Qt::CaseInsensitive) == 0;
}

ScriptedNetworkDevice* ScriptedNetworkFamily::deviceFor(const BonjourInfo& info) const
{
    for (ScriptedNetworkDevice* device : devices_) {
        if (device->info().name == info.name && device->info().domain == info.domain)
            return device;
    }
    return nullptr;
}

bool ScriptedNetworkFamily::onBonjourDeviceAdded(const BonjourInfo& info)
{
    if (!isOwnType(info))
        return false;
    if (deviceFor(info))
        return onBonjourDeviceUpdated(info);
    qCInfo(lcScripted).noquote() << "Network device arrived:" << described(info);
    auto* device = new ScriptedNetworkDevice(this, info);
    devices_.append(device);
    emit deviceArrived(device);
    return true;
}

bool ScriptedNetworkFamily::onBonjourDeviceUpdated(const BonjourInfo& info)
{
    ScriptedNetworkDevice* device = isOwnType(info) ? deviceFor(info) : nullptr;
    if (!device)
        return false;
    qCInfo(lcScripted).noquote() << "Network device updated:" << described(info);
    device->setInfo(info);
    emit deviceInfoChanged(device);
    return true;
}

bool ScriptedNetworkFamily::onBonjourDeviceRemoved(const BonjourInfo& info)
{
    ScriptedNetworkDevice* device = isOwnType(info) ? deviceFor(info) : nullptr;
    if (!device)
        return false;
    qCInfo(lcScripted).noquote() << "Network device removed:" << described(info);
    devices_.removeOne(device);
    emit deviceRemoved(device);
    delete device;
    return true;
}

bool ScriptedNetworkFamily::onBonjourDeviceResolved(const BonjourInfo& info, bool success, QString hostName,
                                                    QString ipAddress, int port)
{
    if (!isOwnType(info))
        return false;
    qCInfo(lcScripted).noquote() << "Network device resolved:" << QString::fromStdString(info.name)
                                 << (success ? "found" : "not found") << hostName << ipAddress << port;
    return true;
}
