#include "platform/Clock.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimScenario.h"
#include "platform/sim/models/xmega/SimXmegaApplication.h"
#include "platform/sim/models/xmega/SimXmegaBootloader.h"
#include "protocol/XmegaProtocol.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace platform;
namespace x = TWG::Converters::xmega;

namespace {

// A host's view of one simulated XMEGA device, straight on the bus.
class SimXmegaModel : public ::testing::Test {
protected:
    void TearDown() override
    {
        closeHandle();
        EXPECT_EQ(bus.liveObjects(), 0);
    }
    void openPath(const std::string& p)
    {
        closeHandle();
        path = p;
        ASSERT_EQ(bus.open(path, &handle), UsbStatus::Success);
        ASSERT_EQ(bus.claimInterface(handle, 0), UsbStatus::Success);
    }
    void closeHandle()
    {
        if (handle) {
            bus.releaseInterface(handle, 0);
            bus.close(handle);
            handle = kNoUsbHandle;
        }
    }
    UsbStatus out(std::uint8_t request, std::uint16_t value, Bytes data = {})
    {
        UsbSetup s{x::kVendorInterfaceOut, request, value, 0, static_cast<std::uint16_t>(data.size())};
        std::uint32_t n = 0;
        return bus.controlTransfer(handle, s, data.data(), 1000, &n);
    }
    UsbStatus in(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint16_t length, Bytes* answer)
    {
        answer->assign(length, 0xEE);
        UsbSetup s{type, request, value, 0, length};
        std::uint32_t n = 0;
        const UsbStatus st = bus.controlTransfer(handle, s, answer->data(), 1000, &n);
        answer->resize(n);
        return st;
    }
    UsbStatus bulk(Bytes data)
    {
        std::uint32_t n = 0;
        return bus.transfer(handle, 0x02, UsbTransferType::Bulk, data.data(), static_cast<std::uint32_t>(data.size()), 1000,
                            &n);
    }
    std::shared_ptr<SimXmegaState> stateAt(const std::string& p)
    {
        auto d = std::dynamic_pointer_cast<SimXmegaDevice>(bus.device(p));
        return d ? d->state() : nullptr;
    }
    static Bytes le32(std::uint32_t a, std::uint32_t b = 0, bool two = false)
    {
        Bytes v;
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<std::uint8_t>(a >> (8 * i)));
        if (two)
            for (int i = 0; i < 4; ++i)
                v.push_back(static_cast<std::uint8_t>(b >> (8 * i)));
        return v;
    }

    VirtualClock clock;
    ClockOverride clockOverride{&clock};
    SimBackend bus;
    UsbHandle handle = kNoUsbHandle;
    std::string path;
};

} // namespace

