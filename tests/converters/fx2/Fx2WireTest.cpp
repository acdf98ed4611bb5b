// The FX2 requests as they go on the wire, each number written out from the request table
// rather than taken from the protocol header that host and simulator share.

#include "Fx2SimFixture.h"

#include "platform/sim/models/fx2/SimFx2Blank.h"
#include "tests/converters/support/WireGolden.h"

#include <functional>

using namespace fx2test;
using convtest::bulkOut;
using convtest::in;
using convtest::out;
using convtest::Wire;
using TWG::Converters::AbstractUSBDevice;
using TWG::Converters::ConverterInstance;

namespace {

// Product 0xBD17 of vendor 0x7C5D: a converter without an AT90.
constexpr std::uint16_t kProduct = 0xBD17;

// One byte of the boot EEPROM brought from erased to the value: read, write, read back.
std::vector<Wire> eepromUpdate(std::uint16_t address, std::uint8_t value, std::uint8_t was = 0xFF)
{
    if (was == value)
        return {in(0xC0, 0xD4, 0, address, 1, {value})};
    return {in(0xC0, 0xD4, 0, address, 1, {was}), out(0x40, 0xD3, 0, address, {value}),
            in(0xC0, 0xD4, 0, address, 1, {value})};
}

std::vector<Wire> eepromBytes(std::uint16_t from, const Bytes& values)
{
    std::vector<Wire> wire;
    for (std::size_t i = 0; i < values.size(); ++i)
        wire = wire + eepromUpdate(static_cast<std::uint16_t>(from + i), values[i]);
    return wire;
}

// Plain byte writes from the address on.
std::vector<Wire> eepromWrites(std::uint16_t from, const Bytes& values)
{
    std::vector<Wire> wire;
    for (std::size_t i = 0; i < values.size(); ++i)
        wire.push_back(out(0x40, 0xD3, 0, static_cast<std::uint16_t>(from + i), {values[i]}));
    return wire;
}

// A RAM image of one data record (two bytes at 0x1234) and the end record.
const Bytes kRamImage = {0x02, 0x12, 0x34, 0x00, 0xAA, 0xBB, 0x5A, 0x00, 0x00, 0x00, 0x01, 0xFF};

// The boot header of vendor 0x7C5D, product 0xBD17, device 0x0001.
const Bytes kC0Header = {0xC0, 0x5D, 0x7C, 0x17, 0xBD, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};

class Fx2Wire : public Fx2SimFixture {
protected:
    // The device opened as the notifier would, its product entry carrying kRamImage.
    AbstractUSBDevice* openWithImage(const std::string& at, bool startUp)
    {
        TWG::USB::DriverConnection* c = TWG::USB::DriverConnection::connectToDriverWithPath(at, platform::kNoWindow, 0);
        if (!c)
            return nullptr;
        auto* usb = new TWG::USB::CUSBDevice(c);
        c->release();
        TWG::Converters::Fx2ProductEntry entry;
        entry.productId = kProduct;
        entry.ramImage = std::make_shared<const Bytes>(kRamImage);
        AbstractUSBDevice* d = ConverterInstance::create(usb, entry);
        usb->release();
        opened.push_back(d);
        if (startUp && !d->openBulkInterface())
            return nullptr;
        return d;
    }
};

} // namespace

