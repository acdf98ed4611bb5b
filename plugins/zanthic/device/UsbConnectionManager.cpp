#include "plugins/zanthic/device/UsbConnectionManager.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "platform/ThreadHandOff.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/UsbNotifier.h"

#include <QCoreApplication>

#include <stdexcept>

namespace TWG {
namespace Zanthic {

UsbConnectionManager::UsbConnectionManager(DeviceListener* family, ModelTable models,
                                           ConnectedDeviceFactory connectedDeviceFactory,
                                           UpdaterFactory updaterFactory,
                                           PotentialDeviceFactory potentialDeviceFactory,
                                           CardWidgetHook cardWidgetHook)
    : ConnectionManager("USB", family, models),
      notifier_(std::make_unique<UsbNotifier>(models)),
      connectedDeviceFactory_(std::move(connectedDeviceFactory)),
      updaterFactory_(std::move(updaterFactory)),
      potentialDeviceFactory_(std::move(potentialDeviceFactory)),
      cardWidgetHook_(std::move(cardWidgetHook))
{
    if (!potentialDeviceFactory_)
        throw std::invalid_argument("UsbConnectionManager needs a potential-device factory");
}

UsbConnectionManager::~UsbConnectionManager()
{
    // The hooks first, then the notifier (its thread ends), then the list.
    cardWidgetHook_ = nullptr;
    potentialDeviceFactory_ = nullptr;
    updaterFactory_ = nullptr;
    connectedDeviceFactory_ = nullptr;
    notifier_.reset();
}

std::shared_ptr<UsbConnectionManager> UsbConnectionManager::self()
{
    return std::static_pointer_cast<UsbConnectionManager>(shared_from_this());
}

bool UsbConnectionManager::start()
{
    // Each signal carries a reference on its device: released here after use, also when the
    // manager has gone in between.
    const std::weak_ptr<ConnectionManager> weak = shared_from_this();
    QObject::connect(
        notifier_.get(), &UsbNotifier::deviceAdded, QCoreApplication::instance(),
        [weak](USB::IUSBDevice* device) {
            platform::takeOver(device);
            if (const auto manager = weak.lock())
                static_cast<UsbConnectionManager*>(manager.get())->onDeviceAdded(device);
            device->release();
        },
        Qt::QueuedConnection);
    QObject::connect(
        notifier_.get(), &UsbNotifier::deviceRemoved, QCoreApplication::instance(),
        [weak](USB::IUSBDevice* device) {
            platform::takeOver(device);
            if (const auto manager = weak.lock())
                static_cast<UsbConnectionManager*>(manager.get())->onDeviceRemoved(device);
            device->release();
        },
        Qt::QueuedConnection);
    return notifier_->start();
}

std::shared_ptr<ConnectedDevice> UsbConnectionManager::connect(ConnectedDeviceOwner* owner, PotentialDevice* device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!owner || !device || !connectedDeviceFactory_)
        return nullptr;
    for (const auto& listed : devices_)
        if (listed.get() == device)
            return connectedDeviceFactory_(owner, listed);
    return nullptr;
}

QSharedPointer<DeviceFirmwareUpdater> UsbConnectionManager::createUpdater(PotentialDevice& device)
{
    const auto listed = findPotentialDevice(device.serial());
    if (!listed || !updaterFactory_)
        return nullptr;
    return updaterFactory_(self(), listed);
}

QWidget* UsbConnectionManager::callHook(ConnectedDeviceOwner* owner, PotentialDevice* device)
{
    if (!owner || !device || !cardWidgetHook_)
        return nullptr;
    const auto listed = findPotentialDevice(device->serial());
    return listed ? cardWidgetHook_(owner, listed) : nullptr;
}

std::shared_ptr<UsbPotentialDevice> UsbConnectionManager::findPotentialDevice(const QString& serial)
{
    if (serial.isEmpty())
        return nullptr;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const auto& listed : devices_)
        if (listed->serial() == serial)
            return listed;
    return nullptr;
}

std::shared_ptr<UsbPotentialDevice> UsbConnectionManager::findPotentialDeviceByUsbDevice(USB::IUSBDevice* device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const auto& listed : devices_)
        if (listed->usbDevice() == device)
            return listed;
    return nullptr;
}

void UsbConnectionManager::onDeviceAdded(USB::IUSBDevice* device)
{
    const auto manager = self();
    const auto potential = potentialDeviceFactory_(manager, device);
    if (!potential)
        return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    devices_.push_back(potential);
    if (family())
        family()->onPotentialDeviceArrived(potential);
}

void UsbConnectionManager::onDeviceRemoved(USB::IUSBDevice* device)
{
    const auto potential = findPotentialDeviceByUsbDevice(device);
    if (!potential)
        return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    devices_.erase(std::remove(devices_.begin(), devices_.end(), potential), devices_.end());
    if (family())
        family()->onPotentialDeviceRemoved(potential);
}

} // namespace Zanthic
} // namespace TWG
