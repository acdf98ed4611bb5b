#pragma once

#include "platform/Clock.h"
#include "platform/Export.h"
#include "platform/backend/UsbBackend.h"
#include "platform/sim/SimDescriptors.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class SimDevice;

// What an attached device may ask of its bus (the bus implements it).
class SimBusLink {
public:
    virtual ~SimBusLink() = default;
    virtual void queueIn(SimDevice* device, std::uint8_t endpoint, std::vector<std::uint8_t> data) = 0;
    virtual void requestReenumeration(SimDevice* device, std::shared_ptr<SimDevice> persona,
                                      Clock::Duration delay) = 0;
    // Runs fn with the bus locked once the process clock has moved on by delay, if the device
    // is still attached then.
    virtual void callAfter(SimDevice* device, Clock::Duration delay, std::function<void()> fn) = 0;
};

// A simulated device built from its descriptors. It answers the standard requests itself and
// hands vendor and class requests and the data endpoints to the hooks that device models
// override. The bus calls it one request at a time, with the bus locked.
class TWG_PLATFORM_API SimDevice {
public:
    explicit SimDevice(SimDescriptors descriptors);
    virtual ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    const SimDescriptors& descriptors() const { return descriptors_; }
    // bConfigurationValue in use; attaching selects the first configuration, as the host does.
    std::uint8_t activeConfiguration() const { return activeConfiguration_; }
    // The endpoint of the active configuration, or null; *interfaceNumber is its interface.
    const SimEndpoint* findEndpoint(std::uint8_t address, std::uint8_t* interfaceNumber = nullptr) const;
    bool hasInterface(std::uint8_t number) const;

    // A control request. data is the OUT data stage on entry; for IN requests the answer
    // (the bus cuts it to wLength).
    UsbStatus control(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    // Data endpoints. *taken: the bytes the device accepted.
    virtual UsbStatus bulkOut(std::uint8_t endpoint, const std::vector<std::uint8_t>& data, std::uint32_t* taken);
    // Timeout means "nothing to send now": a pending read stays pending. The default serves
    // the queue filled by queueIn, one packet per read.
    virtual UsbStatus bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, std::vector<std::uint8_t>* data);
    // Port reset. A model that re-enumerates in answer calls reenumerate() here.
    virtual UsbStatus resetPort();

    // Data for an IN endpoint; serves a pending read at once. Any thread.
    void queueIn(std::uint8_t endpoint, std::vector<std::uint8_t> data);

    // Bus side: stores IN data without serving reads; attach and detach bookkeeping.
    void enqueueIn(std::uint8_t endpoint, std::vector<std::uint8_t> data);
    void attachTo(std::weak_ptr<SimBusLink> link, std::string path);
    void detached();
    std::string path() const { return path_; }
    // Bus side: how long the request just handled takes the device, once; the bus waits it out
    // with its lock released, so other devices go on answering meanwhile.
    Clock::Duration takeAnswerTime();

protected:
    virtual UsbStatus standardRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    // Vendor and class requests; the default stalls.
    virtual UsbStatus classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    virtual void configurationChanged(std::uint8_t value);

    // Leaves the bus once the current request has been answered; persona (null: none) arrives
    // after the delay under a new path.
    void reenumerate(std::shared_ptr<SimDevice> persona, Clock::Duration delay);
    // The current request is answered only after this long (a slow write, say).
    void answerAfter(Clock::Duration time) { answerTime_ = time; }
    // Something the device does by itself later, as requests are: with the bus locked, and
    // only while it is attached.
    void callAfter(Clock::Duration delay, std::function<void()> fn);

    SimDescriptors& mutableDescriptors() { return descriptors_; }
    const SimConfiguration* configuration(std::uint8_t value) const;

private:
    UsbStatus getDescriptor(const UsbSetup& setup, std::vector<std::uint8_t>& data);

    SimDescriptors descriptors_;
    std::uint8_t activeConfiguration_ = 0;
    std::map<std::uint8_t, std::deque<std::vector<std::uint8_t>>> inQueue_;
    std::weak_ptr<SimBusLink> link_;
    std::string path_;
    Clock::Duration answerTime_{0};
};

} // namespace platform
