#include "plugins/zanthic/device/PotentialDevice.h"

#include "plugins/zanthic/device/ConnectionManager.h"
#include "plugins/zanthic/device/Stm32Channel.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/UsbChapter9.h"
#include "usb/IUSBDevice.h"

#include <QCoreApplication>

#include <array>
#include <exception>

namespace TWG {
namespace Zanthic {

namespace {

constexpr int kConnectionTypeUsb = 1;
constexpr int kModeCode = 10;
constexpr std::size_t kDescriptorHeader = 2;

} // namespace

// --- PotentialDevice -------------------------------------------------------------------------

PotentialDevice::PotentialDevice(std::weak_ptr<ConnectionManager> manager)
    : manager_(std::move(manager))
{
}

PotentialDevice::~PotentialDevice() = default;

bool PotentialDevice::isFirmwareCurrent(const QString& available) { return available == buildId(); }
void PotentialDevice::showControlApp(ConnectedDeviceOwner*) {}
bool PotentialDevice::isTestMode() const { return false; }
bool PotentialDevice::showsSoftwareStatus() const { return false; }
void PotentialDevice::onArrival() {}

std::shared_ptr<ConnectedDevice> PotentialDevice::connect(ConnectedDeviceOwner* owner)
{
    const auto manager = manager_.lock();
    return manager ? manager->connect(owner, this) : nullptr;
}

QSharedPointer<DeviceFirmwareUpdater> PotentialDevice::createUpdater()
{
    const auto manager = manager_.lock();
    return manager ? manager->createUpdater(*this) : nullptr;
}

QWidget* PotentialDevice::queryManagerHook(ConnectedDeviceOwner* owner)
{
    const auto manager = manager_.lock();
    return manager ? manager->callHook(owner, this) : nullptr;
}

const ModelInfo* PotentialDevice::findModelInfo() const
{
    const auto manager = manager_.lock();
    return manager ? manager->findModelInfo(productId()) : nullptr;
}

// --- UsbPotentialDevice ----------------------------------------------------------------------

QString readUsbSerial(USB::IUSBDevice* device)
{
    std::uint8_t index = 0;
    // A device without a serial-number string would answer index 0 with its language list.
    if (!device || device->getSerialNumberIndex(&index) != 0 || index == 0) {
        qCDebug(lcZanthic) << "Unable to get Serial Number";
        return {};
    }
    // Zero-filled first: the library cannot tell a short answer from a full one.
    std::array<std::uint8_t, stm32::kSerialDescriptorLength> bytes{};
    USB::USBControlRequest r;
    r.bmRequestType = stm32::kStandardDeviceIn;
    r.bRequest = usbch9::kGetDescriptor;
    r.wValue = static_cast<std::uint16_t>((usbch9::kDescriptorString << 8) | index);
    r.wIndex = usbch9::kLanguageEnglishUs;
    r.wLength = stm32::kSerialDescriptorLength;
    r.data = bytes.data();
    r.timeoutA = stm32::kSerialTimeoutMs;
    r.timeoutB = stm32::kSerialTimeoutMs;
    if (device->controlTransfer(&r) != 0 || bytes[0] < kDescriptorHeader ||
        bytes[1] != usbch9::kDescriptorString) {
        qCDebug(lcZanthic) << "Unable to get Serial Number";
        return {};
    }
    // (bLength - 2) / 2 UTF-16 units, up to the first NUL.
    const std::size_t length = bytes[0];
    QString text;
    for (std::size_t at = kDescriptorHeader; at + 1 < length; at += 2) {
        const char16_t c = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text.toLower();
}

UsbPotentialDevice::UsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device,
                                       NoSerialRead)
    : PotentialDevice(std::move(manager)), device_(device)
{
    if (device_) {
        device_->addRef();
        device_->getProductId(&productId_);
        device_->getDeviceRelease(&release_);
    }
}

UsbPotentialDevice::UsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device)
    : UsbPotentialDevice(std::move(manager), device, NoSerialRead{})
{
    serial_ = readUsbSerial(device_);
}

UsbPotentialDevice::~UsbPotentialDevice()
{
    if (device_)
        device_->release();
}

int UsbPotentialDevice::connectionType() const { return kConnectionTypeUsb; }
int UsbPotentialDevice::modeCode() const { return kModeCode; }

QString UsbPotentialDevice::identityProperty(const char* key)
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    try {
        Stm32ControlInterface control(device_);
        if (!control.answers())
            return {};
        return QString::fromUtf8(control.getProperty(key).c_str());
    } catch (const std::exception& e) {
        qCDebug(lcZanthic) << "property" << key << "unreadable:" << e.what();
        return {};
    }
}

QString UsbPotentialDevice::deviceName()
{
    const QString name = identityProperty(stm32::keys::kDeviceName);
    return name.isEmpty() ? QCoreApplication::translate("UsbPotentialDevice", "Tarnwright Device") : name;
}

QString UsbPotentialDevice::buildId() { return identityProperty(stm32::keys::kBuildId).toLower(); }

QString UsbPotentialDevice::releaseVersion() { return identityProperty(stm32::keys::kReleaseVersion); }

bool UsbPotentialDevice::isFirmwareCurrent(const QString& available)
{
    // A bootloader runs no application, whatever build id it reports: the last one it started,
    // or the one before a download that stopped part-way. Its card could only wait.
    if (stm32::isDfuBootMode(readBootMode()))
        return false;
    return PotentialDevice::isFirmwareCurrent(available);
}

std::uint8_t UsbPotentialDevice::readBootMode()
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    try {
        Stm32ControlInterface control(device_);
        if (!control.answers())
            return stm32::kBootModeUnknown;
        return control.readBootMode();
    } catch (const std::exception&) {
        return stm32::kBootModeUnknown;
    }
}

} // namespace Zanthic
} // namespace TWG
