#include "platform/backend/UsbBackend.h"

#include "platform/backend/ProcessBackend.h"

#include <atomic>

namespace platform {

UsbBackend::~UsbBackend() = default;

const char* usbStatusName(UsbStatus status)
{
    switch (status) {
    case UsbStatus::Success: return "success";
    case UsbStatus::Stall: return "stall";
    case UsbStatus::Timeout: return "time-out";
    case UsbStatus::Gone: return "device gone";
    case UsbStatus::NoMemory: return "no memory";
    case UsbStatus::BadArgument: return "bad argument";
    case UsbStatus::NotResponding: return "not responding";
    case UsbStatus::Cancelled: return "cancelled";
    case UsbStatus::NotFound: return "not found";
    case UsbStatus::AccessDenied: return "access denied";
    }
    return "unknown";
}

namespace {

class EmptyBackend : public UsbBackend {
public:
    std::vector<UsbDeviceInfo> listDevices() override { return {}; }
    UsbStatus describe(const std::string&, UsbDeviceDescriptor*) override { return UsbStatus::NotFound; }
    UsbStatus open(const std::string&, UsbHandle*) override { return UsbStatus::NotFound; }
    void close(UsbHandle) override {}
    UsbStatus deviceDescriptor(UsbHandle, UsbDeviceDescriptor*) override { return UsbStatus::BadArgument; }
    UsbStatus configDescriptor(UsbHandle, std::uint8_t, std::vector<std::uint8_t>*) override
    {
        return UsbStatus::BadArgument;
    }
    UsbStatus setConfiguration(UsbHandle, std::uint8_t) override { return UsbStatus::BadArgument; }
    UsbStatus claimInterface(UsbHandle, std::uint8_t) override { return UsbStatus::BadArgument; }
    UsbStatus releaseInterface(UsbHandle, std::uint8_t) override { return UsbStatus::BadArgument; }
    UsbStatus controlTransfer(UsbHandle, const UsbSetup&, std::uint8_t*, UsbTimeoutMs, std::uint32_t*) override
    {
        return UsbStatus::BadArgument;
    }
    UsbStatus transfer(UsbHandle, std::uint8_t, UsbTransferType, std::uint8_t*, std::uint32_t, UsbTimeoutMs,
                       std::uint32_t*) override
    {
        return UsbStatus::BadArgument;
    }
    UsbStatus submit(UsbHandle, std::uint8_t, UsbTransferType, std::uint8_t*, std::uint32_t, UsbTimeoutMs,
                     UsbCompletion, UsbTransferId*) override
    {
        return UsbStatus::BadArgument;
    }
    UsbStatus cancel(UsbHandle, UsbTransferId) override { return UsbStatus::BadArgument; }
    UsbStatus reset(UsbHandle) override { return UsbStatus::BadArgument; }
    UsbListenerId addHotplugListener(UsbHotplugCallback) override { return ++lastListener_; }
    void removeHotplugListener(UsbListenerId) override {}

private:
    std::atomic<UsbListenerId> lastListener_{0};
};

std::atomic<UsbBackend*> installedBackend{nullptr};

UsbBackend& processBackend()
{
    static std::unique_ptr<UsbBackend> backend = createProcessUsbBackend();
    return *backend;
}

} // namespace

std::unique_ptr<UsbBackend> createEmptyUsbBackend()
{
    return std::make_unique<EmptyBackend>();
}

UsbBackend& usbBackend()
{
    UsbBackend* installed = installedBackend.load();
    return installed ? *installed : processBackend();
}

void setUsbBackend(UsbBackend* backend)
{
    installedBackend.store(backend);
}

} // namespace platform
