#include "plugins/zanthic/device/UsbConnectionManager.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "platform/Clock.h"
#include "platform/ThreadHandOff.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/UsbNotifier.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "usb/IUSBDevice.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace TWG {
namespace Zanthic {

namespace {
// A device that cannot say who it is yet is tried this many times as it arrives, this far
// apart; then once more on every later arrival, and at each poll while they last.
constexpr int kIdentifyAttempts = 3;
constexpr int kIdentifyRetryMs = 250;
constexpr int kUnidentifiedPollMs = 1000;
constexpr int kUnidentifiedPolls = 30;
} // namespace

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
    // The notifier's thread uses the hooks: it ends first, cutting short a device it is making.
    stopping_.store(true);
    notifier_->stop();
    for (USB::IUSBDevice* device : unidentified_)
        device->release();
    unidentified_.clear();
    // The hooks, then the notifier, then the list.
    cardWidgetHook_ = nullptr;
    potentialDeviceFactory_ = nullptr;
    updaterFactory_ = nullptr;
    connectedDeviceFactory_ = nullptr;
    notifier_.reset();
}

bool UsbConnectionManager::start()
{
    self_ = std::static_pointer_cast<UsbConnectionManager>(shared_from_this());
    // On the notifier's thread, which ends before this manager does. Each signal carries a
    // reference on its device.
    UsbNotifier* notifier = notifier_.get();
    QObject::connect(
        notifier, &UsbNotifier::deviceAdded, notifier, [this](USB::IUSBDevice* device) { deviceArrived(device); },
        Qt::DirectConnection);
    QObject::connect(
        notifier, &UsbNotifier::deviceRemoved, notifier,
        [this](USB::IUSBDevice* device) { deviceDeparted(device); }, Qt::DirectConnection);
    QObject::connect(
        notifier, &UsbNotifier::pollDue, notifier, [this] { retryUnidentified(); }, Qt::DirectConnection);
    return notifier->start();
}

// --- Notifier thread ---------------------------------------------------------------------------

void UsbConnectionManager::deviceArrived(USB::IUSBDevice* device)
{
    // Something changed on the bus: a device that could not say who it was may now.
    retryUnidentified();
    if (!identify(device, kIdentifyAttempts) && !stopping_.load()) {
        qCDebug(lcZanthic) << "A device could not be identified; it is tried again later";
        unidentified_.push_back(device);
        notifier_->pollFor(platform::Clock::Duration(kUnidentifiedPollMs), kUnidentifiedPolls);
        return;
    }
    device->release();
}

void UsbConnectionManager::deviceDeparted(USB::IUSBDevice* device)
{
    const auto pending = std::find(unidentified_.begin(), unidentified_.end(), device);
    if (pending != unidentified_.end()) {
        // Never listed: nobody to tell.
        unidentified_.erase(pending);
        device->release();
        device->release();
        return;
    }
    // Behind its arrival, if it had one: the GUI thread hears of both in this order.
    platform::handOver(device);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [weak = self_, device] {
            platform::takeOver(device);
            if (const auto manager = weak.lock())
                manager->unlist(device);
            device->release();
        },
        Qt::QueuedConnection);
}

bool UsbConnectionManager::identify(USB::IUSBDevice* device, int attempts)
{
    for (int attempt = 1;; ++attempt) {
        if (stopping_.load())
            return true;
        std::shared_ptr<UsbPotentialDevice> potential;
        try {
            potential = potentialDeviceFactory_(self_, device);
        } catch (const DeviceNotIdentified&) {
            if (attempt >= attempts)
                return false;
            platform::clock().sleepFor(platform::Clock::Duration(kIdentifyRetryMs));
            continue;
        } catch (const std::exception& e) {
            qCDebug(lcZanthic) << "A device could not be made:" << e.what();
            return true;
        }
        if (!potential)
            return true;
        potential->setListingOrder(++listings_);
        platform::handOver(potential.get());
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak = self_, potential] {
                platform::takeOver(potential.get());
                if (const auto manager = weak.lock())
                    manager->list(potential);
            },
            Qt::QueuedConnection);
        return true;
    }
}

void UsbConnectionManager::retryUnidentified()
{
    for (auto it = unidentified_.begin(); it != unidentified_.end();) {
        if (identify(*it, 1)) {
            (*it)->release();
            it = unidentified_.erase(it);
        } else {
            ++it;
        }
    }
    if (unidentified_.empty())
        notifier_->pollFor(platform::Clock::Duration(0), 0);
}

// --- GUI thread --------------------------------------------------------------------------------

void UsbConnectionManager::list(const std::shared_ptr<UsbPotentialDevice>& device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    devices_.push_back(device);
    if (family())
        family()->onPotentialDeviceArrived(device);
}

void UsbConnectionManager::unlist(USB::IUSBDevice* device)
{
    const auto potential = findPotentialDeviceByUsbDevice(device);
    if (!potential)
        return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    devices_.erase(std::remove(devices_.begin(), devices_.end(), potential), devices_.end());
    if (family())
        family()->onPotentialDeviceRemoved(potential);
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

std::shared_ptr<UsbPotentialDevice> UsbConnectionManager::listedFor(const PotentialDevice& device) const
{
    const QString serial = device.serial();
    for (const auto& listed : devices_)
        if (serial.isEmpty() ? listed.get() == &device : listed->serial() == serial)
            return listed;
    return nullptr;
}

QSharedPointer<DeviceFirmwareUpdater> UsbConnectionManager::createUpdater(PotentialDevice& device)
{
    std::shared_ptr<UsbPotentialDevice> listed;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        listed = listedFor(device);
    }
    if (!listed || !updaterFactory_)
        return nullptr;
    return updaterFactory_(std::static_pointer_cast<UsbConnectionManager>(shared_from_this()), listed);
}

bool UsbConnectionManager::canCreateUpdater(const PotentialDevice& device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return updaterFactory_ && listedFor(device);
}

QWidget* UsbConnectionManager::callHook(ConnectedDeviceOwner* owner, PotentialDevice* device)
{
    if (!owner || !device || !cardWidgetHook_)
        return nullptr;
    std::shared_ptr<UsbPotentialDevice> listed;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        listed = listedFor(*device);
    }
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

std::shared_ptr<UsbPotentialDevice> UsbConnectionManager::findReturningDevice(const QString& serial,
                                                                             std::uint16_t productId,
                                                                             std::uint64_t listedSince)
{
    if (auto same = findPotentialDevice(serial))
        return same;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::shared_ptr<UsbPotentialDevice> found;
    for (const auto& listed : devices_) {
        if (listed->productId() != productId || listed->listingOrder() < listedSince ||
            !(serial.isEmpty() || listed->serial().isEmpty()))
            continue;
        // Two of them: which one is this device cannot be told.
        if (found)
            return nullptr;
        found = listed;
    }
    return found;
}

} // namespace Zanthic
} // namespace TWG
