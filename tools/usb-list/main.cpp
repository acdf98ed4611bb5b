// Lists the converters the USB layer sees, one line each: path, vendor:product, release and
// serial number. Prints nothing when there are none.

#include "platform/backend/UsbBackend.h"
#include "protocol/UsbChapter9.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr platform::UsbTimeoutMs kTimeoutMs = 1000;

// A string descriptor as UTF-8; empty when it cannot be read.
std::string readString(platform::UsbBackend& backend, platform::UsbHandle handle, std::uint8_t index)
{
    std::vector<std::uint8_t> buffer(usbch9::kStringDescriptorMaxLength);
    platform::UsbSetup setup;
    setup.bmRequestType = usbch9::kStandardDeviceIn;
    setup.bRequest = usbch9::kGetDescriptor;
    setup.wValue = static_cast<std::uint16_t>(usbch9::kDescriptorString << usbch9::kDescriptorTypeShift | index);
    setup.wIndex = usbch9::kLanguageEnglishUs;
    setup.wLength = usbch9::kStringDescriptorMaxLength;
    std::uint32_t got = 0;
    if (backend.controlTransfer(handle, setup, buffer.data(), kTimeoutMs, &got) != platform::UsbStatus::Success)
        return {};
    if (got < usbch9::kMinDescriptorLength || buffer[1] != usbch9::kDescriptorString)
        return {};
    const std::uint32_t end = std::min<std::uint32_t>(got, buffer[0]);
    std::string out;
    for (std::uint32_t i = 2; i + 1 < end; i += 2) {
        const unsigned c = buffer[i] | buffer[i + 1] << 8;
        if (c < 0x80) {
            out += static_cast<char>(c < 0x20 ? '?' : c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string serialOf(platform::UsbBackend& backend, const platform::UsbDeviceInfo& device)
{
    if (device.descriptor.iSerialNumber == 0)
        return "-";
    platform::UsbHandle handle = platform::kNoUsbHandle;
    if (backend.open(device.path, &handle) != platform::UsbStatus::Success)
        return "?";
    std::string serial = readString(backend, handle, device.descriptor.iSerialNumber);
    backend.close(handle);
    return serial.empty() ? "?" : serial;
}

} // namespace

int main()
{
    platform::UsbBackend& backend = platform::usbBackend();
    for (const platform::UsbDeviceInfo& device : backend.listDevices()) {
        const platform::UsbDeviceDescriptor& d = device.descriptor;
        std::printf("%s %04x:%04x release %x.%02x serial %s\n", device.path.c_str(), d.idVendor, d.idProduct,
                    d.bcdDevice >> 8, d.bcdDevice & 0xFF, serialOf(backend, device).c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
