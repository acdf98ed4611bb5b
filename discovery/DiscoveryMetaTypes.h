#pragma once

#include <QMetaType>

#include <string>

namespace TWG {

// Registers every type that crosses threads by name in the discovery's queued calls.
void registerDiscoveryMetaTypes();

} // namespace TWG

Q_DECLARE_METATYPE(std::string)
