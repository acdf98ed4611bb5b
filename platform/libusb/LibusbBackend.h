#pragma once

#include "platform/Export.h"
#include "platform/backend/UsbBackend.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct libusb_context;
struct libusb_device;
struct libusb_transfer;

namespace platform {

// The converters on this computer, through libusb-1.0: one context and one event thread
// (hot-plug and asynchronous completions). Only devices whose vendor/product pair is on the
// AllowList are listed, reported or opened; the check is made from the cached device descriptor,
// so any other device is never opened, claimed or detached from its kernel driver.
class TWG_PLATFORM_API LibusbBackend final : public UsbBackend {
public:
    // How arrivals and removals are seen: libusb's own hot-plug events where it has them, else
    // (or when asked, to test that path) by comparing the device list every kPollIntervalMs.
    enum class Hotplug { Native, Polling };

    // Null when libusb cannot be initialised.
    static std::unique_ptr<LibusbBackend> create(Hotplug hotplug = Hotplug::Native);
    ~LibusbBackend() override;

    // True when libusb reports hot-plug events itself.
    bool hotplugNative() const { return hotplugNative_; }
    static constexpr int kPollIntervalMs = 500;

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

    // "usb:BUS:ADDRESS" (decimal); false for anything else.
    static std::string pathOf(int bus, int address);
    static bool parsePath(const std::string& path, int* bus, int* address);

private:
    struct OpenDevice;
    struct AsyncTransfer;

    LibusbBackend(libusb_context* context, Hotplug hotplug);

    std::shared_ptr<OpenDevice> find(UsbHandle handle);
    // The endpoint's interface must be claimed; BadArgument otherwise.
    UsbStatus checkEndpoint(const OpenDevice& device, std::uint8_t endpoint);
    // A bulk or interrupt transfer's arguments and device: Success, or the status to answer.
    UsbStatus checkTransfer(const OpenDevice* device, std::uint8_t endpoint, const std::uint8_t* data,
                            std::uint32_t length);
    void markGone(libusb_device* device);
    void notify(const UsbDeviceInfo& info, bool arrived);
    void runEvents();
    void pollForChanges();

    friend struct LibusbCallbacks;   // libusb's callbacks, on the event thread
    void onHotplug(libusb_device* device, bool arrived);
    static void onTransfer(libusb_transfer* transfer);

    libusb_context* context_ = nullptr;
    bool hotplugNative_ = false;
    int hotplugHandle_ = 0;
    std::thread eventThread_;
    std::atomic<bool> stop_{false};

    std::mutex mutex_;   // guards the maps below and every OpenDevice's claims and transfers
    std::condition_variable transferDone_;
    std::map<UsbHandle, std::shared_ptr<OpenDevice>> open_;
    std::atomic<UsbHandle> lastHandle_{0};
    std::atomic<UsbTransferId> lastTransfer_{0};

    std::mutex listenersMutex_;   // held while listeners run, so removal waits for them
    std::map<UsbListenerId, UsbHotplugCallback> listeners_;
    std::atomic<UsbListenerId> lastListener_{0};

    // Allowed devices last seen by the polling fallback (event thread only).
    std::map<std::string, UsbDeviceInfo> polled_;
};

} // namespace platform