TEST_F(SimXmegaModel, ScenarioBuildsBothPersonasWithTheirFields)
{
    QString error;
    ASSERT_TRUE(loadSimScenario(R"({"devices": [
        {"model": "xmega-app", "product": "0xBDF2", "uuid": "00112233445566778899aabbccddeeff",
         "versions": [7, 8], "packet": 32, "staleSession": true, "memory": {"40": 7, "0x2C": "0x80"},
         "versionsAfterWrite": [9, "0xA"], "versionByteAfterUpdate": 3,
         "eeproms": [{"size": "0x100000", "sector": 4096, "page": 96}]},
        {"model": "xmega-boot", "pageSize": 128, "pageCount": 16, "application": "present"}]})",
                                bus, &error))
        << error.toStdString();
    const auto devices = bus.listDevices();
    ASSERT_EQ(devices.size(), 2u);
    auto app = std::dynamic_pointer_cast<SimXmegaDevice>(bus.device(devices[0].path));
    ASSERT_TRUE(app);
    EXPECT_FALSE(app->isBootloader());
    EXPECT_EQ(devices[0].descriptor.idProduct, 0xBDF2);
    EXPECT_TRUE(app->state()->hasPowerRequest) << "0xBDF2 answers the power request";
    EXPECT_EQ(app->state()->uuid[15], 0xFF);
    EXPECT_EQ(app->state()->versions[1], 8u);
    ASSERT_TRUE(app->state()->versionsAfterWrite);
    EXPECT_EQ(app->state()->versionsAfterWrite({}), std::make_pair(9u, 10u));
    EXPECT_EQ(app->state()->versionByteAfterUpdate, std::optional<std::uint8_t>(3));
    EXPECT_TRUE(app->state()->sessionOpen);
    EXPECT_EQ(app->state()->memory[40], 7);
    EXPECT_EQ(app->state()->memory[44], 0x80);
    ASSERT_EQ(app->state()->eeproms.size(), 1u);
    EXPECT_EQ(app->state()->eeproms[0].pageSize, 96u);
    EXPECT_EQ(app->descriptors().configurations[0].interfaces[0].endpoints[0].maxPacketSize, 32);

    auto boot = std::dynamic_pointer_cast<SimXmegaDevice>(bus.device(devices[1].path));
    ASSERT_TRUE(boot);
    EXPECT_TRUE(boot->isBootloader());
    EXPECT_EQ(devices[1].descriptor.idProduct, 0xBD86);
    EXPECT_EQ(boot->state()->application.size(), 128u * 16);
    EXPECT_TRUE(boot->state()->applicationPresent());
    EXPECT_FALSE(boot->state()->versionsAfterWrite) << "unset: the versions stay after a write";
    EXPECT_FALSE(boot->state()->versionByteAfterUpdate);

    for (const char* bad : {R"({"devices": [{"model": "xmega-app", "uuid": "0011"}]})",
                            R"({"devices": [{"model": "xmega-boot", "pageSize": "big"}]})",
                            R"({"devices": [{"model": "xmega-app", "memory": {"40": 256}}]})",
                            R"({"devices": [{"model": "xmega-boot", "versionsAfterWrite": [1]}]})",
                            R"({"devices": [{"model": "xmega-boot", "versionsAfterWrite": 1}]})",
                            R"({"devices": [{"model": "xmega-app", "versionByteAfterUpdate": 256}]})"}) {
        SimBackend other;
        EXPECT_FALSE(loadSimScenario(bad, other, &error)) << bad;
        EXPECT_FALSE(error.isEmpty());
    }
}

// Memory sizes a scenario could ask for by the gigabyte are refused, naming the field, before
// anything is allocated; the largest sizes allowed still load.
TEST_F(SimXmegaModel, RefusesMemorySizesNoConverterHas)
{
    const struct {
        const char* json;
        const char* reason; // null: loads
    } cases[] = {
        {R"({"devices": [{"model": "xmega-boot", "pageSize": 65535, "pageCount": 65535}]})", "\"pageSize\" x \"pageCount\""},
        {R"({"devices": [{"model": "xmega-boot", "pageSize": 1024, "pageCount": 1025}]})", "\"pageSize\" x \"pageCount\""},
        {R"({"devices": [{"model": "xmega-boot", "pageSize": 1024, "pageCount": 1024}]})", nullptr},
        {R"({"devices": [{"model": "xmega-app", "eeproms": [{"size": "0x4000001"}]}]})", "\"size\""},
        {R"({"devices": [{"model": "xmega-app", "eeproms": [{"size": "0x2000000"}, {"size": "0x2000000"},
                                                              {"size": 1}]}]})", "\"eeproms\""},
        {R"({"devices": [{"model": "xmega-app", "eeproms": [{"size": "0x2000000"}, {"size": "0x2000000"}]}]})", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        SimBackend other;
        QString error;
        EXPECT_EQ(loadSimScenario(c.json, other, &error), c.reason == nullptr) << error.toStdString();
        if (c.reason) {
            EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        }
    }
}

