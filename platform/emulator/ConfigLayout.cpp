#include "platform/emulator/ConfigLayout.h"

#include "platform/driver/DriverCodes.h"
#include "protocol/UsbChapter9.h"

#include <algorithm>

namespace platform {

namespace {
bool fieldMatches(std::uint32_t filter, std::uint8_t value)
{
    return filter == driver::kFilterAny || filter == value;
}
} // namespace

ConfigLayout ConfigLayout::parse(const std::vector<std::uint8_t>& bytes)
{
    ConfigLayout layout;
    if (bytes.size() < usbch9::kConfigurationLength || bytes[0] < usbch9::kConfigurationLength)
        return layout;
    layout.configurationValue = bytes[5];
    const std::size_t total = std::min<std::size_t>(bytes.size(), bytes[2] | (bytes[3] << 8));
    std::size_t pos = bytes[0];
    while (pos + 2 <= total) {
        const std::size_t length = bytes[pos];
        if (length < 2 || pos + length > total)
            break;
        const std::uint8_t* d = bytes.data() + pos;
        if (d[1] == usbch9::kDescriptorInterface && length >= usbch9::kInterfaceLength) {
            LayoutInterface i;
            i.number = d[2];
            i.alternateSetting = d[3];
            i.endpointCount = d[4];
            i.interfaceClass = d[5];
            i.interfaceSubClass = d[6];
            i.interfaceProtocol = d[7];
            layout.interfaces.push_back(i);
        } else if (d[1] == usbch9::kDescriptorEndpoint && length >= usbch9::kEndpointLength &&
                   !layout.interfaces.empty()) {
            LayoutEndpoint e;
            e.address = d[2];
            e.attributes = d[3];
            e.maxPacketSize = static_cast<std::uint16_t>(d[4] | (d[5] << 8));
            e.interval = d[6];
            layout.interfaces.back().endpoints.push_back(e);
        }
        pos += length;
    }
    return layout;
}

std::vector<std::uint32_t> ConfigLayout::select(std::uint32_t word0, std::uint32_t word1) const
{
    const std::uint32_t wantClass = word0 & 0xFFFF;
    const std::uint32_t wantSubClass = word0 >> 16;
    const std::uint32_t wantProtocol = word1 & 0xFFFF;
    std::vector<std::uint32_t> entries;
    for (std::size_t n = 0; n < interfaces.size(); ++n) {
        const LayoutInterface& i = interfaces[n];
        if (fieldMatches(wantClass, i.interfaceClass) && fieldMatches(wantSubClass, i.interfaceSubClass)
            && fieldMatches(wantProtocol, i.interfaceProtocol))
            entries.push_back(static_cast<std::uint32_t>(n));
    }
    return entries;
}

const LayoutInterface* ConfigLayout::interface(std::uint32_t entry) const
{
    return entry < interfaces.size() ? &interfaces[entry] : nullptr;
}

} // namespace platform
