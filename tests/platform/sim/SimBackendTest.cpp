#include "ScriptedSimDevice.h"

#include "platform/Clock.h"
#include "platform/sim/SimBackend.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class SimBusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(bus.open(path, &handle), UsbStatus::Success); }
    void TearDown() override
    {
        bus.close(handle);
        EXPECT_EQ(bus.liveObjects(), 0);
    }

    UsbStatus request(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                      Bytes* data, std::uint32_t* got = nullptr)
    {
        UsbSetup s{type, request, value, index, static_cast<std::uint16_t>(data->size())};
        std::uint32_t transferred = 0;
        const UsbStatus status = bus.controlTransfer(handle, s, data->data(), 1000, &transferred);
        if (got)
            *got = transferred;
        return status;
    }

    VirtualClock virtualClock;
    ClockOverride clockGuard{&virtualClock};
    SimBackend bus;
    std::shared_ptr<simtest::ScriptedSimDevice> device = std::make_shared<simtest::ScriptedSimDevice>();
    std::string path = bus.attach(device);
    UsbHandle handle = kNoUsbHandle;
};

TEST_F(SimBusTest, AnswersTheStandardRequestsFromItsDescriptors)
{
    EXPECT_EQ(path, "sim:1");
    UsbHandle second = kNoUsbHandle;
    EXPECT_EQ(bus.open(path, &second), UsbStatus::AccessDenied);
    EXPECT_EQ(bus.open("sim:2", &second), UsbStatus::NotFound);

    Bytes d(18);
    ASSERT_EQ(request(0x80, 6, 0x0100, 0, &d), UsbStatus::Success);
    EXPECT_EQ(d, encodeDeviceDescriptor(device->descriptors().device));
    EXPECT_EQ(d[8] | (d[9] << 8), simtest::kVendor);

    // A configuration asked for with 9 bytes first, then with its total length.
    Bytes head(9);
    ASSERT_EQ(request(0x80, 6, 0x0200, 0, &head), UsbStatus::Success);
    Bytes whole(head[2] | (head[3] << 8));
    std::uint32_t got = 0;
    ASSERT_EQ(request(0x80, 6, 0x0200, 0, &whole, &got), UsbStatus::Success);
    EXPECT_EQ(got, whole.size());
    EXPECT_EQ(whole[4], 4); // bNumInterfaces

    Bytes languages(255), serial(255);
    ASSERT_EQ(request(0x80, 6, 0x0300, 0, &languages, &got), UsbStatus::Success);
    EXPECT_EQ(Bytes(languages.begin(), languages.begin() + got), (Bytes{4, 3, 0x09, 0x04}));
    ASSERT_EQ(request(0x80, 6, 0x0300 | simtest::kSerialIndex, 0x0409, &serial, &got), UsbStatus::Success);
    EXPECT_EQ(got, 10u);
    Bytes missing(255);
    EXPECT_EQ(request(0x80, 6, 0x0309, 0x0409, &missing), UsbStatus::Stall);

    Bytes none;
    EXPECT_EQ(request(0x00, 9, 7, 0, &none), UsbStatus::Stall);
    EXPECT_EQ(request(0x00, 9, 1, 0, &none), UsbStatus::Success);
    Bytes configuration(1);
    ASSERT_EQ(request(0x80, 8, 0, 0, &configuration), UsbStatus::Success);
    EXPECT_EQ(configuration[0], 1);
    // Vendor requests go to the model: unknown ones stall.
    Bytes vendor(4);
    EXPECT_EQ(request(0xC0, 0x77, 0, 0, &vendor), UsbStatus::Stall);
}

