// The simulated STM32 converter as a DFU 1.1 device, straight on the bus in virtual time: the
// variants its bmAttributes choose, the error status knob, and what a reset and a power-up start.

#include "platform/Clock.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimScenario.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/stm32/SimStm32Bootloader.h"
#include "protocol/DfuProtocol.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace platform;
namespace Dfu = TWG::Dfu;

namespace {

constexpr std::uint8_t kBoth =
    Dfu::kAttributeWillDetach | Dfu::kAttributeManifestationTolerant | Dfu::kAttributeCanDnload;
constexpr std::uint8_t kTolerantOnly = Dfu::kAttributeManifestationTolerant | Dfu::kAttributeCanDnload;
constexpr std::uint8_t kWillDetachOnly = Dfu::kAttributeWillDetach | Dfu::kAttributeCanDnload;
constexpr std::uint8_t kNeither = Dfu::kAttributeCanDnload;

struct Answer {
    std::uint8_t status = 0xFF;
    std::uint32_t poll = 0;
    std::uint8_t state = 0xFF;
};

class SimStm32DfuDevice : public ::testing::Test {
protected:
    void TearDown() override
    {
        closeHandle();
        EXPECT_EQ(bus.liveObjects(), 0);
    }

    // Attaches the converter as that persona and opens it.
    void plug(bool bootloader)
    {
        ASSERT_NO_FATAL_FAILURE(openOnly(bus.attach(SimStm32Application::persona(state, bootloader))));
    }
    void openOnly(const std::string& p)
    {
        closeHandle();
        path = p;
        ASSERT_EQ(bus.open(path, &handle), UsbStatus::Success);
    }
    void closeHandle()
    {
        if (handle)
            bus.close(handle);
        handle = kNoUsbHandle;
    }
    // The one device on the bus, or null.
    std::shared_ptr<SimDevice> present()
    {
        const std::vector<UsbDeviceInfo> devices = bus.listDevices();
        return devices.size() == 1 ? bus.device(devices[0].path) : nullptr;
    }
    bool bootloaderPresent() { return std::dynamic_pointer_cast<SimStm32Bootloader>(present()) != nullptr; }
    bool applicationPresent() { return present() && !bootloaderPresent(); }
    // Follows the converter to its new path once it has come back.
    void follow()
    {
        clock.advance(Clock::Duration(state->dfu.reenumerateDelayMs));
        const std::vector<UsbDeviceInfo> devices = bus.listDevices();
        ASSERT_EQ(devices.size(), 1u);
        ASSERT_NO_FATAL_FAILURE(openOnly(devices[0].path));
    }

    UsbStatus request(std::uint8_t type, std::uint8_t request, std::uint16_t value, Bytes* data)
    {
        UsbSetup s{type, request, value, state->dfu.interfaceNumber, static_cast<std::uint16_t>(data->size())};
        std::uint32_t n = 0;
        return bus.controlTransfer(handle, s, data->empty() ? nullptr : data->data(), 1000, &n);
    }
    UsbStatus out(std::uint8_t bRequest, std::uint16_t value = 0, Bytes data = {})
    {
        return request(Dfu::kRequestOut, bRequest, value, &data);
    }
    Answer getStatus()
    {
        Bytes b(Dfu::kStatusLength, 0xEE);
        Answer a;
        if (request(Dfu::kRequestIn, Dfu::kGetStatus, 0, &b) == UsbStatus::Success)
            a = {b[0], static_cast<std::uint32_t>(b[1] | b[2] << 8 | b[3] << 16), b[4]};
        return a;
    }
    // One block and the empty DNLOAD that ends the download.
    void download()
    {
        ASSERT_EQ(out(Dfu::kDnload, 0, Bytes(100, 0x42)), UsbStatus::Success);
        clock.advance(Clock::Duration(state->dfu.pollTimeoutMs));
        ASSERT_EQ(getStatus().state, Dfu::kStateDnloadIdle);
        ASSERT_EQ(out(Dfu::kDnload, 1), UsbStatus::Success);
    }

    VirtualClock clock;
    ClockOverride clockOverride{&clock};
    SimBackend bus;
    std::shared_ptr<SimStm32State> state = std::make_shared<SimStm32State>();
    UsbHandle handle = kNoUsbHandle;
    std::string path;
};

} // namespace

