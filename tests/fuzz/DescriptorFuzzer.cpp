// A configuration descriptor as a device sends it, through the emulated driver and the USB
// library's interface walk: the interface lists of the callers' filters, each interface's
// fields, endpoint information, its descriptors one after the other, and a transfer on each pipe.
#include "FuzzSupport.h"

#include "platform/emulator/DriverEmulator.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"

#include <mutex>
#include <vector>

using namespace platform;

namespace {

constexpr char kPath[] = "raw:1";

// One device whose configuration descriptor is the input; its pipes accept and answer anything.
class RawBackend : public UsbBackend {
public:
    std::vector<std::uint8_t> configuration;

    std::vector<UsbDeviceInfo> listDevices() override { return {UsbDeviceInfo{kPath, descriptor()}}; }
    UsbStatus describe(const std::string& path, UsbDeviceDescriptor* d) override
    {
        if (path != kPath)
            return UsbStatus::NotFound;
        *d = descriptor();
        return UsbStatus::Success;
    }
    UsbStatus open(const std::string& path, UsbHandle* handle) override
    {
        if (path != kPath)
            return UsbStatus::NotFound;
        if (open_)
            return UsbStatus::AccessDenied;
        open_ = true;
        *handle = 1;
        return UsbStatus::Success;
    }
    void close(UsbHandle) override { open_ = false; }
    UsbStatus deviceDescriptor(UsbHandle, UsbDeviceDescriptor* d) override
    {
        *d = descriptor();
        return UsbStatus::Success;
    }
    UsbStatus configDescriptor(UsbHandle, std::uint8_t index, std::vector<std::uint8_t>* bytes) override
    {
        if (index != 0)
            return UsbStatus::BadArgument;
        *bytes = configuration;
        return UsbStatus::Success;
    }
    UsbStatus setConfiguration(UsbHandle, std::uint8_t) override { return UsbStatus::Success; }
    UsbStatus claimInterface(UsbHandle, std::uint8_t) override { return UsbStatus::Success; }
    UsbStatus releaseInterface(UsbHandle, std::uint8_t) override { return UsbStatus::Success; }
    UsbStatus controlTransfer(UsbHandle, const UsbSetup&, std::uint8_t*, UsbTimeoutMs, std::uint32_t* n) override
    {
        *n = 0;
        return UsbStatus::Stall;
    }
    UsbStatus transfer(UsbHandle, std::uint8_t, UsbTransferType, std::uint8_t* data, std::uint32_t length,
                       UsbTimeoutMs, std::uint32_t* n) override
    {
        for (std::uint32_t i = 0; i < length; ++i)
            data[i] = static_cast<std::uint8_t>(i);
        *n = length;
        return UsbStatus::Success;
    }
    UsbStatus submit(UsbHandle, std::uint8_t, UsbTransferType, std::uint8_t*, std::uint32_t, UsbTimeoutMs,
                     UsbCompletion, UsbTransferId*) override
    {
        return UsbStatus::BadArgument;
    }
    UsbStatus cancel(UsbHandle, UsbTransferId) override { return UsbStatus::BadArgument; }
    UsbStatus reset(UsbHandle) override { return UsbStatus::Success; }
    UsbListenerId addHotplugListener(UsbHotplugCallback) override { return 1; }
    void removeHotplugListener(UsbListenerId) override {}

private:
    static UsbDeviceDescriptor descriptor()
    {
        UsbDeviceDescriptor d;
        d.idVendor = 0x7C5D;
        d.idProduct = 0xBD91;
        return d;
    }
    bool open_ = false;
};

// Any interface; the XMEGA converters' FF/FF/FF; a DFU interface FE/01/any.
const std::uint32_t kFilters[][2] = {
    {0xFFFFFFFF, 0xFFFFFFFF},
    {0x00FF00FF, 0xFFFF00FF},
    {0x000100FE, 0xFFFFFFFF},
};

void walk(TWG::USB::IUSBInterface* i)
{
    std::uint8_t value = 0;
    i->getInterfaceNumber(&value);
    i->getInterfaceFieldA(&value);
    i->getInterfaceFieldB(&value);
    i->getInterfaceFieldC(&value);
    std::uint8_t endpoints = 0;
    i->getEndpointCount(&endpoints);
    for (int e = 0; e <= endpoints + 1; ++e) {
        std::uint8_t direction = 0, type = 0, extra = 0;
        std::uint16_t maxPacket = 0;
        i->getEndpointInfo(static_cast<std::uint8_t>(e), &direction, &type, &maxPacket, &extra);
    }
    for (int type : {TWG::USB::kAnyDescriptorType, 4, 5, 0x21}) {
        const std::uint8_t* d = nullptr;
        // A configuration has at most 64 KiB, so at most 32 Ki descriptors of two bytes.
        for (int n = 0; n < 40000; ++n) {
            d = i->getDescriptor(d, type);
            if (!d)
                break;
            volatile std::uint8_t first = d[0], second = d[1];
            (void)first;
            (void)second;
        }
        if (d)
            __builtin_trap(); // the walk never ends
    }
    std::uint8_t buffer[64] = {};
    if (i->open() == TWG::USB::kResultSuccess) {
        for (std::uint8_t pipe = 1; pipe <= 2; ++pipe) {
            std::uint32_t size = sizeof buffer;
            i->read(pipe, buffer, &size, 100, 100);
            i->write(pipe, buffer, sizeof buffer, 100, 100);
        }
        i->close();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RawBackend backend;
    backend.configuration.assign(data, data + size);
    DriverEmulator emulator(backend);
    DriverPort::setInstance(&emulator);

    TWG::USB::DriverConnection* connection =
        TWG::USB::DriverConnection::connectToDriverWithPath(kPath, platform::kNoWindow, 0);
    if (connection) {
        auto* device = new TWG::USB::CUSBDevice(connection);
        connection->release();
        std::uint8_t count = 0;
        device->getConfigurationCount(&count);
        device->selectConfiguration(0);
        for (const auto& filter : kFilters) {
            TWG::USB::IUSBInterfaceIterator* it = nullptr;
            if (device->createInterfaceIterator(filter, &it) != TWG::USB::kResultSuccess)
                continue;
            TWG::USB::IUSBInterface* i = nullptr;
            while (it->next(&i)) {
                walk(i);
                i->release();
            }
            it->release();
        }
        device->release();
    }
    DriverPort::setInstance(nullptr);
    return 0;
}
