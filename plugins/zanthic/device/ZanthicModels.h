#pragma once

#include "plugins/zanthic/device/ModelInfo.h"

#include <QString>

#include <cstdint>

namespace TWG {
namespace Zanthic {

// The family word: the resource prefix of the product images.
constexpr const char kFamilyWord[] = "ZanthicConverters";
constexpr const char kReleaseVersion[] = "7.6";
constexpr const char kReleaseCandidateTag[] = "a44";

// The eight models, built on first use: call it only once the firmware folder is set, since
// the XMEGA rows read their versions from the packages then.
const ModelTable& modelTable();

// Lower-case hexadecimal, 8 digits.
QString formatHex8(std::uint32_t number);
// "fpga:%08x xmega:%08x" of the two numbers the product's package holds.
QString formatFirmwareVersion(std::uint16_t productId);

} // namespace Zanthic
} // namespace TWG
