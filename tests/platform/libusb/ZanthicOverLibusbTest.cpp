// The real libusb backend reaches a simulated STM32 Zanthic converter: the bridge of the
// umockdev fixture shows it as a usbfs node, and the device layer reads its serial, boot mode
// and a property through the driver port over libusb. A device of another vendor with a Zanthic
// product id stays unlisted. Runs under umockdev's preload (CTest starts it through
// under-umockdev.sh).

#include "platform/emulator/DriverEmulator.h"
#include "platform/libusb/LibusbBackend.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "tests/platform/libusb/fixture/MockTestbed.h"
#include "tests/platform/libusb/fixture/SimBridge.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace usbfs_fixture;

namespace {

constexpr std::uint16_t kProduct = 0xBE89;

TEST(ZanthicOverLibusb, TheDeviceLayerReadsASimulatedStm32ThroughLibusb)
{
    ASSERT_TRUE(MockTestbed::preloaded()) << "needs umockdev's preload: run it through ctest";
    auto state = std::make_shared<platform::SimStm32State>();
    state->productId = kProduct;
    const std::string name = "Edit Bay 3";
    state->properties["DeviceName"] = std::vector<std::uint8_t>(name.begin(), name.end());
    platform::SimBackend bus;
    MockTestbed testbed;
    SimBridge bridge(testbed, bus, bus.attach(platform::SimStm32Application::persona(state, false)), 1);
    ASSERT_TRUE(bridge.shown());
    // Another vendor's device that claims a Zanthic product id.
    platform::SimDescriptors other;
    other.device.idVendor = 0x1234;
    other.device.idProduct = kProduct;
    platform::SimBackend otherBus;
    SimBridge stranger(testbed, otherBus, otherBus.attach(std::make_shared<platform::SimDevice>(other)), 2);
    ASSERT_TRUE(stranger.shown());

    std::unique_ptr<platform::LibusbBackend> libusb = platform::LibusbBackend::create();
    ASSERT_TRUE(libusb);
    const std::vector<platform::UsbDeviceInfo> listed = libusb->listDevices();
    ASSERT_EQ(listed.size(), 1u) << "another vendor's device is not listed";
    EXPECT_EQ(listed[0].descriptor.idVendor, 0x7C5D);
    EXPECT_EQ(listed[0].descriptor.idProduct, kProduct);

    platform::DriverEmulator port(*libusb);
    platform::DriverPort::setInstance(&port);
    TWG::USB::DriverConnection* connection =
        TWG::USB::DriverConnection::connectToDriverWithPath(listed[0].path, platform::kNoWindow, 0);
    ASSERT_TRUE(connection);
    auto* usb = new TWG::USB::CUSBDevice(connection);
    connection->release();
    {
        TWG::Zanthic::UsbPotentialDevice device({}, usb);
        EXPECT_EQ(device.serial().toStdString(), "5a4e0001abcd");
        EXPECT_EQ(device.readBootMode(), state->bootMode);
        EXPECT_EQ(device.deviceName().toStdString(), name);
    }
    usb->release();
    platform::DriverPort::setInstance(nullptr);
}

} // namespace
