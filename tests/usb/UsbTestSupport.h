#pragma once

#include "FakeDriverPort.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <functional>

namespace usbtest {

// Installs a fresh fake port with one device "fake:1" for each test.
class UsbFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.path = "fake:1";
        device.configuration = twoInterfaceConfiguration();
        device.interfaces = {0, 1};
        port.addDevice(device);
        platform::DriverPort::setInstance(&port);
    }
    // Every test leaves the driver as it found it: no connection, request or registration.
    void TearDown() override
    {
        EXPECT_EQ(port.openConnections(), 0) << "a device, interface or iterator was not released";
        EXPECT_EQ(port.pendingCount(), 0u) << "an overlapped request was left running";
        EXPECT_EQ(port.interfaceRegistrations(), 0) << "a notifier was not destroyed";
        platform::DriverPort::setInstance(nullptr);
    }

    // A device over a fresh connection to the path (count 1: release it).
    TWG::USB::CUSBDevice* openDevice(const std::string& path = "fake:1")
    {
        TWG::USB::DriverConnection* c =
            TWG::USB::DriverConnection::connectToDriverWithPath(path, platform::kNoWindow, 0);
        if (!c)
            return nullptr;
        auto* d = new TWG::USB::CUSBDevice(c);
        c->release();
        return d;
    }

    FakeDriverPort port;
    FakeDriverPort::Device device;
};

// Pumps the calling thread's events until the condition holds or two seconds pass.
inline bool pumpUntil(const std::function<bool()>& done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace usbtest
