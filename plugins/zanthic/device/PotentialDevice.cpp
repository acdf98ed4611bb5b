#include "plugins/zanthic/device/PotentialDevice.h"

#include "converters/UsbSerialNumber.h"
#include "plugins/zanthic/device/ConnectionManager.h"
#include "plugins/zanthic/device/Stm32Channel.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "protocol/Stm32Protocol.h"
#include "usb/IUSBDevice.h"

#include <QCoreApplication>

#include <exception>
#include <optional>

namespace TWG {
namespace Zanthic {

namespace {

constexpr int kConnectionTypeUsb = 1;
constexpr int kModeCode = 10;

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
    const std::optional<QString> text =
        Converters::querySerialNumber(device, stm32::kSerialTimeoutMs, stm32::kSerialDescriptorLength);
    if (!text) {
        qCDebug(lcZanthic) << "Unable to get Serial Number";
        return {};
    }
    return text->toLower();
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