TEST_F(SimXmegaModel, RestartsReenumerateIntoTheRequestedPersonaWithTheSameUuid)
{
    auto s = std::make_shared<SimXmegaState>();
    s->uuid.fill(0x5A);
    s->restartDelayMs = 250;
    openPath(bus.attach(SimXmegaDevice::persona(s, false)));
    Bytes a;
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kGetMode, 0, 1, &a), UsbStatus::Success);
    EXPECT_EQ(a, Bytes{0});

    ASSERT_EQ(out(x::kRestart, x::kRestartBootloader), UsbStatus::Success);
    EXPECT_TRUE(bus.listDevices().empty()) << "it leaves at once";
    clock.advance(Clock::Duration(249));
    EXPECT_TRUE(bus.listDevices().empty());
    clock.advance(Clock::Duration(1));
    ASSERT_EQ(bus.listDevices().size(), 1u);
    openPath(bus.listDevices()[0].path);
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kGetMode, 0, 1, &a), UsbStatus::Success);
    EXPECT_EQ(a, Bytes{1});
    ASSERT_EQ(in(x::kVendorDeviceIn, x::kGetUuid, 0, 16, &a), UsbStatus::Success);
    EXPECT_EQ(a, Bytes(16, 0x5A));

    // Without an application, a start request brings the bootloader back.
    ASSERT_EQ(out(x::kRestart, x::kRestartApplication), UsbStatus::Success);
    clock.advance(Clock::Duration(250));
    openPath(bus.listDevices().at(0).path);
    EXPECT_TRUE(stateAt(path) && std::dynamic_pointer_cast<SimXmegaBootloader>(bus.device(path)));

    ASSERT_EQ(out(x::kWriteApplication, 0, Bytes(16, 0x00)), UsbStatus::Success);
    ASSERT_EQ(out(x::kRestart, x::kRestartApplication), UsbStatus::Success);
    clock.advance(Clock::Duration(250));
    openPath(bus.listDevices().at(0).path);
    EXPECT_TRUE(std::dynamic_pointer_cast<SimXmegaApplication>(bus.device(path)));
    EXPECT_EQ(s->restarts, 3);
}

TEST_F(SimXmegaModel, EachPersonaStallsTheOthersRequests)
{
    auto s = std::make_shared<SimXmegaState>();
    openPath(bus.attach(SimXmegaDevice::persona(s, false)));
    Bytes a;
    EXPECT_EQ(out(x::kEraseApplication, 0), UsbStatus::Stall);
    EXPECT_EQ(in(x::kVendorInterfaceIn, x::kGetBootloaderStatus, 0, 4, &a), UsbStatus::Stall);
    EXPECT_EQ(in(x::kVendorInterfaceIn, x::kIsPowered, 0, 1, &a), UsbStatus::Stall) << "not a powered model";
    closeHandle();
    openPath(bus.attach(SimXmegaDevice::persona(std::make_shared<SimXmegaState>(), true)));
    EXPECT_EQ(out(x::kOpenSession, 0), UsbStatus::Stall);
    EXPECT_EQ(in(x::kVendorInterfaceIn, x::kReadMemory, 0, 4, &a), UsbStatus::Stall);
    EXPECT_EQ(out(x::kSetIdentity, 0, Bytes(14, 'x')), UsbStatus::Stall) << "a bad identity field";
}

TEST_F(SimXmegaModel, RegistersFollowTheDeviceSemantics)
{
    auto s = std::make_shared<SimXmegaState>();
    s->versionByte = 0x23;
    openPath(bus.attach(SimXmegaDevice::persona(s, false)));
    Bytes a;
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kReadMemory, 0, 1, &a), UsbStatus::Success);
    EXPECT_EQ(a, Bytes{0x23});
    s->powered = false;
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kReadMemory, 0, 1, &a), UsbStatus::Success);
    EXPECT_EQ(a, Bytes{0x00}) << "the version byte reads 0 without power";

    ASSERT_EQ(out(x::kWriteMemory, 52, le32(2)), UsbStatus::Success); // downconversion mode 3
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kReadMemory, 52, 1, &a), UsbStatus::Success);
    EXPECT_EQ(a[0] & 0x10, 0x10);
    EXPECT_EQ(((a[0] >> 2) & 3) + 1, 3);

    const char name[] = "Warm look";
    std::copy(name, name + sizeof name, s->eeproms[0].bytes.begin() + 0x3B0000);
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kReadMemory, 768, 12, &a), UsbStatus::Success);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data())), "Warm look");

    ASSERT_EQ(out(x::kSelectSegment, 2), UsbStatus::Success);
    ASSERT_EQ(out(x::kWriteMemory, 0x10, Bytes{9}), UsbStatus::Success);
    EXPECT_EQ(s->memory.at(0x20010), 9);
}

