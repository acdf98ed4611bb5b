#pragma once

#include <QMetaType>

#include <cstdint>

namespace TWG {
namespace Zanthic {

enum ConnectionState : std::int32_t { Idle = 0, Connecting = 1, Connected = 2, Interrupted = 3 };

} // namespace Zanthic
} // namespace TWG

Q_DECLARE_METATYPE(TWG::Zanthic::ConnectionState)
