#include "platform/sim/SimDevice.h"

#include "protocol/UsbChapter9.h"

#include <algorithm>

namespace platform {

SimDevice::SimDevice(SimDescriptors descriptors)
    : descriptors_(std::move(descriptors))
{
    descriptors_.device.bNumConfigurations = static_cast<std::uint8_t>(descriptors_.configurations.size());
    if (!descriptors_.configurations.empty())
        activeConfiguration_ = descriptors_.configurations.front().value;
}

SimDevice::~SimDevice() = default;

const SimConfiguration* SimDevice::configuration(std::uint8_t value) const
{
    for (const SimConfiguration& c : descriptors_.configurations)
        if (c.value == value)
            return &c;
    return nullptr;
}

const SimEndpoint* SimDevice::findEndpoint(std::uint8_t address, std::uint8_t* interfaceNumber) const
{
    const SimConfiguration* active = configuration(activeConfiguration_);
    if (!active)
        return nullptr;
    for (const SimInterface& i : active->interfaces) {
        if (i.alternateSetting != 0)
            continue;
        for (const SimEndpoint& e : i.endpoints) {
            if (e.address == address) {
                if (interfaceNumber)
                    *interfaceNumber = i.number;
                return &e;
            }
        }
    }
    return nullptr;
}

bool SimDevice::hasInterface(std::uint8_t number) const
{
    const SimConfiguration* active = configuration(activeConfiguration_);
    if (!active)
        return false;
    return std::any_of(active->interfaces.begin(), active->interfaces.end(),
                       [number](const SimInterface& i) { return i.number == number; });
}

UsbStatus SimDevice::control(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    if ((setup.bmRequestType & usbch9::kRequestTypeMask) == usbch9::kRequestTypeStandard)
        return standardRequest(setup, data);
    return classOrVendorRequest(setup, data);
}

UsbStatus SimDevice::getDescriptor(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    const std::uint8_t type = static_cast<std::uint8_t>(setup.wValue >> 8);
    const std::uint8_t index = static_cast<std::uint8_t>(setup.wValue & 0xFF);
    switch (type) {
    case usbch9::kDescriptorDevice:
        data = encodeDeviceDescriptor(descriptors_.device);
        return UsbStatus::Success;
    case usbch9::kDescriptorConfiguration:
        if (index >= descriptors_.configurations.size())
            return UsbStatus::Stall;
        data = encodeConfiguration(descriptors_.configurations[index]);
        return UsbStatus::Success;
    case usbch9::kDescriptorString: {
        if (index == 0) {
            data = {4, usbch9::kDescriptorString, static_cast<std::uint8_t>(descriptors_.languageId & 0xFF),
                    static_cast<std::uint8_t>(descriptors_.languageId >> 8)};
            return UsbStatus::Success;
        }
        const auto found = descriptors_.strings.find(index);
        if (found == descriptors_.strings.end())
            return UsbStatus::Stall;
        data = encodeString(found->second);
        return UsbStatus::Success;
    }
    default:
        // Class descriptors asked for by type belong to the model.
        return classOrVendorRequest(setup, data);
    }
}

UsbStatus SimDevice::standardRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    switch (setup.bRequest) {
    case usbch9::kGetDescriptor:
        return setup.isIn() ? getDescriptor(setup, data) : UsbStatus::Stall;
    case usbch9::kGetStatus:
        data = {0, 0};
        return UsbStatus::Success;
    case usbch9::kGetConfiguration:
        data = {activeConfiguration_};
        return UsbStatus::Success;
    case usbch9::kSetConfiguration: {
        const std::uint8_t value = static_cast<std::uint8_t>(setup.wValue & 0xFF);
        if (value != 0 && !configuration(value))
            return UsbStatus::Stall;
        activeConfiguration_ = value;
        configurationChanged(value);
        return UsbStatus::Success;
    }
    case usbch9::kGetInterface:
        data = {0};
        return hasInterface(static_cast<std::uint8_t>(setup.wIndex)) ? UsbStatus::Success : UsbStatus::Stall;
    case usbch9::kSetInterface:
        return hasInterface(static_cast<std::uint8_t>(setup.wIndex)) && setup.wValue == 0 ? UsbStatus::Success
                                                                                         : UsbStatus::Stall;
    case usbch9::kClearFeature:
    case usbch9::kSetFeature:
        return UsbStatus::Success;
    default:
        return classOrVendorRequest(setup, data);
    }
}

UsbStatus SimDevice::classOrVendorRequest(const UsbSetup&, std::vector<std::uint8_t>&)
{
    return UsbStatus::Stall;
}

void SimDevice::configurationChanged(std::uint8_t) {}

UsbStatus SimDevice::bulkOut(std::uint8_t, const std::vector<std::uint8_t>&, std::uint32_t* taken)
{
    *taken = 0;
    return UsbStatus::Stall;
}

UsbStatus SimDevice::bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, std::vector<std::uint8_t>* data)
{
    auto queue = inQueue_.find(endpoint);
    if (queue == inQueue_.end() || queue->second.empty())
        return UsbStatus::Timeout;
    *data = std::move(queue->second.front());
    queue->second.pop_front();
    if (data->size() > maxLength)
        data->resize(maxLength);
    return UsbStatus::Success;
}

UsbStatus SimDevice::resetPort()
{
    return UsbStatus::Success;
}

void SimDevice::queueIn(std::uint8_t endpoint, std::vector<std::uint8_t> data)
{
    if (std::shared_ptr<SimBusLink> link = link_.lock()) {
        link->queueIn(this, endpoint, std::move(data));
        return;
    }
    enqueueIn(endpoint, std::move(data));
}

void SimDevice::enqueueIn(std::uint8_t endpoint, std::vector<std::uint8_t> data)
{
    inQueue_[endpoint].push_back(std::move(data));
}

void SimDevice::attachTo(std::weak_ptr<SimBusLink> link, std::string path)
{
    link_ = std::move(link);
    path_ = std::move(path);
}

void SimDevice::detached()
{
    link_.reset();
    path_.clear();
}

Clock::Duration SimDevice::takeAnswerTime()
{
    const Clock::Duration time = answerTime_;
    answerTime_ = Clock::Duration(0);
    return time;
}

void SimDevice::reenumerate(std::shared_ptr<SimDevice> persona, Clock::Duration delay)
{
    if (std::shared_ptr<SimBusLink> link = link_.lock())
        link->requestReenumeration(this, std::move(persona), delay);
}

void SimDevice::callAfter(Clock::Duration delay, std::function<void()> fn)
{
    if (std::shared_ptr<SimBusLink> link = link_.lock())
        link->callAfter(this, delay, std::move(fn));
}

} // namespace platform