TEST_F(SimStm32DfuDevice, ScenarioChoosesTheVariantAndTheErrorStatus)
{
    QString error;
    ASSERT_TRUE(loadSimScenario(R"({"devices": [{"model": "stm32-boot", "dfu": {"attributes": "0x05",
        "detachTimeout": 250, "errorState": 5, "errorAt": 2, "errorStatus": "0x03"}}]})",
                                bus, &error))
        << error.toStdString();
    auto boot = std::dynamic_pointer_cast<SimStm32Bootloader>(present());
    ASSERT_TRUE(boot);
    const SimStm32Dfu& d = boot->state()->dfu;
    EXPECT_EQ(d.attributes, kTolerantOnly);
    EXPECT_EQ(d.detachTimeoutMs, 250);
    EXPECT_EQ(d.errorState, Dfu::kStateDnloadIdle);
    EXPECT_EQ(d.errorAt, 2);
    EXPECT_EQ(d.errorStatus, Dfu::kStatusErrWrite);
    // bmAttributes is what the host reads in the functional descriptor.
    const SimInterface& dfu = boot->descriptors().configurations[0].interfaces.at(1);
    ASSERT_EQ(dfu.classDescriptors.size(), 1u);
    EXPECT_EQ(dfu.classDescriptors[0][Dfu::kFunctionalAttributesOffset], kTolerantOnly);

    SimBackend other;
    EXPECT_FALSE(loadSimScenario(R"({"devices": [{"model": "stm32-boot", "dfu": {"errorState": 300}}]})", other,
                                 &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("stm32: bad \"errorState\""))) << error.toStdString();
}

TEST_F(SimStm32DfuDevice, WithoutWillDetachTheApplicationWaitsForTheResetWithinItsDetachTimeout)
{
    state->dfu.detachTimeoutMs = 300; // shorter than the host's 1000 ms: the device's own limit holds
    for (const bool inTime : {true, false}) {
        SCOPED_TRACE(inTime ? "reset in time" : "reset too late");
        state->dfu.attributes = kTolerantOnly;
        ASSERT_NO_FATAL_FAILURE(plug(false));
        ASSERT_EQ(getStatus().state, Dfu::kStateAppIdle);
        ASSERT_EQ(out(Dfu::kDetach, Dfu::kDetachWaitMs), UsbStatus::Success);
        EXPECT_EQ(getStatus().state, Dfu::kStateAppDetach);
        clock.advance(Clock::Duration(inTime ? 250 : 350));
        if (!inTime) {
            EXPECT_EQ(getStatus().state, Dfu::kStateAppIdle) << "back to normal operation";
        }
        ASSERT_EQ(bus.reset(handle), UsbStatus::Success);
        EXPECT_EQ(present() == nullptr, inTime) << "a reset in time re-enumerates it";
        clock.advance(Clock::Duration(state->dfu.reenumerateDelayMs));
        EXPECT_EQ(bootloaderPresent(), inTime);
        closeHandle();
        for (const UsbDeviceInfo& d : bus.listDevices())
            bus.detach(d.path);
    }
    // With willDetach it goes at once, with no reset.
    state->dfu.attributes = kBoth;
    ASSERT_NO_FATAL_FAILURE(plug(false));
    ASSERT_EQ(out(Dfu::kDetach, Dfu::kDetachWaitMs), UsbStatus::Success);
    EXPECT_FALSE(present());
    ASSERT_NO_FATAL_FAILURE(follow());
    EXPECT_TRUE(bootloaderPresent());
}

namespace {

struct Manifestation {
    const char* name;
    std::uint8_t attributes;
    bool waitResetAfterManifest;
    std::uint8_t end;       // the state the manifestation ends in
    bool leavesByItself;    // and then, without a reset, it starts its application
};

void PrintTo(const Manifestation& m, std::ostream* os) { *os << m.name; }

class SimStm32Manifestation : public SimStm32DfuDevice, public ::testing::WithParamInterface<Manifestation> {};

} // namespace

TEST_P(SimStm32Manifestation, TheStatusRequestsRunItAndTheAttributesSayWhereItEnds)
{
    const Manifestation& m = GetParam();
    state->dfu.attributes = m.attributes;
    state->dfu.waitResetAfterManifest = m.waitResetAfterManifest;
    ASSERT_NO_FATAL_FAILURE(plug(true));
    ASSERT_NO_FATAL_FAILURE(download());
    // Nothing happens until the host asks: the image is whole, the manifestation waits.
    clock.advance(Clock::Duration(10000));
    EXPECT_EQ(bootloaderPresent() ? std::dynamic_pointer_cast<SimStm32Bootloader>(present())->dfuState() : 0xFF,
              Dfu::kStateManifestSync);
    EXPECT_TRUE(state->applicationValid);
    const Answer started = getStatus();
    EXPECT_EQ(started.state, Dfu::kStateManifest);
    EXPECT_EQ(started.poll, state->dfu.pollTimeoutMs);
    EXPECT_EQ(getStatus().state, Dfu::kStateManifest) << "still busy before bwPollTimeout";
    clock.advance(Clock::Duration(started.poll));
    const Answer ended = getStatus();
    EXPECT_EQ(ended.status, Dfu::kStatusOk);
    EXPECT_EQ(ended.state, m.end);

    if (m.leavesByItself && m.end == Dfu::kStateDfuIdle) {
        // This product line's bootloader starts the application once it has said so.
        EXPECT_FALSE(present());
    } else if (m.leavesByItself) {
        // In dfuMANIFEST-WAIT-RESET a device with willDetach detaches a little later; a reset
        // until then would do as well.
        EXPECT_EQ(getStatus().state, m.end);
        clock.advance(Clock::Duration(state->dfu.waitResetDetachMs));
        EXPECT_FALSE(present());
    } else {
        clock.advance(Clock::Duration(10000));
        EXPECT_EQ(getStatus().state, m.end) << "it waits for the host's reset";
        ASSERT_EQ(bus.reset(handle), UsbStatus::Success);
        EXPECT_FALSE(present());
    }
    ASSERT_NO_FATAL_FAILURE(follow());
    EXPECT_TRUE(applicationPresent());
    EXPECT_EQ(state->manifestations, 1);
    EXPECT_TRUE(state->violations.empty()) << state->violations.front();
}

