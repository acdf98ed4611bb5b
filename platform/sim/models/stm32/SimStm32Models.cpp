// Scenario model "stm32-app": a simulated STM32 Zanthic converter running its application.
//   {"model": "stm32-app", "product": "0xBE77", "release": "0x0100", "serial": "5A4E0001ABCD",
//    "bootMode": 1, "controlInterface": true, "answersIdentity": true, "functionalLength": 10,
//    "properties": {"DeviceName": "Studio A", "LutSelection": 2}, "lutPieceMs": 0}
// A property given as a string is its text; as a number, one byte. "lutPieceMs" is the time
// each piece of a LUT upload takes the device.
// "stm32-boot" is the same converter starting in its DFU bootloader. DFU knobs of both:
//   "dfu": {"transferSize": 2048, "pollTimeout": 5, "attributes": "0x0D", "detachTimeout": 1000,
//           "runtimeInterface": true, "rebootAtFinalDnload": false, "errorAfterBlock": 3,
//           "busyForever": false, "neverBack": false, "waitResetAfterManifest": false,
//           "errorState": 5, "errorAt": 1, "errorStatus": "0x03"}
// "attributes" (bmAttributes) chooses the DFU 1.1 variant: 0x08 willDetach, 0x04
// manifestationTolerant.
#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/models/stm32/SimStm32Application.h"

namespace platform {

namespace {

// Below the host's time-out for one request.
constexpr unsigned kMaxLutPieceMs = 5000;

// The prefix of this model's scenario errors.
constexpr char kErrorPrefix[] = "stm32: ";

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

bool readDfu(const QJsonObject& e, SimStm32Dfu& d, QString* error)
{
    const QJsonValue v = e.value(QLatin1String("dfu"));
    if (v.isUndefined())
        return true;
    if (!v.isObject()) {
        *error = QStringLiteral("stm32: bad \"dfu\"");
        return false;
    }
    const QJsonObject o = v.toObject();
    unsigned size = d.transferSize, poll = d.pollTimeoutMs, attributes = d.attributes, detach = d.detachTimeoutMs,
             errorBlock = 0, errorState = 0, errorAt = static_cast<unsigned>(d.errorAt), errorStatus = d.errorStatus;
    if (!simNumberField(o, "transferSize", 0xFFFF, &size, error, kErrorPrefix) ||
        !simNumberField(o, "pollTimeout", 0xFFFFFF, &poll, error, kErrorPrefix) ||
        !simNumberField(o, "attributes", 0xFF, &attributes, error, kErrorPrefix) ||
        !simNumberField(o, "detachTimeout", 0xFFFF, &detach, error, kErrorPrefix) ||
        !simNumberField(o, "errorAt", 0xFFFF, &errorAt, error, kErrorPrefix) ||
        !simNumberField(o, "errorStatus", 0xFF, &errorStatus, error, kErrorPrefix))
        return false;
    if (o.contains(QLatin1String("errorState"))) {
        if (!simNumberField(o, "errorState", 0xFF, &errorState, error, kErrorPrefix))
            return false;
        d.errorState = static_cast<int>(errorState);
    }
    d.errorAt = static_cast<int>(errorAt);
    d.errorStatus = static_cast<std::uint8_t>(errorStatus);
    if (o.contains(QLatin1String("errorAfterBlock"))) {
        if (!simNumberField(o, "errorAfterBlock", 0xFFFF, &errorBlock, error, kErrorPrefix))
            return false;
        d.errorAfterBlock = static_cast<int>(errorBlock);
    }
    d.transferSize = static_cast<std::uint16_t>(size);
    d.pollTimeoutMs = poll;
    d.attributes = static_cast<std::uint8_t>(attributes);
    d.detachTimeoutMs = static_cast<std::uint16_t>(detach);
    d.runtimeInterface = o.value(QLatin1String("runtimeInterface")).toBool(d.runtimeInterface);
    d.rebootAtFinalDnload = o.value(QLatin1String("rebootAtFinalDnload")).toBool(false);
    d.busyForever = o.value(QLatin1String("busyForever")).toBool(false);
    d.neverBack = o.value(QLatin1String("neverBack")).toBool(false);
    d.waitResetAfterManifest = o.value(QLatin1String("waitResetAfterManifest")).toBool(false);
    return true;
}

std::shared_ptr<SimDevice> build(const QJsonObject& e, QString* error, bool bootloader)
{
    auto s = std::make_shared<SimStm32State>();
    unsigned product = s->productId, release = s->release, bootMode = s->bootMode, length = s->functionalLength,
             lutPiece = 0;
    if (!simNumberField(e, "product", 0xFFFF, &product, error, kErrorPrefix) ||
        !simNumberField(e, "release", 0xFFFF, &release, error, kErrorPrefix) ||
        !simNumberField(e, "bootMode", 0xFF, &bootMode, error, kErrorPrefix) ||
        !simNumberField(e, "functionalLength", 0xFF, &length, error, kErrorPrefix) ||
        !simNumberField(e, "lutPieceMs", kMaxLutPieceMs, &lutPiece, error, kErrorPrefix) ||
        !readProperties(e, *s, error) || !readDfu(e, s->dfu, error))
        return nullptr;
    s->productId = static_cast<std::uint16_t>(product);
    s->release = static_cast<std::uint16_t>(release);
    s->bootMode = static_cast<std::uint8_t>(bootMode);
    s->functionalLength = static_cast<std::uint8_t>(length);
    s->lutPieceMs = static_cast<int>(lutPiece);
    if (e.contains(QLatin1String("serial")))
        s->serial = e.value(QLatin1String("serial")).toString().toStdString();
    s->controlInterface = e.value(QLatin1String("controlInterface")).toBool(true);
    s->answersIdentity = e.value(QLatin1String("answersIdentity")).toBool(true);
    return SimStm32Application::persona(s, bootloader);
}

const bool registeredApplication =
    SimModelRegistry::add("stm32-app", [](const QJsonObject& e, QString* error) { return build(e, error, false); });
const bool registeredBootloader =
    SimModelRegistry::add("stm32-boot", [](const QJsonObject& e, QString* error) { return build(e, error, true); });

} // namespace

} // namespace platform
