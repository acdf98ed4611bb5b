#include "converters/UsbSerialNumber.h"

#include "converters/ConverterLog.h"
#include "protocol/UsbChapter9.h"
#include "usb/IUSBDevice.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <vector>

namespace TWG {
namespace Converters {

namespace {

constexpr std::size_t kHeaderLength = usbch9::kMinDescriptorLength;

bool isStringDescriptor(const std::uint8_t* bytes, std::size_t size)
{
    return bytes && size >= kHeaderLength && bytes[0] >= kHeaderLength && bytes[1] == usbch9::kDescriptorString;
}

} // namespace

QString stringDescriptorText(const std::uint8_t* bytes, std::size_t size)
{
    if (!isStringDescriptor(bytes, size))
        return {};
    const std::size_t end = std::min<std::size_t>(bytes[0], size);
    QString text;
    // An odd last byte is half a character: dropped.
    for (std::size_t at = kHeaderLength; at + 1 < end; at += 2) {
        const char16_t c = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

std::optional<QString> querySerialNumber(USB::IUSBDevice* device, std::uint32_t timeoutMs, std::uint16_t length)
{
    std::uint8_t index = 0;
    // Index 0 is the language list, which every device with strings answers: not a serial.
    if (!device || device->getSerialNumberIndex(&index) != USB::kResultSuccess || index == 0)
        return std::nullopt;
    // Zero-filled: the library cannot tell a short answer from a full one.
    std::vector<std::uint8_t> bytes(length);
    USB::USBControlRequest r;
    r.bmRequestType = usbch9::kStandardDeviceIn;
    r.bRequest = usbch9::kGetDescriptor;
    r.wValue = static_cast<std::uint16_t>((usbch9::kDescriptorString << usbch9::kDescriptorTypeShift) | index);
    r.wIndex = usbch9::kLanguageEnglishUs;
    r.wLength = length;
    r.data = bytes.data();
    r.timeoutA = r.timeoutB = timeoutMs;
    const std::uint32_t result = device->controlTransfer(&r);
    if (result != USB::kResultSuccess) {
        qCDebug(lcConverters) << "Serial-number string unreadable, result" << result;
        return std::nullopt;
    }
    const QString text = stringDescriptorText(bytes.data(), bytes.size());
    if (text.isEmpty())
        qCDebug(lcConverters) << "Serial-number string empty or malformed";
    if (!isStringDescriptor(bytes.data(), bytes.size()))
        return std::nullopt;
    return text;
}

QString readSerialNumber(USB::IUSBDevice* device, std::uint32_t timeoutMs)
{
    return querySerialNumber(device, timeoutMs).value_or(QString());
}

} // namespace Converters
} // namespace TWG