INSTANTIATE_TEST_SUITE_P(
    Variants, SimStm32Manifestation,
    ::testing::Values(Manifestation{"Both", kBoth, false, Dfu::kStateDfuIdle, true},
                      Manifestation{"WillDetachClear", kTolerantOnly, false, Dfu::kStateDfuIdle, false},
                      Manifestation{"ManifestationTolerantClear", kWillDetachOnly, false,
                                    Dfu::kStateManifestWaitReset, true},
                      Manifestation{"BothClear", kNeither, false, Dfu::kStateManifestWaitReset, false},
                      Manifestation{"TolerantYetWaitsForAReset", kBoth, true, Dfu::kStateManifestWaitReset, false}),
    [](const ::testing::TestParamInfo<Manifestation>& info) { return std::string(info.param.name); });

TEST_F(SimStm32DfuDevice, AnErrorStatusStrikesOnceInItsStateAndLeavesTheDeviceInDfuError)
{
    state->dfu.errorState = Dfu::kStateDnloadIdle;
    state->dfu.errorStatus = Dfu::kStatusErrProg;
    ASSERT_NO_FATAL_FAILURE(plug(true));
    ASSERT_EQ(out(Dfu::kDnload, 0, Bytes(100, 0x42)), UsbStatus::Success);
    clock.advance(Clock::Duration(state->dfu.pollTimeoutMs));
    const Answer a = getStatus();
    EXPECT_EQ(a.status, Dfu::kStatusErrProg);
    EXPECT_EQ(a.state, Dfu::kStateDnloadIdle) << "reported in the state it struck in";
    const Answer b = getStatus();
    EXPECT_EQ(b.status, Dfu::kStatusErrProg);
    EXPECT_EQ(b.state, Dfu::kStateError);
    EXPECT_FALSE(state->applicationValid);
    ASSERT_EQ(out(Dfu::kClrStatus), UsbStatus::Success);
    const Answer c = getStatus();
    EXPECT_EQ(c.status, Dfu::kStatusOk);
    EXPECT_EQ(c.state, Dfu::kStateDfuIdle);
    // Once only: the next download goes through.
    ASSERT_NO_FATAL_FAILURE(download());
}

TEST_F(SimStm32DfuDevice, PowerAndResetStartTheApplicationOnlyWhenTheImageIsWhole)
{
    state->flash.clear();
    ASSERT_NO_FATAL_FAILURE(plug(true));
    ASSERT_EQ(out(Dfu::kDnload, 0, Bytes(100, 0x42)), UsbStatus::Success);
    EXPECT_FALSE(state->applicationValid) << "a download under way";
    // A reset finds no whole application: the bootloader stays, in dfuERROR.
    ASSERT_EQ(bus.reset(handle), UsbStatus::Success);
    ASSERT_TRUE(bootloaderPresent());
    const Answer a = getStatus();
    EXPECT_EQ(a.state, Dfu::kStateError);
    EXPECT_EQ(a.status, Dfu::kStatusErrFirmware);
    closeHandle();
    bus.detach(path);
    // Power returns to the same: the bootloader.
    ASSERT_NO_FATAL_FAILURE(openOnly(bus.attach(SimStm32Application::powerOn(state))));
    EXPECT_TRUE(bootloaderPresent());
    ASSERT_EQ(getStatus().state, Dfu::kStateDfuIdle);
    ASSERT_NO_FATAL_FAILURE(download());
    closeHandle();
    bus.detach(path);
    // The empty block made the image whole, manifested or not.
    ASSERT_NO_FATAL_FAILURE(openOnly(bus.attach(SimStm32Application::powerOn(state))));
    EXPECT_TRUE(applicationPresent());
}
