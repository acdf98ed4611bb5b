#pragma once

#include <QMetaType>

#include <cstdint>
#include <string>

namespace TWG {

// One browse result: a service instance as the engine named it.
struct BonjourDevice {
    std::string name;
    std::string type;   // with its trailing dot, "_tarnwright._tcp."
    std::string domain; // "local."
    std::int32_t interfaceIndex = 0;

    bool operator==(const BonjourDevice& other) const
    {
        return name == other.name && type == other.type && domain == other.domain
               && interfaceIndex == other.interfaceIndex;
    }
    bool operator!=(const BonjourDevice& other) const { return !(*this == other); }
};

} // namespace TWG

Q_DECLARE_METATYPE(TWG::BonjourDevice)
