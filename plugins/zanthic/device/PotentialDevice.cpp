#include "plugins/zanthic/device/PotentialDevice.h"

#include "converters/UsbSerialNumber.h"
#include "platform/Clock.h"
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
// A serial-number read that fails is tried this many times in all, this far apart: a device
// just enumerated may not answer yet, and one listed without its serial cannot be told apart.
constexpr int kSerialReadAttempts = 3;
constexpr int kSerialRetryMs = 250;

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
void PotentialDevice::deviceRenamed(const QString&) {}

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

bool PotentialDevice::canCreateUpdater() const
{
    const auto manager = manager_.lock();
    return manager && manager->canCreateUpdater(*this);
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
    // Index 0: the device has no serial-number string; nothing to read, or to try again.
    if (!device || (device->getSerialNumberIndex(&index) == 0 && index == 0))
        return {};
    for (int attempt = 1;; ++attempt) {
        const std::optional<QString> text =
            Converters::querySerialNumber(device, stm32::kSerialTimeoutMs, stm32::kSerialDescriptorLength);
        if (text)
            return text->toLower();
        if (attempt == kSerialReadAttempts)
            break;
        platform::clock().sleepFor(platform::Clock::Duration(kSerialRetryMs));
    }
    qCDebug(lcZanthic) << "Unable to get Serial Number";
    return {};
}

UsbPotentialDevice::UsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device,
                                       NoSerialRead)
    : PotentialDevice(std::move(manager)), device_(device), bootMode_(stm32::kBootModeUnknown)
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
    readIdentity();
}

void UsbPotentialDevice::readIdentity()
{
    std::uint8_t mode = stm32::kBootModeUnknown;
    QString name, build, release;
    if (device_) {
        CreationReads reads;
        reads.attempt([&] { return readBootModeOnce(&mode); });
        reads.attempt([&] { return readProperty(stm32::keys::kDeviceName, &name); });
        reads.attempt([&] { return readProperty(stm32::keys::kBuildId, &build); });
        reads.attempt([&] { return readProperty(stm32::keys::kReleaseVersion, &release); });
    }
    setIdentity(name.isEmpty() ? QCoreApplication::translate("UsbPotentialDevice", "Tarnwright Device") : name,
                build.toLower(), release);
    std::lock_guard<std::mutex> lock(identityMutex_);
    bootMode_ = mode;
}

UsbPotentialDevice::~UsbPotentialDevice()
{
    if (device_)
        device_->release();
}

int UsbPotentialDevice::connectionType() const { return kConnectionTypeUsb; }
int UsbPotentialDevice::modeCode() const { return kModeCode; }

void UsbPotentialDevice::setIdentity(const QString& name, const QString& build, const QString& release)
{
    std::lock_guard<std::mutex> lock(identityMutex_);
    name_ = name;
    build_ = build;
    releaseVersion_ = release;
}

QString UsbPotentialDevice::deviceName()
{
    std::lock_guard<std::mutex> lock(identityMutex_);
    return name_;
}

QString UsbPotentialDevice::buildId()
{
    std::lock_guard<std::mutex> lock(identityMutex_);
    return build_;
}

QString UsbPotentialDevice::releaseVersion()
{
    std::lock_guard<std::mutex> lock(identityMutex_);
    return releaseVersion_;
}

void UsbPotentialDevice::deviceRenamed(const QString& name)
{
    std::lock_guard<std::mutex> lock(identityMutex_);
    name_ = name;
}

bool UsbPotentialDevice::readProperty(const char* key, QString* text)
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    std::optional<Stm32ControlInterface> control;
    try {
        control.emplace(device_);
    } catch (const std::exception& e) {
        qCDebug(lcZanthic) << "property" << key << "unreadable:" << e.what();
        return true;
    }
    if (!control->answers())
        return true;
    try {
        *text = QString::fromUtf8(control->getProperty(key).c_str());
        return true;
    } catch (const std::exception& e) {
        qCDebug(lcZanthic) << "property" << key << "unreadable:" << e.what();
        return false;
    }
}

bool UsbPotentialDevice::isFirmwareCurrent(const QString& available)
{
    // A bootloader runs no application, whatever build id it reports: the last one it started,
    // or the one before a download that stopped part-way. Its card could only wait.
    {
        std::lock_guard<std::mutex> lock(identityMutex_);
        if (stm32::isDfuBootMode(bootMode_))
            return false;
    }
    return PotentialDevice::isFirmwareCurrent(available);
}

bool UsbPotentialDevice::readBootModeOnce(std::uint8_t* mode)
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    *mode = stm32::kBootModeUnknown;
    std::optional<Stm32ControlInterface> control;
    try {
        control.emplace(device_);
    } catch (const std::exception&) {
        return true;
    }
    if (!control->answers())
        return true;
    try {
        *mode = control->readBootMode();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::uint8_t UsbPotentialDevice::readBootMode()
{
    std::uint8_t mode = stm32::kBootModeUnknown;
    readBootModeOnce(&mode);
    return mode;
}

} // namespace Zanthic
} // namespace TWG
