#pragma once

#include "converters/fx2/ConverterInstance.h"
#include "converters/fx2/Fx2ProductTable.h"
#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "tests/converters/support/SimTranscript.h"
#include "tests/support/Bytes.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace fx2test {

constexpr std::uint16_t kVendor = 0x7C5D;
constexpr std::uint16_t kProductWithAt90 = 0xBD2E;

// One FX2 RAM record: count, big-endian address, type, data, a checksum byte.
inline void addRecord(Bytes& image, std::uint16_t address, const Bytes& data, std::uint8_t type = 0)
{
    image.push_back(static_cast<std::uint8_t>(data.size()));
    image.push_back(static_cast<std::uint8_t>(address >> 8));
    image.push_back(static_cast<std::uint8_t>(address));
    image.push_back(type);
    image.insert(image.end(), data.begin(), data.end());
    image.push_back(0x5A);
}

// A simulated bus behind the emulated driver, in virtual time.
class Fx2SimFixture : public ::testing::Test {
protected:
    Fx2SimFixture() : emulator(bus) { platform::DriverPort::setInstance(&emulator); }
    ~Fx2SimFixture() override
    {
        releaseAll();
        platform::DriverPort::setInstance(nullptr);
        TWG::Converters::Fx2ProductTable::clearRamImages();
    }

    // A running FX2 on the bus, opened and started as the notifier would.
    TWG::Converters::ConverterInstance* attachRunning(std::uint16_t product, platform::SimFx2Running::Options options,
                                                      std::shared_ptr<platform::SimFx2Running>* model = nullptr)
    {
        auto m = platform::SimFx2Running::create(platform::SimFx2Running::descriptors(kVendor, product), options);
        path = bus.attach(m);
        if (model)
            *model = m;
        return open(path);
    }

    TWG::Converters::ConverterInstance* open(const std::string& p)
    {
        TWG::USB::DriverConnection* c = TWG::USB::DriverConnection::connectToDriverWithPath(p, platform::kNoWindow, 0);
        if (!c)
            return nullptr;
        auto* usb = new TWG::USB::CUSBDevice(c);
        c->release();
        std::uint16_t product = 0;
        usb->getProductId(&product);
        TWG::Converters::Fx2ProductEntry entry;
        TWG::Converters::Fx2ProductTable::find(product, &entry);
        auto* d = static_cast<TWG::Converters::ConverterInstance*>(TWG::Converters::ConverterInstance::create(usb, entry));
        usb->release();
        if (!d->startUp()) {
            d->release();
            return nullptr;
        }
        opened.push_back(d);
        return d;
    }

    void releaseAll()
    {
        for (TWG::Converters::AbstractUSBDevice* d : opened)
            d->release();
        opened.clear();
    }

    // The control requests of one bRequest, in order.
    std::vector<platform::SimRequest> requests(int bRequest) const { return convtest::controls(bus, bRequest); }
    std::vector<platform::SimRequest> bulkOuts() const { return convtest::bulkOuts(bus); }

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride{&clock};
    platform::SimBackend bus;
    platform::DriverEmulator emulator;
    std::string path;
    std::vector<TWG::Converters::AbstractUSBDevice*> opened;
};

} // namespace fx2test
