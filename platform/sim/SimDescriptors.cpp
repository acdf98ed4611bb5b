#include "platform/sim/SimDescriptors.h"

#include <QString>

#include <algorithm>

namespace platform {

namespace {
void put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
} // namespace

std::vector<std::uint8_t> encodeDeviceDescriptor(const UsbDeviceDescriptor& d)
{
    std::vector<std::uint8_t> out{usbch9::kDeviceLength, usbch9::kDescriptorDevice};
    put16(out, d.bcdUSB);
    out.insert(out.end(), {d.bDeviceClass, d.bDeviceSubClass, d.bDeviceProtocol, d.bMaxPacketSize0});
    put16(out, d.idVendor);
    put16(out, d.idProduct);
    put16(out, d.bcdDevice);
    out.insert(out.end(), {d.iManufacturer, d.iProduct, d.iSerialNumber, d.bNumConfigurations});
    return out;
}

std::vector<std::uint8_t> encodeConfiguration(const SimConfiguration& c)
{
    std::vector<std::uint8_t> out{usbch9::kConfigurationLength, usbch9::kDescriptorConfiguration, 0, 0};
    std::uint8_t interfaceCount = 0;
    for (const SimInterface& i : c.interfaces)
        if (i.alternateSetting == 0)
            ++interfaceCount;
    out.insert(out.end(), {interfaceCount, c.value, c.iConfiguration, c.attributes, c.maxPower});
    for (const SimInterface& i : c.interfaces) {
        out.insert(out.end(), {usbch9::kInterfaceLength, usbch9::kDescriptorInterface, i.number, i.alternateSetting,
                               static_cast<std::uint8_t>(i.endpoints.size()), i.interfaceClass,
                               i.interfaceSubClass, i.interfaceProtocol, i.iInterface});
        for (const std::vector<std::uint8_t>& extra : i.classDescriptors)
            out.insert(out.end(), extra.begin(), extra.end());
        for (const SimEndpoint& e : i.endpoints) {
            out.insert(out.end(), {usbch9::kEndpointLength, usbch9::kDescriptorEndpoint, e.address, e.attributes});
            put16(out, e.maxPacketSize);
            out.push_back(e.interval);
        }
    }
    const std::size_t total = std::min<std::size_t>(out.size(), 0xFFFF);
    out[2] = static_cast<std::uint8_t>(total & 0xFF);
    out[3] = static_cast<std::uint8_t>(total >> 8);
    return out;
}

std::vector<std::uint8_t> encodeString(const std::string& utf8)
{
    const QString text = QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
    // bLength is one byte: at most 126 UTF-16 units fit.
    const int units = std::min(text.size(), 126);
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(2 + 2 * units), usbch9::kDescriptorString};
    for (int i = 0; i < units; ++i)
        put16(out, text.at(i).unicode());
    return out;
}

} // namespace platform
