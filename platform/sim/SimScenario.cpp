#include "platform/sim/SimScenario.h"

#include "platform/backend/BackendLog.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimModelRegistry.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace platform {

namespace {
std::shared_ptr<SimDevice> deviceFromJson(const QJsonObject& entry, QString* error)
{
    if (entry.contains(QLatin1String("model"))) {
        const std::string model = entry.value(QLatin1String("model")).toString().toStdString();
        SimModelFactory factory = SimModelRegistry::find(model);
        if (!factory) {
            *error = QStringLiteral("unknown model \"%1\"").arg(QString::fromStdString(model));
            return nullptr;
        }
        std::shared_ptr<SimDevice> device = factory(entry, error);
        if (!device && error->isEmpty())
            *error = QStringLiteral("model \"%1\" refused its entry").arg(QString::fromStdString(model));
        return device;
    }
    SimDescriptors descriptors;
    if (!simDescriptorsFromJson(entry, &descriptors, error))
        return nullptr;
    return std::make_shared<SimDevice>(std::move(descriptors));
}
} // namespace

bool loadSimScenario(const QByteArray& json, SimBackend& bus, QString* error)
{
    QString ignored;
    QString& message = error ? *error : ignored;
    message.clear();
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        message = parse.errorString();
        return false;
    }
    const QJsonValue devices = document.object().value(QLatin1String("devices"));
    if (!document.isObject() || !devices.isArray()) {
        message = QStringLiteral("a scenario is an object with a \"devices\" list");
        return false;
    }
    int index = 0;
    for (const QJsonValue& v : devices.toArray()) {
        std::shared_ptr<SimDevice> device = v.isObject() ? deviceFromJson(v.toObject(), &message) : nullptr;
        if (!device) {
            message = QStringLiteral("device %1: %2").arg(index).arg(message.isEmpty() ? QStringLiteral("not an object") : message);
            return false;
        }
        bus.attach(std::move(device));
        ++index;
    }
    return true;
}

std::unique_ptr<UsbBackend> loadSimScenarioFile(const std::string& path)
{
    auto bus = std::make_unique<SimBackend>();
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcUsbBackend, "cannot read the simulation scenario %s: %s", path.c_str(),
                  qPrintable(file.errorString()));
        return bus;
    }
    QString error;
    if (!loadSimScenario(file.readAll(), *bus, &error))
        qCWarning(lcUsbBackend, "simulation scenario %s: %s", path.c_str(), qPrintable(error));
    return bus;
}

} // namespace platform
