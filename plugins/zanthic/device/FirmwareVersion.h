#pragma once

#include <QString>

#include <cstdint>
#include <map>

namespace TWG {
namespace Zanthic {

// "fpga:1a xmega:2" as {fpga: 0x1a, xmega: 2}; a later key overwrites an earlier one, and a
// number too long for 32 bits is left out.
std::map<QString, std::uint32_t> parseFirmwareVersion(const QString& text);

// Every key of a is in b with the same number; texts without keys match only when equal.
bool firmwareVersionsMatch(const QString& a, const QString& b);

} // namespace Zanthic
} // namespace TWG
