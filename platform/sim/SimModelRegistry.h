#pragma once

#include "platform/Export.h"
#include "platform/sim/SimDevice.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Builds a device model from its scenario entry; null with *error for a bad entry.
using SimModelFactory = std::function<std::shared_ptr<SimDevice>(const QJsonObject& entry, QString* error)>;

// Device models register under the name a scenario's "model" field gives. Models register from
// a static object in their own source file:
//   const bool registered = SimModelRegistry::add("name", [](const QJsonObject& e, QString* err) {...});
class TWG_PLATFORM_API SimModelRegistry {
public:
    // False when the name is taken.
    static bool add(const std::string& name, SimModelFactory factory);
    static SimModelFactory find(const std::string& name);
    static std::vector<std::string> names();
};

// Scenario helpers for models: a number given as JSON number or "0x"/decimal string, within
// [0, max]; and the generic device fields ("vendor", "product", "release", "serial",
// "manufacturer", "productName", "class", "subclass", "protocol", "maxPacket0",
// "interfaces" with "class", "subclass", "protocol", "number", "endpoints" with "address",
// "type" ("bulk", "interrupt"), "maxPacket", "interval"), over the defaults in *out.
TWG_PLATFORM_API bool simNumber(const QJsonValue& value, unsigned max, unsigned* out);
// A number field of a scenario entry read with simNumber: an absent key leaves *out as it is; a
// bad value is false with *error = prefix + "bad \"key\"" (prefix: the model's, "stm32: ").
TWG_PLATFORM_API bool simNumberField(const QJsonObject& entry, const char* key, unsigned max, unsigned* out,
                                     QString* error, const char* prefix = "");
TWG_PLATFORM_API bool simDescriptorsFromJson(const QJsonObject& entry, SimDescriptors* out, QString* error);

} // namespace platform
