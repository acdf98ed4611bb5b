#include "plugins/zanthic/ui/D2VisibleDevice.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/FirmwareLookup.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/ui/D2Family.h"

#include <QPointer>

#include <algorithm>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kConnectionUsb = 1;
constexpr int kConnectionNetwork = 2;
constexpr std::uint16_t kHardwareMajorMask = 0xFF00;
const QString kNoVersion = QStringLiteral("0.0");
} // namespace

D2VisibleDevice::D2VisibleDevice(D2Family* family, std::shared_ptr<PotentialDevice> first)
    : VisibleDevice(family), family_(family), serial_(first ? first->serial() : QString())
{
    if (first) {
        if (const ModelInfo* info = first->findModelInfo()) {
            fullName_ = info->fullName;
            modelName_ = info->modelName;
            image_ = QPixmap(info->image);
            thumbnail_ = QPixmap(info->thumbnail);
        }
        devices_.push_back(first);
        active_ = first;
    }
    refreshFromPotentialDevice();
}

D2VisibleDevice::~D2VisibleDevice() = default;

QPixmap D2VisibleDevice::connectionIcon(const char* both, const char* network, const char* usb) const
{
    bool hasUsb = false, hasNetwork = false;
    for (const auto& d : devices_) {
        hasUsb = hasUsb || d->connectionType() == kConnectionUsb;
        hasNetwork = hasNetwork || d->connectionType() == kConnectionNetwork;
    }
    if (hasUsb && hasNetwork)
        return QPixmap(QLatin1String(both));
    if (hasNetwork)
        return QPixmap(QLatin1String(network));
    if (hasUsb)
        return QPixmap(QLatin1String(usb));
    return QPixmap();
}

QPixmap D2VisibleDevice::galleryConnectionIcon()
{
    return connectionIcon(":/Launcher_Connection_Both", ":/Launcher_Connection_Network", ":/Launcher_Connection_USB");
}

QPixmap D2VisibleDevice::cardConnectionIcon()
{
    return connectionIcon(":/Card_Connection_Both", ":/Card_Connection_Network", ":/Card_Connection_USB");
}

bool D2VisibleDevice::isListedFirst() { return active_ && active_->connectionType() == kConnectionUsb; }
bool D2VisibleDevice::showsSoftwareStatus() { return active_ && active_->showsSoftwareStatus(); }
QString D2VisibleDevice::softwareVersion() { return active_ ? active_->releaseVersion() : kNoVersion; }
bool D2VisibleDevice::isSoftwareSupported() { return std::as_const(*this).isSoftwareSupported(); }
bool D2VisibleDevice::isFirmwareUpdateAvailable() { return std::as_const(*this).isFirmwareUpdateAvailable(); }
bool D2VisibleDevice::isReady() { return active_ && active_->isReady(); }
bool D2VisibleDevice::isTestMode() { return active_ && active_->isTestMode(); }
QWidget* D2VisibleDevice::cardExtraWidget() { return active_ ? active_->queryManagerHook(this) : nullptr; }

bool D2VisibleDevice::isSoftwareSupported() const
{
    if (!active_)
        return false;
    return supportedRevision_ >= std::uint16_t(active_->hardwareId() & kHardwareMajorMask);
}

bool D2VisibleDevice::isFirmwareUpdateAvailable() const
{
    // Without an image to write, or an updater to write it, the card opens: a device is offered
    // only what can be done.
    return isSoftwareSupported() && !active_->isFirmwareCurrent(packagedFirmware_) &&
           holdsFirmwareImage(active_->productId()) && active_->canCreateUpdater();
}

DeviceFirmwareUpdater* D2VisibleDevice::firmwareUpdater()
{
    if (!updater_ && active_)
        updater_ = active_->createUpdater();
    return updater_.data();
}

void D2VisibleDevice::deviceRenamed(const QString& name)
{
    // What every path answers from now on, as the device itself is not asked again.
    for (const auto& d : devices_)
        d->deviceRenamed(name);
    setDeviceName(name);
}

void D2VisibleDevice::watchRemoval(QObject* context, std::function<void()> removed)
{
    const QPointer<D2VisibleDevice> self(this);
    QObject::connect(family_, &Family::deviceRemoved, context, [self, removed](VisibleDevice* device) {
        if (self && device == self.data())
            removed();
    });
}

void D2VisibleDevice::addPotentialDevice(std::shared_ptr<PotentialDevice> device)
{
    if (!device)
        return;
    if (!active_ || device->modeCode() < active_->modeCode()) {
        active_ = device;
        refreshFromPotentialDevice();
    }
    devices_.push_back(std::move(device));
    announceChange();
}

void D2VisibleDevice::removePotentialDevice(const std::shared_ptr<PotentialDevice>& device)
{
    devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
    if (device != active_) {
        announceChange();
        return;
    }
    active_.reset();
    for (const auto& d : devices_)
        if (!active_ || d->modeCode() < active_->modeCode())
            active_ = d;
    refreshFromPotentialDevice();
    announceChange();
}

bool D2VisibleDevice::holds(const PotentialDevice* device) const
{
    return std::any_of(devices_.begin(), devices_.end(), [device](const auto& d) { return d.get() == device; });
}

void D2VisibleDevice::refreshFromPotentialDevice()
{
    if (!active_)
        return;
    displayName_ = active_->deviceName();
    const ModelInfo* info = active_->findModelInfo();
    packagedFirmware_ = info ? info->firmwareVersion : kNoVersion;
    packagedRelease_ = info ? info->releaseVersion : kNoVersion;
    supportedRevision_ = info ? info->hardwareRevision : 0;
}

void D2VisibleDevice::setDeviceName(const QString& name)
{
    displayName_ = name;
    announceChange();
}

std::shared_ptr<ConnectedDevice> D2VisibleDevice::connect()
{
    return active_ ? active_->connect(this) : nullptr;
}

void D2VisibleDevice::announceChange() { emit family_->deviceInfoChanged(this); }

} // namespace Zanthic
} // namespace TWG