TEST_F(SimXmegaModel, EepromSessionEraseProgressStreamAndViolations)
{
    auto s = std::make_shared<SimXmegaState>();
    s->eeproms = {SimXmegaEeprom(1 << 20, 4096, 256)};
    s->eraseMsPerSector = 100;
    openPath(bus.attach(SimXmegaDevice::persona(s, false)));
    EXPECT_EQ(bulk(Bytes(64, 1)), UsbStatus::Stall);
    EXPECT_EQ(s->violations.back(), "EEPROM data with no target armed");
    ASSERT_EQ(out(x::kOpenSession, 0), UsbStatus::Success);
    ASSERT_EQ(out(x::kSetTargetEeprom, 0), UsbStatus::Success);
    EXPECT_EQ(out(x::kSetTargetEeprom, 1), UsbStatus::Stall);

    std::fill(s->eeproms[0].bytes.begin(), s->eeproms[0].bytes.begin() + 8192, 0x00);
    ASSERT_EQ(out(x::kEraseEeprom, 0, le32(0, 2, true)), UsbStatus::Success);
    Bytes p;
    clock.advance(Clock::Duration(150));
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kGetEepromProgress, 0, 15, &p), UsbStatus::Success);
    EXPECT_EQ(p[8], 1) << "one sector done";
    EXPECT_EQ(p[4], 2);
    EXPECT_EQ(p[12], 1) << "busy";
    clock.advance(Clock::Duration(100));
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kGetEepromProgress, 0, 15, &p), UsbStatus::Success);
    EXPECT_EQ(p[12], 0);
    EXPECT_TRUE(std::all_of(s->eeproms[0].bytes.begin(), s->eeproms[0].bytes.begin() + 8192, [](std::uint8_t b) { return b == 0xFF; }));

    // Page 1: whole packets, then the ZLP ends the stream; a short packet ends it too.
    ASSERT_EQ(out(x::kWriteEepromData, 0, le32(1)), UsbStatus::Success);
    ASSERT_EQ(bulk(Bytes(320, 0xA5)), UsbStatus::Success);
    ASSERT_EQ(bulk({}), UsbStatus::Success);
    EXPECT_FALSE(s->armed);
    EXPECT_EQ(s->eeproms[0].bytes[256], 0xA5);
    EXPECT_EQ(s->eeproms[0].bytes[256 + 319], 0xA5);
    EXPECT_EQ(s->eeproms[0].bytes[256 + 320], 0xFF);
    Bytes st;
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kGetSessionStatus, 0, 6, &st), UsbStatus::Success);
    EXPECT_EQ(st[0], 1);
    EXPECT_EQ(st[1], 1) << "busy finishing the write";
    clock.advance(Clock::Duration(s->writeBusyMs));
    ASSERT_EQ(in(x::kVendorInterfaceIn, x::kGetSessionStatus, 0, 6, &st), UsbStatus::Success);
    EXPECT_EQ(st[1], 0);
    EXPECT_TRUE(s->violations.size() == 1u);

    ASSERT_EQ(out(x::kWriteEepromData, 0, le32(1)), UsbStatus::Success);
    ASSERT_EQ(bulk(Bytes(10, 0x0F)), UsbStatus::Success);
    EXPECT_FALSE(s->armed) << "a short packet ends the stream";
    ASSERT_EQ(s->violations.size(), 2u);
    EXPECT_EQ(s->violations.back(), "programming an unerased EEPROM page at 0x100");
    EXPECT_EQ(s->eeproms[0].bytes[256], 0xA5 & 0x0F) << "programming ANDs";

    ASSERT_EQ(out(x::kCloseSession, 0), UsbStatus::Success);
    EXPECT_EQ(out(x::kWriteEepromData, 0, le32(0)), UsbStatus::Stall);
    EXPECT_EQ(s->violations.back(), "EEPROM write outside a session");
}

