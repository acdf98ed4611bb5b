#pragma once

#include "platform/Clock.h"
#include "platform/Export.h"
#include "platform/backend/UsbBackend.h"
#include "platform/sim/SimDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class SimRequestKind { Any, Control, Out, In, Reset };

// One request as the bus saw it.
struct SimRequest {
    std::string path;
    SimRequestKind kind = SimRequestKind::Control;
    UsbSetup setup;                  // Control
    std::uint8_t endpoint = 0;       // Out, In (address)
    std::uint32_t length = 0;        // wLength, or the transfer's length
    bool async = false;
    std::vector<std::uint8_t> data;  // the data sent, or the answer received
    UsbStatus status = UsbStatus::Success;
    Clock::TimePoint time;
};

enum class SimFaultAction {
    Stall,
    Timeout, // no answer: the request waits out its time-out
    Short,   // IN: the answer is cut to shortLength bytes; OUT: only shortLength bytes are taken
    Unplug,  // the device leaves the bus instead of answering
};

// The nth request matching every given field triggers the action, once.
struct SimFault {
    SimFaultAction action = SimFaultAction::Stall;
    int nth = 1;
    SimRequestKind kind = SimRequestKind::Any;
    std::string path;                // empty: any device
    int bmRequestType = -1;          // -1: any
    int bRequest = -1;
    int endpoint = -1;
    std::function<bool(const SimRequest&)> match; // optional further condition
    std::uint32_t shortLength = 0;
};

// The simulated bus: devices attach under "sim:N" (N counts up, never reused), requests go to
// the device models, and every request is kept in a transcript. Thread-safe. Hot-plug
// listeners and completions run on the thread that changed the bus or completed the request,
// after the bus is unlocked.
class TWG_PLATFORM_API SimBackend : public UsbBackend {
public:
    SimBackend();
    ~SimBackend() override;

    // Attaches a device and reports its arrival; returns its path.
    std::string attach(std::shared_ptr<SimDevice> device);
    // Unplugs it: handles on it turn Gone, its pending transfers complete with Gone.
    bool detach(const std::string& path);
    // Unplugs the device now; persona (null: none) arrives after the delay on the process
    // clock. Returns the path persona will have.
    std::string reenumerate(const std::string& path, std::shared_ptr<SimDevice> persona, Clock::Duration delay);
    std::shared_ptr<SimDevice> device(const std::string& path) const;

    void addFault(SimFault fault);
    void clearFaults();

    std::vector<SimRequest> transcript() const;
    void clearTranscript();

    // Open handles + interface claims + pending transfers: 0 once everything was closed.
    int liveObjects() const;

    std::vector<UsbDeviceInfo> listDevices() override;
    UsbStatus describe(const std::string& path, UsbDeviceDescriptor* descriptor) override;
    UsbStatus open(const std::string& path, UsbHandle* handle) override;
    void close(UsbHandle handle) override;
    UsbStatus deviceDescriptor(UsbHandle handle, UsbDeviceDescriptor* descriptor) override;
    UsbStatus configDescriptor(UsbHandle handle, std::uint8_t index, std::vector<std::uint8_t>* bytes) override;
    UsbStatus setConfiguration(UsbHandle handle, std::uint8_t configurationValue) override;
    UsbStatus claimInterface(UsbHandle handle, std::uint8_t interfaceNumber) override;
    UsbStatus releaseInterface(UsbHandle handle, std::uint8_t interfaceNumber) override;
    UsbStatus controlTransfer(UsbHandle handle, const UsbSetup& setup, std::uint8_t* data, UsbTimeoutMs timeout,
                              std::uint32_t* transferred) override;
    UsbStatus transfer(UsbHandle handle, std::uint8_t endpoint, UsbTransferType type, std::uint8_t* data,
                       std::uint32_t length, UsbTimeoutMs timeout, std::uint32_t* transferred) override;
    UsbStatus submit(UsbHandle handle, std::uint8_t endpoint, UsbTransferType type, std::uint8_t* data,
                     std::uint32_t length, UsbTimeoutMs timeout, UsbCompletion done, UsbTransferId* id) override;
    UsbStatus cancel(UsbHandle handle, UsbTransferId id) override;
    UsbStatus reset(UsbHandle handle) override;
    UsbListenerId addHotplugListener(UsbHotplugCallback callback) override;
    void removeHotplugListener(UsbListenerId id) override;

    struct Bus;

private:
    std::shared_ptr<Bus> bus_;
};

} // namespace platform
