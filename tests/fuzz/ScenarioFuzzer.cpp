// The simulator's scenario JSON, with every registered device model, then the bus it built
// answers a device descriptor and a configuration read per device.
#include "FuzzSupport.h"

#include "platform/sim/SimBackend.h"
#include "platform/sim/SimScenario.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::SimBackend bus;
    QString error;
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const bool loaded = platform::loadSimScenario(json, bus, &error);
    if (!loaded && error.isEmpty())
        __builtin_trap(); // a refusal always says why
    for (const platform::UsbDeviceInfo& device : bus.listDevices()) {
        platform::UsbHandle handle = platform::kNoUsbHandle;
        if (bus.open(device.path, &handle) != platform::UsbStatus::Success)
            continue;
        platform::UsbDeviceDescriptor descriptor;
        bus.deviceDescriptor(handle, &descriptor);
        std::vector<std::uint8_t> configuration;
        bus.configDescriptor(handle, 0, &configuration);
        bus.close(handle);
    }
    return 0;
}
