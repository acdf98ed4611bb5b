// Scenario model "stm32-app": a simulated STM32 Zanthic converter running its application.
//   {"model": "stm32-app", "product": "0xBE77", "release": "0x0100", "serial": "5A4E0001ABCD",
//    "bootMode": 1, "controlInterface": true, "answersIdentity": true, "functionalLength": 10,
//    "properties": {"DeviceName": "Studio A", "LutSelection": 2}}
// A property given as a string is its text; as a number, one byte.
#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/models/stm32/SimStm32Application.h"

namespace platform {

namespace {

bool number(const QJsonObject& e, const char* key, unsigned max, unsigned* out, QString* error)
{
    if (!e.contains(QLatin1String(key)))
        return true;
    if (simNumber(e.value(QLatin1String(key)), max, out))
        return true;
    *error = QStringLiteral("stm32: bad \"%1\"").arg(QLatin1String(key));
    return false;
}

bool readProperties(const QJsonObject& e, SimStm32State& s, QString* error)
{
    const QJsonValue v = e.value(QLatin1String("properties"));
    if (v.isUndefined())
        return true;
    if (!v.isObject()) {
        *error = QStringLiteral("stm32: bad \"properties\"");
        return false;
    }
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string key = it.key().toStdString();
        unsigned byte = 0;
        if (it.value().isString())
            s.setText(key, it.value().toString().toStdString());
        else if (simNumber(it.value(), 0xFF, &byte))
            s.properties[key] = {static_cast<std::uint8_t>(byte)};
        else {
            *error = QStringLiteral("stm32: bad property \"%1\"").arg(it.key());
            return false;
        }
    }
    return true;
}

std::shared_ptr<SimDevice> build(const QJsonObject& e, QString* error)
{
    auto s = std::make_shared<SimStm32State>();
    unsigned product = s->productId, release = s->release, bootMode = s->bootMode, length = s->functionalLength;
    if (!number(e, "product", 0xFFFF, &product, error) || !number(e, "release", 0xFFFF, &release, error) ||
        !number(e, "bootMode", 0xFF, &bootMode, error) || !number(e, "functionalLength", 0xFF, &length, error) ||
        !readProperties(e, *s, error))
        return nullptr;
    s->productId = static_cast<std::uint16_t>(product);
    s->release = static_cast<std::uint16_t>(release);
    s->bootMode = static_cast<std::uint8_t>(bootMode);
    s->functionalLength = static_cast<std::uint8_t>(length);
    if (e.contains(QLatin1String("serial")))
        s->serial = e.value(QLatin1String("serial")).toString().toStdString();
    s->controlInterface = e.value(QLatin1String("controlInterface")).toBool(true);
    s->answersIdentity = e.value(QLatin1String("answersIdentity")).toBool(true);
    return std::make_shared<SimStm32Application>(s);
}

const bool registered = SimModelRegistry::add("stm32-app", build);

} // namespace

} // namespace platform
