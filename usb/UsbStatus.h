#pragma once

#include <cstdint>

namespace TWG {
namespace USB {

// The library's result code for a USB status the driver reported after a failed transfer.
std::uint32_t resultForUsbStatus(std::int32_t status);

} // namespace USB
} // namespace TWG
