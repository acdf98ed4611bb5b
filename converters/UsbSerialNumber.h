#pragma once

#include "protocol/UsbChapter9.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace TWG {
namespace USB {
class IUSBDevice;
} // namespace USB
namespace Converters {

// The text of a string descriptor read into a zero-filled buffer of `size` bytes. Empty unless
// bLength is at least 2 and the type is a string; the text ends at bLength, at the end of the
// buffer or at a NUL, whichever comes first (a short answer leaves zeros behind it).
QString stringDescriptorText(const std::uint8_t* bytes, std::size_t size);

// The device's serial-number string, asked for with wLength `length`. Nothing when it has none,
// or when the request fails or its answer is no string descriptor; a descriptor of a header
// alone is an empty text. Blocks the calling thread for one control request.
std::optional<QString> querySerialNumber(USB::IUSBDevice* device, std::uint32_t timeoutMs,
                                         std::uint16_t length = usbch9::kStringDescriptorMaxLength);

// As querySerialNumber, empty for nothing.
QString readSerialNumber(USB::IUSBDevice* device, std::uint32_t timeoutMs);

} // namespace Converters
} // namespace TWG