// The FPGA takes the new version only when a session that wrote the image table closes: not
// for other EEPROM data (a LUT), not while the session is open, not for a session cut short.
TEST_F(SimXmegaModel, VersionByteChangesWhenASessionThatWroteTheImageTableCloses)
{
    auto s = std::make_shared<SimXmegaState>();
    s->eeproms = {SimXmegaEeprom(1 << 20, 4096, 256)};
    s->versionByte = 2;
    s->versionByteAfterUpdate = 1;
    s->application[0] = 0; // restarts come back in the application
    openPath(bus.attach(SimXmegaDevice::persona(s, false)));
    const auto versionByte = [&] {
        Bytes a;
        EXPECT_EQ(in(x::kVendorInterfaceIn, x::kReadMemory, 0, 1, &a), UsbStatus::Success);
        return a.empty() ? -1 : a[0];
    };
    const auto stream = [&](std::uint32_t page, Bytes data) {
        ASSERT_EQ(out(x::kWriteEepromData, 0, le32(page)), UsbStatus::Success);
        ASSERT_EQ(bulk(std::move(data)), UsbStatus::Success);
        ASSERT_EQ(bulk({}), UsbStatus::Success);
    };
    Bytes table = le32(0xABEDABED);
    table.resize(144, 0);

    ASSERT_EQ(out(x::kOpenSession, 0), UsbStatus::Success);
    ASSERT_EQ(out(x::kSetTargetEeprom, 0), UsbStatus::Success);
    stream(0, Bytes(256, 0x11));
    ASSERT_EQ(out(x::kCloseSession, 0), UsbStatus::Success);
    EXPECT_EQ(versionByte(), 2) << "no table written";

    ASSERT_EQ(out(x::kOpenSession, 0), UsbStatus::Success);
    stream(16, table);
    ASSERT_EQ(out(x::kRestart, x::kRestartApplication), UsbStatus::Success);
    clock.advance(Clock::Duration(s->restartDelayMs));
    openPath(bus.listDevices().at(0).path);
    EXPECT_EQ(versionByte(), 2) << "the session never closed";

    ASSERT_EQ(out(x::kOpenSession, 0), UsbStatus::Success);
    ASSERT_EQ(out(x::kSetTargetEeprom, 0), UsbStatus::Success);
    stream(32, table);
    EXPECT_EQ(versionByte(), 2) << "still open";
    ASSERT_EQ(out(x::kCloseSession, 0), UsbStatus::Success);
    EXPECT_EQ(versionByte(), 1);
    EXPECT_TRUE(s->violations.empty());
}

TEST_F(SimXmegaModel, BootloaderKeepsIdentityUuidAndRecordsUnerasedApplicationPages)
{
    auto s = std::make_shared<SimXmegaState>();
    s->versionsAfterWrite = [](const Bytes& app) { return std::make_pair<std::uint32_t, std::uint32_t>(app[0], app[0]); };
    openPath(bus.attach(SimXmegaDevice::persona(s, true)));
    Bytes id = {0x5D, 0x7C, 0x86, 0xBD};
    id.insert(id.end(), x::kIdentityField, x::kIdentityField + x::kIdentityFieldLength);
    ASSERT_EQ(out(x::kSetIdentity, 0, id), UsbStatus::Success);
    EXPECT_EQ(s->productId, 0xBD86);
    Bytes u(16, 0x77);
    u.insert(u.end(), x::kIdentityField, x::kIdentityField + x::kIdentityFieldLength);
    ASSERT_EQ(out(x::kProgramUuid, 0, u), UsbStatus::Success);
    EXPECT_EQ(s->uuid[0], 0x77);

    ASSERT_EQ(out(x::kWriteApplication, 1, Bytes(256, 0x09)), UsbStatus::Success);
    ASSERT_EQ(out(x::kWriteApplication, 0, Bytes(256, 0x09)), UsbStatus::Success);
    EXPECT_TRUE(s->violations.empty());
    ASSERT_EQ(out(x::kWriteApplication, 1, Bytes(256, 0x01)), UsbStatus::Success);
    ASSERT_EQ(s->violations.size(), 1u);
    ASSERT_EQ(out(x::kWriteApplication, 0), UsbStatus::Success);
    EXPECT_EQ(s->versions[0], 9u);
    EXPECT_EQ(out(x::kWriteApplication, 200, Bytes(16, 0)), UsbStatus::Stall) << "past the area";
}