TEST_F(Fx2Wire, EveryOperationSendsTheRequestsOfTheTable)
{
    struct Row {
        const char* operation;
        std::function<bool(AbstractUSBDevice&)> prepare; // its requests are not part of the golden
        std::function<bool(AbstractUSBDevice&)> run;
        std::vector<Wire> wire;
    };
    const Bytes flashData = pattern(300, 5);
    Bytes secondPage(flashData.begin() + 256, flashData.end());
    secondPage.resize(256, 0x00);
    const Row rows[] = {
        {"isPowered", {}, [](AbstractUSBDevice& d) { bool on = false; return d.isPowered(&on) && on; },
         {in(0xC0, 0xE1, 0, 0, 1, {0x01})}},
        {"probeReady", {}, [](AbstractUSBDevice& d) { bool ready = false; return d.probeReady(&ready) && ready; },
         {in(0xC0, 0xD5, 0, 0, 1, {0x01})}},
        {"readRegister", {}, [](AbstractUSBDevice& d) { std::uint8_t v = 0; return d.readRegister(0x42, &v) && v == 0x17; },
         {in(0xC0, 0xD6, 0, 0x4200, 1, {0x17})}},
        {"readVersionRegister", {}, [](AbstractUSBDevice& d) { std::uint8_t v = 0; return d.readVersionRegister(&v) && v == 9; },
         {in(0xC0, 0xD6, 0, 0x0100, 1, {0x09})}},
        {"writeRegister", {}, [](AbstractUSBDevice& d) { return d.writeRegister(0x42, 0x9C); },
         {out(0x40, 0xD7, 0, 0x429C)}},
        {"waitUntilReady (a converter reads register 0 once)", {}, [](AbstractUSBDevice& d) { return d.waitUntilReady(); },
         {in(0xC0, 0xD6, 0, 0x0000, 1, {0x01})}},
        {"sendModePair", {}, [](AbstractUSBDevice& d) { return d.sendModePair(0x03, 0x02); },
         {out(0x40, 0xD2, 0, 0, {0x03, 0x02})}},
        {"enterProgramming", {}, [](AbstractUSBDevice& d) { return d.enterProgramming(0); },
         {out(0x40, 0xDB, 0, 0)}},
        {"leaveProgramming", [](AbstractUSBDevice& d) { return d.enterProgramming(0); },
         [](AbstractUSBDevice& d) { return d.leaveProgramming(); },
         {out(0x40, 0xDC, 0, 0)}},
        {"eraseFlash of one block", {}, [](AbstractUSBDevice& d) { return d.eraseFlash(0x120000, 0x100); },
         {out(0x40, 0xDB, 0, 0), out(0x40, 0xE0, 0, 0, {0x12, 0x00, 0x00}), in(0xC0, 0xDF, 0, 0, 1, {0x00}),
          in(0xC0, 0xDF, 0, 0, 1, {0x01}), out(0x40, 0xD2, 0, 0, {0x01, 0x00})}},
        {"writeFlash of 300 bytes: two addressed pages, the second padded",
         [](AbstractUSBDevice& d) { return d.eraseFlash(0x120000, 300); },
         [&](AbstractUSBDevice& d) { return d.writeFlash(flashData.data(), 300); },
         {out(0x40, 0xDE, 0, 0, {0x12, 0x00, 0x00}), bulkOut(0x02, Bytes(flashData.begin(), flashData.begin() + 256)),
          in(0xC0, 0xDF, 0, 0, 1, {0x01}),
          out(0x40, 0xDE, 0, 0, {0x12, 0x01, 0x00}), bulkOut(0x02, secondPage), in(0xC0, 0xDF, 0, 0, 1, {0x01})}},
        {"restartAndWait", [](AbstractUSBDevice& d) { return d.enterProgramming(0); },
         [](AbstractUSBDevice& d) { return d.restartAndWait(true); },
         {out(0x40, 0xDC, 0, 0), in(0xC0, 0xD6, 0, 0x0000, 1, {0x00}), in(0xC0, 0xD6, 0, 0x0000, 1, {0x01})}},
        {"readEepromByte", {}, [](AbstractUSBDevice& d) { std::uint8_t v = 0; return d.readEepromByte(0x0123, &v) && v == 0xFF; },
         {in(0xC0, 0xD4, 0, 0x0123, 1, {0xFF})}},
        {"writeEepromByte", {}, [](AbstractUSBDevice& d) { return d.writeEepromByte(0x0123, 0x5A); },
         {out(0x40, 0xD3, 0, 0x0123, {0x5A})}},
        {"writeBootHeader (C0)", {}, [](AbstractUSBDevice& d) { return d.writeBootHeader(); },
         eepromBytes(0, kC0Header)},
        {"clearBootHeader", [](AbstractUSBDevice& d) { return d.writeBootHeader(); },
         [](AbstractUSBDevice& d) { return d.clearBootHeader(); },
         [] {
             std::vector<Wire> wire;
             for (std::uint16_t a = 0; a < 8; ++a)
                 wire = wire + eepromUpdate(a, 0xFF, kC0Header[a]);
             return wire;
         }()},
        {"writeC2Image: header with C0, configuration, records, end record, then C2", {},
         [](AbstractUSBDevice& d) { return d.writeC2Image(); },
         eepromWrites(0, {0xC0, 0x5D, 0x7C, 0x17, 0xBD, 0x01, 0x00, 0x01}) +
             eepromWrites(8, {0x00, 0x02, 0x12, 0x34, 0xAA, 0xBB, 0x80, 0x01, 0xE6, 0x00, 0x00}) +
             std::vector<Wire>{out(0x40, 0xD3, 0, 0, {0xC2}), in(0xC0, 0xD4, 0, 0, 1, {0xC2})}},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.operation);
        platform::SimFx2Running::Options options;
        options.version = 9;
        options.eraseMs = 0;
        options.restartMs = 0;
        options.registers = {{0x42, 0x17}};
        auto model = platform::SimFx2Running::create(platform::SimFx2Running::descriptors(kVendor, kProduct), options);
        path = bus.attach(model);
        AbstractUSBDevice* d = openWithImage(path, true);
        ASSERT_TRUE(d);
        if (row.prepare) {
            ASSERT_TRUE(row.prepare(*d));
        }
        bus.clearTranscript();
        EXPECT_TRUE(row.run(*d));
        convtest::expectWire(convtest::wireOf(bus), row.wire);
        EXPECT_TRUE(model->violations().empty()) << model->violations().front();
        bus.detach(path);
    }
}

TEST_F(Fx2Wire, RamDownloadHoldsTheCpuWritesEachRecordAndReleasesIt)
{
    path = bus.attach(std::make_shared<platform::SimFx2Blank>(kVendor, kProduct, [] { return nullptr; }));
    AbstractUSBDevice* d = openWithImage(path, false);
    ASSERT_TRUE(d);
    bus.clearTranscript();
    ASSERT_TRUE(d->downloadRamFirmware());
    convtest::expectWire(convtest::wireOf(bus), {out(0x40, 0xA0, 0xE600, 0, {0x01}),
                                                 out(0x40, 0xA0, 0x1234, 0, {0xAA, 0xBB}),
                                                 out(0x40, 0xA0, 0xE600, 0, {0x00})});
}
