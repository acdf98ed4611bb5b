#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"

#include "converters/xmega/XmegaUSBDevice.h"
#include "platform/Clock.h"
#include "plugins/zanthic/device/FirmwareVersion.h"
#include "protocol/ZanthicRegisters.h"

#include <stdexcept>
#include <vector>

namespace TWG {
namespace Zanthic {

namespace {
// Not translated, unlike the STM32 default.
constexpr char kDefaultName[] = "Tarnwright Device";
} // namespace

XmegaUsbPotentialDevice::XmegaUsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device)
    : UsbPotentialDevice(std::move(manager), device, NoSerialRead{}),
      channel_(Converters::XmegaUSBDevice::create(device))
{
    if (!channel_)
        throw std::runtime_error("No device interface.");
    Converters::XmegaUSBDevice::Uuid uuid{};
    if (!channel_->getUuid(&uuid))
        throw std::runtime_error("UUID read failure.");
    QString serial;
    for (std::uint8_t b : uuid)
        serial += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    setSerial(serial);
}

XmegaUsbPotentialDevice::~XmegaUsbPotentialDevice() = default;

QString XmegaUsbPotentialDevice::registerText(std::uint32_t address, std::uint32_t length)
{
    std::vector<char> text(length + 1, 0);
    if (!channel_->readMemory(address, length, text.data()))
        return {};
    text[length] = 0;
    return QString::fromLatin1(text.data());
}

QString XmegaUsbPotentialDevice::deviceName()
{
    const QString name = registerText(xmegareg::kDeviceName, xmegareg::kTextLength);
    return name.isEmpty() ? QString::fromLatin1(kDefaultName) : name;
}

QString XmegaUsbPotentialDevice::releaseVersion()
{
    return registerText(xmegareg::kReleaseVersion, xmegareg::kReleaseVersionLength);
}

QString XmegaUsbPotentialDevice::buildId()
{
    // The FPGA reads 0 while it starts; a version that never turns up is shown as 0.
    std::uint32_t fpga = 0;
    for (int read = 0; read < xmegareg::kFpgaVersionReads; ++read) {
        if (read > 0)
            platform::clock().sleepFor(platform::Clock::Duration(xmegareg::kFpgaVersionReadIntervalMs));
        std::uint8_t bytes[xmegareg::kFpgaVersionLength] = {};
        if (!channel_->readMemory(xmegareg::kFpgaVersion, xmegareg::kFpgaVersionLength, bytes))
            continue;
        fpga = static_cast<std::uint32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16)) |
               (static_cast<std::uint32_t>(bytes[3]) << 24);
        if (fpga != 0)
            break;
    }
    QString text = QStringLiteral(" fpga:%1").arg(fpga, 8, 16, QLatin1Char('0'));
    // The XMEGA firmware version is known only when both numbers the device reports agree.
    std::uint32_t first = 0, second = 0;
    if (channel_->getVersions(&first, &second) && first == second)
        text += QStringLiteral(" xmega:%1").arg(first, 8, 16, QLatin1Char('0'));
    return text.trimmed();
}

bool XmegaUsbPotentialDevice::isFirmwareCurrent(const QString& available)
{
    return firmwareVersionsMatch(available, buildId());
}

bool XmegaUsbPotentialDevice::readBootState(std::uint8_t* state) { return channel_->getMode(state); }

bool XmegaUsbPotentialDevice::reboot(bool intoBootloader)
{
    return intoBootloader ? channel_->restartIntoBootloader() : channel_->restart();
}

} // namespace Zanthic
} // namespace TWG
