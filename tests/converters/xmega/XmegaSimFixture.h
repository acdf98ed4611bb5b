#pragma once

#include "converters/xmega/XmegaUSBDevice.h"
#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "tests/converters/support/SimTranscript.h"
#include "tests/support/Bytes.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>
#include <string>
#include <vector>

namespace xmegatest {

using platform::SimRequest;
using platform::SimRequestKind;

// A simulated XMEGA converter on the simulated bus behind the emulated driver, in virtual time.
class XmegaSimFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::DriverPort::setInstance(&emulator);
        state = std::make_shared<platform::SimXmegaState>();
    }
    void TearDown() override
    {
        EXPECT_EQ(bus.liveObjects(), 0) << "a handle, claim or transfer was left open";
        platform::DriverPort::setInstance(nullptr);
    }

    std::string attach(bool bootloader = false)
    {
        path = bus.attach(platform::SimXmegaDevice::persona(state, bootloader));
        return path;
    }

    // An opened channel on the device at the path (the current one by default).
    std::shared_ptr<TWG::Converters::XmegaUSBDevice> open(std::string at = {})
    {
        if (at.empty())
            at = path;
        TWG::USB::DriverConnection* c = TWG::USB::DriverConnection::connectToDriverWithPath(at, platform::kNoWindow, 0);
        if (!c)
            return nullptr;
        auto* usb = new TWG::USB::CUSBDevice(c);
        c->release();
        auto device = TWG::Converters::XmegaUSBDevice::create(usb);
        usb->release();
        return device;
    }

    // Lets a restart's re-enumeration happen; returns the path the device came back under.
    std::string reenumerated()
    {
        clock.advance(platform::Clock::Duration(state->restartDelayMs + 1));
        QCoreApplication::processEvents();
        const auto devices = bus.listDevices();
        path = devices.empty() ? std::string() : devices.back().path;
        return path;
    }

    // The control requests with this bRequest (and bmRequestType, unless -1) in the transcript.
    std::vector<SimRequest> controls(int request, int requestType = -1) const
    {
        return convtest::controls(bus, request, requestType);
    }
    std::vector<SimRequest> bulkOuts() const { return convtest::bulkOuts(bus); }
    // Position of the last matching control request in the transcript, -1 when none.
    int lastIndexOf(int request, int requestType) const
    {
        const auto t = bus.transcript();
        for (int i = static_cast<int>(t.size()) - 1; i >= 0; --i)
            if (t[static_cast<std::size_t>(i)].kind == SimRequestKind::Control &&
                t[static_cast<std::size_t>(i)].setup.bRequest == request &&
                t[static_cast<std::size_t>(i)].setup.bmRequestType == requestType)
                return i;
        return -1;
    }

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride{&clock};
    platform::SimBackend bus;
    platform::DriverEmulator emulator{bus};
    std::shared_ptr<platform::SimXmegaState> state;
    std::string path;
};

} // namespace xmegatest
