#include "tests/plugins/scripted/ScriptedScenario.h"

#include "tests/plugins/scripted/ScriptedLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

ScriptedDeviceSpec device(const QString& name, const QString& displayName)
{
    ScriptedDeviceSpec spec;
    spec.name = name;
    spec.displayName = displayName;
    spec.softwareVersion = QStringLiteral("1.4");
    spec.availableVersion = QStringLiteral("1.4");
    return spec;
}

QVector<ScriptedDeviceSpec> fromJson(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcScripted) << "Cannot read scenario" << path;
        return {};
    }
    QVector<ScriptedDeviceSpec> devices;
    const QJsonArray list = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("devices")).toArray();
    for (const QJsonValue& value : list) {
        const QJsonObject o = value.toObject();
        ScriptedDeviceSpec spec = device(o.value(QStringLiteral("name")).toString(QStringLiteral("Scripted Device")),
                                         o.value(QStringLiteral("displayName")).toString());
        spec.softwareVersion = o.value(QStringLiteral("version")).toString(spec.softwareVersion);
        spec.availableVersion = o.value(QStringLiteral("availableVersion")).toString(spec.softwareVersion);
        spec.firmwareCurrent = o.value(QStringLiteral("firmwareCurrent")).toBool(true);
        spec.showsSoftwareStatus = o.value(QStringLiteral("softwareStatus")).toBool(false);
        spec.updateSucceeds = o.value(QStringLiteral("updateSucceeds")).toBool(true);
        spec.updateSteps = qBound(1, o.value(QStringLiteral("updateSteps")).toInt(spec.updateSteps), 1000);
        spec.updateStepMs = qBound(0, o.value(QStringLiteral("updateStepMs")).toInt(spec.updateStepMs), 10000);
        spec.unplugAfterMs = qMin(o.value(QStringLiteral("unplugAfterMs")).toInt(spec.unplugAfterMs), 600000);
        devices.append(spec);
    }
    return devices;
}

} // namespace

QVector<ScriptedDeviceSpec> scriptedScenario(const QString& scenario)
{
    if (scenario == QLatin1String("none"))
        return {};
    if (scenario.isEmpty() || scenario == QLatin1String("one"))
        return {device(QStringLiteral("Scripted Mini Converter SDI to HDMI 12G"), QStringLiteral("SDI to HDMI 12G"))};
    if (scenario == QLatin1String("three"))
        return {device(QStringLiteral("Scripted Mini Converter SDI to HDMI 12G"), QStringLiteral("SDI to HDMI 12G")),
                device(QStringLiteral("Scripted Mini Converter HDMI to SDI"), QStringLiteral("HDMI to SDI")),
                device(QStringLiteral("Scripted Optical Fiber 12G"), QStringLiteral("Optical Fiber 12G"))};
    if (scenario == QLatin1String("update")) {
        ScriptedDeviceSpec spec = device(QStringLiteral("Scripted Mini Converter Analog to SDI"),
                                         QStringLiteral("Analog to SDI"));
        spec.softwareVersion = QStringLiteral("1.2");
        spec.availableVersion = QStringLiteral("1.4");
        spec.firmwareCurrent = false;
        spec.showsSoftwareStatus = true;
        return {spec};
    }
    return fromJson(scenario);
}

QVector<ScriptedDeviceSpec> scriptedScenarioFromEnvironment()
{
    return scriptedScenario(qEnvironmentVariable("TWG_SCRIPTED_DEVICES"));
}
