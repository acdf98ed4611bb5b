#pragma once

#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "tests/converters/support/SimTranscript.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"
#include "usb/IUSBDevice.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <mutex>
#include <string>
#include <vector>

// What every Zanthic test on the simulated bus shares: the bus behind the emulated driver in
// virtual time, a held device reference and the log of every thread.
namespace zanthictest {

// Holds one USB device reference and releases it at the end of a scope. Replace the device
// with reset(): assigning `device` would drop the reference held.
struct DeviceRef {
    TWG::USB::IUSBDevice* device = nullptr;
    DeviceRef() = default;
    explicit DeviceRef(TWG::USB::IUSBDevice* d) : device(d) {}
    DeviceRef(const DeviceRef&) = delete;
    DeviceRef& operator=(const DeviceRef&) = delete;
    ~DeviceRef() { reset(); }
    void reset(TWG::USB::IUSBDevice* d = nullptr)
    {
        if (device)
            device->release();
        device = d;
    }
};

// Every Qt log line of every thread while it lives, kept under a lock.
class LogCapture {
public:
    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::handler)) { active() = this; }
    ~LogCapture()
    {
        qInstallMessageHandler(previous_);
        active() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool contains(const QString& text) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const QString& line : lines_)
            if (line.contains(text))
                return true;
        return false;
    }
    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    static LogCapture*& active()
    {
        static LogCapture* capture = nullptr;
        return capture;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (LogCapture* capture = active()) {
            std::lock_guard<std::mutex> lock(capture->mutex_);
            capture->lines_.append(message);
        }
    }
    mutable std::mutex mutex_;
    QStringList lines_;
    QtMessageHandler previous_;
};

// The simulated bus behind the emulated driver, in virtual time.
class ZanthicSimBase : public ::testing::Test {
protected:
    ZanthicSimBase() : emulator(bus) { platform::DriverPort::setInstance(&emulator); }
    // Runs after the test's own members are gone: by then every device it opened is closed,
    // once a status poll still reading one has let it go.
    ~ZanthicSimBase() override
    {
        TWG::Zanthic::ZanthicConvertersConnectedDevice::waitForPollReads();
        QCoreApplication::processEvents();
        EXPECT_EQ(bus.liveObjects(), 0) << "a USB device reference was never released";
        platform::DriverPort::setInstance(nullptr);
    }

    // The device at the path as the USB library opens it (one reference, the caller's).
    TWG::USB::IUSBDevice* open(const std::string& path)
    {
        TWG::USB::DriverConnection* c =
            TWG::USB::DriverConnection::connectToDriverWithPath(path, platform::kNoWindow, 0);
        if (!c)
            return nullptr;
        auto* usb = new TWG::USB::CUSBDevice(c);
        c->release();
        return usb;
    }

    std::vector<platform::SimRequest> controls(int request, int requestType = -1) const
    {
        return convtest::controls(bus, request, requestType);
    }

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride{&clock};
    platform::SimBackend bus;
    platform::DriverEmulator emulator;
};

} // namespace zanthictest
