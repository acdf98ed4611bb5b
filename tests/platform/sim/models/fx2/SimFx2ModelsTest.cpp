// The FX2 device models as a scenario names them, and the blank controller's RAM download
// straight over the simulated bus.

#include "platform/Clock.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/SimScenario.h"
#include "platform/sim/models/fx2/SimFx2Blank.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "tests/support/Bytes.h"
#include "tests/support/SetupPacket.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace platform;

namespace {

UsbStatus vendor(SimBackend& bus, UsbHandle h, bool in, std::uint8_t request, std::uint16_t value,
                 std::uint16_t index, Bytes* data)
{
    const UsbSetup s = usbtest::setup(in ? 0xC0 : 0x40, request, static_cast<std::uint16_t>(data ? data->size() : 0),
                                      value, index);
    std::uint32_t n = 0;
    return bus.controlTransfer(h, s, data ? data->data() : nullptr, 1000, &n);
}

} // namespace

TEST(SimFx2Models, ScenarioNamesTheBlankAndTheRunningControllerWithAnAt90)
{
    VirtualClock clock;
    ClockOverride use(&clock);
    SimBackend bus;
    QString error;
    ASSERT_TRUE(loadSimScenario(R"({"devices": [
        {"model": "fx2-blank", "product": "0xBD2F", "reenumerateMs": 50,
         "running": {"version": 7, "at90": {"signature": [30, 151, 129], "busyPolls": 2}}},
        {"model": "fx2", "product": "0xBD15", "release": "0x0102", "powered": false,
         "registers": {"10": 99, "0x0B": "0x80"}}
    ]})", bus, &error)) << error.toStdString();
    std::vector<UsbDeviceInfo> devices = bus.listDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].descriptor.idProduct, 0xBD2F);
    EXPECT_EQ(devices[0].descriptor.bcdDevice, 1);
    EXPECT_EQ(devices[1].descriptor.bcdDevice, 0x0102);
    auto running = std::dynamic_pointer_cast<SimFx2Running>(bus.device(devices[1].path));
    ASSERT_TRUE(running);
    EXPECT_FALSE(running->hasAt90());
    EXPECT_EQ(running->reg(10), 99);
    EXPECT_EQ(running->reg(11), 0x80);

    UsbHandle h = kNoUsbHandle;
    ASSERT_EQ(bus.open(devices[1].path, &h), UsbStatus::Success);
    Bytes power{0xAA};
    EXPECT_EQ(vendor(bus, h, true, 0xE1, 0, 0, &power), UsbStatus::Success);
    EXPECT_EQ(power, Bytes{0});
    Bytes any{0};
    EXPECT_EQ(vendor(bus, h, true, 0xB8, 0, 0, &any), UsbStatus::Stall) << "no AT90 behind this one";
    bus.close(h);

    // The blank controller takes a program into RAM and comes back running it.
    auto blank = std::dynamic_pointer_cast<SimFx2Blank>(bus.device(devices[0].path));
    ASSERT_TRUE(blank);
    ASSERT_EQ(bus.open(devices[0].path, &h), UsbStatus::Success);
    Bytes reset{1}, code{0x02, 0x01, 0x00}, run{0};
    Bytes register0{0};
    EXPECT_EQ(vendor(bus, h, true, 0xD6, 0, 0, &register0), UsbStatus::Stall) << "no firmware answers yet";
    EXPECT_EQ(vendor(bus, h, false, 0xA0, 0xE600, 0, &reset), UsbStatus::Success);
    EXPECT_EQ(vendor(bus, h, false, 0xA0, 0x0000, 0, &code), UsbStatus::Success);
    EXPECT_EQ(vendor(bus, h, false, 0xA0, 0xE600, 0, &run), UsbStatus::Success);
    const Bytes ram = blank->ram();
    EXPECT_EQ(Bytes(ram.begin(), ram.begin() + 3), code);
    EXPECT_FALSE(blank->cpuHeld());
    EXPECT_TRUE(blank->violations().empty());
    bus.close(h);
    EXPECT_TRUE(bus.listDevices().size() == 1) << "it left the bus";
    clock.advance(std::chrono::milliseconds(50));
    devices = bus.listDevices();
    ASSERT_EQ(devices.size(), 2u);
    const UsbDeviceInfo& back = devices[0].descriptor.idProduct == 0xBD2F ? devices[0] : devices[1];
    EXPECT_EQ(back.descriptor.idProduct, 0xBD2F);
    EXPECT_EQ(back.descriptor.bcdDevice, 0x0100);
    auto persona = std::dynamic_pointer_cast<SimFx2Running>(bus.device(back.path));
    ASSERT_TRUE(persona);
    EXPECT_TRUE(persona->hasAt90());
    EXPECT_EQ(persona->reg(1), 7);
    ASSERT_EQ(bus.open(back.path, &h), UsbStatus::Success);
    Bytes signature{0};
    EXPECT_EQ(vendor(bus, h, true, 0xB8, 0, 2, &signature), UsbStatus::Success);
    EXPECT_EQ(signature, Bytes{0x81});
    bus.close(h);
    EXPECT_EQ(bus.liveObjects(), 0);
}

TEST(SimFx2Models, BadEntriesAreRefusedWithTheirField)
{
    struct Case {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {R"({"devices": [{"model": "fx2", "at90": 5}]})", "\"at90\" must be true or an object"},
        {R"({"devices": [{"model": "fx2", "at90": {"signature": [1, 2]}}]})", "\"signature\" needs 3 bytes"},
        {R"({"devices": [{"model": "fx2", "version": 300}]})", "bad \"version\""},
        {R"({"devices": [{"model": "fx2", "registers": {"300": 1}}]})", "bad \"registers\""},
        {R"({"devices": [{"model": "fx2", "registers": [1, 2]}]})", "bad \"registers\""},
        {R"({"devices": [{"model": "fx2-blank", "running": {"eraseMs": "x"}}]})", "bad \"eraseMs\""},
    };
    for (const Case& c : cases) {
        SimBackend bus;
        QString error;
        EXPECT_FALSE(loadSimScenario(c.json, bus, &error)) << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.error))) << error.toStdString();
        EXPECT_TRUE(bus.listDevices().empty());
    }
}
