#pragma once

#include "converters/ConverterNotifier.h"
#include "converters/IConverter.h"
#include "converters/fx2/Fx2ProductTable.h"
#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "tests/converters/support/DeviceChangeWindow.h"
#include "tests/converters/support/SimTranscript.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace convtest {

using platform::SimRequest;
using platform::SimRequestKind;

// The family's side of the notifier: what arrived and left, in order.
struct Family : TWG::Converters::IConverterNotifier::NotificationDelegate {
    std::vector<TWG::Converters::IConverter*> arrived;
    std::vector<TWG::Converters::IConverter*> removed;
    void onConverterArrived(TWG::Converters::IConverter* c) override { arrived.push_back(c); }
    void onConverterRemoved(TWG::Converters::IConverter* c) override { removed.push_back(c); }
};

// The requests an XMEGA application load sends before it writes anything: a fault at any of them
// means the load cannot start.
struct LoadStartRequest {
    const char* name;
    int requestType;
    int request;
};
inline constexpr LoadStartRequest kLoadStartRequests[] = {
    {"uuid read", 0xC0, 0x10},
    {"mode read", 0xC1, 0x10},
    {"restart into the bootloader", 0x41, 0x12},
};

// Converters on the simulated bus behind the emulated driver, found by a ConverterNotifier,
// in virtual time.
class ConverterSimFixture : public ::testing::Test {
protected:
    ConverterSimFixture() : emulator(bus) { platform::DriverPort::setInstance(&emulator); }
    ~ConverterSimFixture() override
    {
        notifier.reset();
        QCoreApplication::processEvents();
        EXPECT_EQ(bus.liveObjects(), 0) << "a handle, claim or transfer was left open";
        platform::DriverPort::setInstance(nullptr);
        TWG::Converters::Fx2ProductTable::clearRamImages();
    }

    std::shared_ptr<platform::SimFx2Running> attachFx2(std::uint16_t product,
                                                       platform::SimFx2Running::Options options = {})
    {
        auto m = platform::SimFx2Running::create(platform::SimFx2Running::descriptors(0x7C5D, product), options);
        bus.attach(m);
        return m;
    }

    std::shared_ptr<platform::SimXmegaState> attachXmega(std::uint16_t product, bool bootloader = false)
    {
        auto s = std::make_shared<platform::SimXmegaState>();
        s->productId = product;
        s->hasPowerRequest = product == 0xBDF2 || product == 0xBDF6;
        bus.attach(platform::SimXmegaDevice::persona(s, bootloader));
        return s;
    }

    // Starts the notifier; the converters on the bus arrive from inside.
    void start()
    {
        notifier = TWG::Converters::ConverterNotifier::create();
        ASSERT_TRUE(notifier);
        window.notifier = notifier.get();
        ASSERT_TRUE(notifier->start(&family, window.id));
    }

    // Lets time pass in steps, handing the posted device changes to the notifier.
    void run(int ms, int stepMs = 10)
    {
        for (int t = 0; t < ms; t += stepMs) {
            clock.advance(platform::Clock::Duration(stepMs));
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
    }

    TWG::Converters::IConverter* only()
    {
        return family.arrived.size() == 1 ? family.arrived[0] : nullptr;
    }

    std::vector<SimRequest> controls(int request, int requestType = -1) const
    {
        return convtest::controls(bus, request, requestType);
    }

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride{&clock};
    platform::SimBackend bus;
    platform::DriverEmulator emulator;
    Family family;
    DeviceChangeWindow<TWG::Converters::ConverterNotifier> window;
    std::unique_ptr<TWG::Converters::ConverterNotifier> notifier;
};

} // namespace convtest