TEST_F(SimBusTest, FaultRulesHitTheNthMatchingRequestOnce)
{
    device->answers[0x30] = {1, 2, 3, 4};
    const struct {
        SimFaultAction action;
        UsbStatus status;
        std::uint32_t got;
    } cases[] = {
        {SimFaultAction::Stall, UsbStatus::Stall, 0},
        {SimFaultAction::Timeout, UsbStatus::Timeout, 0},
        {SimFaultAction::Short, UsbStatus::Success, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        bus.clearTranscript();
        SimFault fault;
        fault.action = c.action;
        fault.nth = 2;
        fault.bmRequestType = 0xC0;
        fault.bRequest = 0x30;
        fault.shortLength = 1;
        bus.addFault(fault);
        Bytes other(2);
        EXPECT_EQ(request(0xC0, 0x31, 0, 0, &other), UsbStatus::Stall); // does not match, does not count
        std::uint32_t got = 0;
        for (int i = 1; i <= 3; ++i) {
            Bytes data(4);
            const UsbStatus status = request(0xC0, 0x30, 0, 0, &data, &got);
            EXPECT_EQ(status, i == 2 ? c.status : UsbStatus::Success) << i;
            EXPECT_EQ(got, i == 2 ? c.got : 4u) << i;
        }
        const std::vector<SimRequest> transcript = bus.transcript();
        ASSERT_EQ(transcript.size(), 4u);
        EXPECT_EQ(transcript[2].status, c.status);
        EXPECT_EQ(transcript[3].data, (Bytes{1, 2, 3, 4}));
    }

    // A bulk OUT cut short, then an unplug instead of an answer.
    ASSERT_EQ(bus.claimInterface(handle, 0), UsbStatus::Success);
    SimFault cut;
    cut.action = SimFaultAction::Short;
    cut.kind = SimRequestKind::Out;
    cut.shortLength = 3;
    bus.addFault(cut);
    Bytes packet(10, 0x55);
    std::uint32_t taken = 0;
    EXPECT_EQ(bus.transfer(handle, 0x02, UsbTransferType::Bulk, packet.data(), 10, 1000, &taken), UsbStatus::Success);
    EXPECT_EQ(taken, 3u);
    SimFault unplug;
    unplug.action = SimFaultAction::Unplug;
    unplug.endpoint = 0x02;
    bus.addFault(unplug);
    EXPECT_EQ(bus.transfer(handle, 0x02, UsbTransferType::Bulk, packet.data(), 10, 1000, &taken), UsbStatus::Gone);
    EXPECT_TRUE(bus.listDevices().empty());
    Bytes data(4);
    EXPECT_EQ(request(0xC0, 0x30, 0, 0, &data), UsbStatus::Gone);
}

TEST_F(SimBusTest, CountsLiveObjectsAndRefusesUnclaimedEndpoints)
{
    Bytes buffer(8);
    std::uint32_t got = 0;
    EXPECT_EQ(bus.transfer(handle, 0x02, UsbTransferType::Bulk, buffer.data(), 8, 100, &got), UsbStatus::BadArgument);
    EXPECT_EQ(bus.claimInterface(handle, 9), UsbStatus::BadArgument);
    ASSERT_EQ(bus.claimInterface(handle, 0), UsbStatus::Success);
    ASSERT_EQ(bus.claimInterface(handle, 0), UsbStatus::Success);
    EXPECT_EQ(bus.liveObjects(), 3);
    EXPECT_EQ(bus.releaseInterface(handle, 0), UsbStatus::Success);
    EXPECT_EQ(bus.liveObjects(), 2);
    EXPECT_EQ(bus.transfer(handle, 0x03, UsbTransferType::Bulk, buffer.data(), 8, 100, &got), UsbStatus::BadArgument);

    int completions = 0;
    UsbStatus last = UsbStatus::Success;
    UsbTransferId id = 0;
    ASSERT_EQ(bus.submit(handle, 0x86, UsbTransferType::Bulk, buffer.data(), 8, 250,
                         [&](UsbStatus s, std::uint32_t) { ++completions, last = s; }, &id),
              UsbStatus::Success);
    EXPECT_EQ(bus.liveObjects(), 3);
    virtualClock.advance(std::chrono::milliseconds(250));
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(last, UsbStatus::Timeout);
    EXPECT_EQ(bus.cancel(handle, id), UsbStatus::BadArgument);

    // Closing with a claim and a pending read leaves nothing behind.
    ASSERT_EQ(bus.submit(handle, 0x86, UsbTransferType::Bulk, buffer.data(), 8, 0,
                         [&](UsbStatus s, std::uint32_t) { ++completions, last = s; }, &id),
              UsbStatus::Success);
    bus.close(handle);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(last, UsbStatus::Cancelled);
    EXPECT_EQ(bus.liveObjects(), 0);
    ASSERT_EQ(bus.open(path, &handle), UsbStatus::Success);
}

TEST_F(SimBusTest, ResetAnsweredByReenumerationCountsAsDone)
{
    class Restarting : public simtest::ScriptedSimDevice {
    public:
        UsbStatus resetPort() override
        {
            reenumerateAs(std::make_shared<simtest::ScriptedSimDevice>(), std::chrono::milliseconds(100));
            return UsbStatus::Success;
        }
    };
    std::vector<std::pair<std::string, bool>> events;
    const UsbListenerId listener =
        bus.addHotplugListener([&](const UsbDeviceInfo& d, bool arrived) { events.emplace_back(d.path, arrived); });
    UsbHandle restarting = kNoUsbHandle;
    const std::string other = bus.attach(std::make_shared<Restarting>());
    ASSERT_EQ(bus.open(other, &restarting), UsbStatus::Success);
    EXPECT_EQ(bus.reset(restarting), UsbStatus::Success);
    UsbDeviceDescriptor d;
    EXPECT_EQ(bus.deviceDescriptor(restarting, &d), UsbStatus::Gone);
    virtualClock.advance(std::chrono::milliseconds(100));
    const std::vector<std::pair<std::string, bool>> expected{{other, true}, {other, false}, {"sim:3", true}};
    EXPECT_EQ(events, expected);
    bus.close(restarting);
    bus.removeHotplugListener(listener);

    const std::vector<SimRequest> transcript = bus.transcript();
    ASSERT_FALSE(transcript.empty());
    EXPECT_EQ(transcript.back().kind, SimRequestKind::Reset);
    EXPECT_EQ(transcript.back().path, other);
}

} // namespace
