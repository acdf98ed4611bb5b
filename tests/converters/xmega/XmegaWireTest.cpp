// The XMEGA channel's requests as they go on the wire, each number written out from the
// request table rather than taken from the protocol header that host and simulator share.

#include "XmegaSimFixture.h"

#include "converters/xmega/PoweredXmegaDevice.h"
#include "tests/converters/support/WireGolden.h"
#include "tests/support/Bytes.h"

#include <functional>

using namespace xmegatest;
using convtest::bulkOut;
using convtest::in;
using convtest::out;
using convtest::Wire;
using TWG::Converters::PoweredXmegaDevice;
using TWG::Converters::XmegaUSBDevice;

namespace {

class XmegaWire : public XmegaSimFixture {};

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kIdentity = {'T', 'a', 'r', 'n', 'w', 'r', 'i', 'g', 'h', 't'};

} // namespace

TEST_F(XmegaWire, EveryOperationSendsTheRequestsOfTheTable)
{
    using Op = std::function<bool(XmegaUSBDevice&)>;
    struct Row {
        const char* operation;
        bool bootloader;
        Op prepare; // its requests are not part of the golden
        Op run;
        std::vector<Wire> wire;
    };
    const Op session = [](XmegaUSBDevice& d) { return d.beginStagedProgramming() && d.setTargetEeprom(1); };
    const Bytes eepromData = pattern(40, 3);
    const Bytes image = pattern(2148, 1);
    const Row rows[] = {
        // Identity, mode and versions.
        {"getMode in the application", false, {}, [](XmegaUSBDevice& d) { std::uint8_t m = 9; return d.getMode(&m) && m == 0; },
         {in(0xC1, 0x10, 0, 0, 1, {0x00})}},
        {"getMode in the bootloader", true, {}, [](XmegaUSBDevice& d) { std::uint8_t m = 0; return d.getMode(&m) && m != 0; },
         {in(0xC1, 0x10, 0, 0, 1, {0x01})}},
        {"getUuid (to the device)", false, {}, [](XmegaUSBDevice& d) { XmegaUSBDevice::Uuid u{}; return d.getUuid(&u) && u[15] == 0x1F; },
         {in(0xC0, 0x10, 0, 0, 16, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F})}},
        {"getVersions: two little-endian u32", false, {},
         [](XmegaUSBDevice& d) { std::uint32_t a = 0, b = 0; return d.getVersions(&a, &b) && a == 0x01020304 && b == 5; },
         {in(0xC1, 0x11, 0, 0, 8, {0x04, 0x03, 0x02, 0x01, 0x05, 0x00, 0x00, 0x00})}},
        {"setIdentity: vid, pid little-endian, then the identity", true, {},
         [](XmegaUSBDevice& d) { return d.setIdentity(0x7C5D, 0xBD86); },
         {out(0x41, 0x01, 0, 0, concat({0x5D, 0x7C, 0x86, 0xBD}, kIdentity))}},
        {"programUuid: uuid, then the identity", true, {},
         [](XmegaUSBDevice& d) {
             XmegaUSBDevice::Uuid u{};
             for (std::size_t i = 0; i < u.size(); ++i)
                 u[i] = static_cast<std::uint8_t>(0xA0 + i);
             return d.programUuid(u);
         },
         {out(0x41, 0x02, 0, 0, concat({0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF}, kIdentity))}},
        {"restart into the application", false, {}, [](XmegaUSBDevice& d) { return d.restart(); },
         {out(0x41, 0x12, 0, 0)}},
        {"restartIntoBootloader", false, {}, [](XmegaUSBDevice& d) { return d.restartIntoBootloader(); },
         {out(0x41, 0x12, 1, 0)}},
        {"isPowered", false, {},
         [](XmegaUSBDevice& d) { bool on = false; return static_cast<PoweredXmegaDevice&>(d).isPowered(&on) && on; },
         {in(0xC1, 0xA0, 0, 0, 1, {0x01})}},

        // Application area (page size 128, 64 pages: blocks of 16 pages).
        {"getBootloaderStatus: page size, page count", true, {},
         [](XmegaUSBDevice& d) { std::uint16_t p = 0, n = 0; return d.getBootloaderStatus(&p, &n) && p == 128 && n == 64; },
         {in(0xC1, 0x03, 0, 0, 4, {0x80, 0x00, 0x40, 0x00})}},
        {"eraseApplication", true, {}, [](XmegaUSBDevice& d) { return d.eraseApplication(); },
         {out(0x41, 0x04, 0, 0)}},
        {"writeApplication: blocks by first page, then an empty end", true, {},
         [&](XmegaUSBDevice& d) { return d.writeApplication(2148, image.data()); },
         {in(0xC1, 0x03, 0, 0, 4, {0x80, 0x00, 0x40, 0x00}), out(0x41, 0x04, 0, 0),
          out(0x41, 0x05, 0, 0, Bytes(image.begin(), image.begin() + 2048)),
          out(0x41, 0x05, 16, 0, Bytes(image.begin() + 2048, image.end())), out(0x41, 0x05, 0, 0)}},
        {"readApplication", true, {}, [](XmegaUSBDevice& d) { Bytes back(2148); return d.readApplication(2148, back.data()); },
         {in(0xC1, 0x03, 0, 0, 4, {0x80, 0x00, 0x40, 0x00}), in(0xC1, 0x06, 0, 0, 2048, Bytes(2048, 0xFF)),
          in(0xC1, 0x06, 16, 0, 100, Bytes(100, 0xFF))}},

        // EEPROM sessions (target 1: 128 KiB, sectors of 4 KiB, pages of 128 bytes).
        {"beginStagedProgramming: status, then open", false, {}, [](XmegaUSBDevice& d) { return d.beginStagedProgramming(); },
         {in(0xC1, 0x30, 0, 0, 6, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), out(0x41, 0x31, 0, 0)}},
        {"getSessionStatus: byte 0 open", false, [](XmegaUSBDevice& d) { return d.beginStagedProgramming(); },
         [](XmegaUSBDevice& d) { bool open = false, busy = true; return d.getSessionStatus(&open, &busy) && open && !busy; },
         {in(0xC1, 0x30, 0, 0, 6, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00})}},
        {"endStagedProgramming", false, [](XmegaUSBDevice& d) { return d.beginStagedProgramming(); },
         [](XmegaUSBDevice& d) { return d.endStagedProgramming(); },
         {out(0x41, 0x32, 0, 0)}},
        {"setTargetEeprom", false, {}, [](XmegaUSBDevice& d) { return d.setTargetEeprom(1); },
         {out(0x41, 0x34, 1, 0)}},
        {"getEepromInfo: u64 size, u32 sector size, u32 page size", false, session,
         [](XmegaUSBDevice& d) {
             std::uint64_t size = 0;
             std::uint32_t sector = 0, page = 0;
             return d.getEepromInfo(&size, &sector, &page) && size == 0x20000 && sector == 0x1000 && page == 128;
         },
         {in(0xC1, 0x35, 0, 0, 16, {0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00})}},
        {"eraseEeprom: u32 first sector, u32 count", false, session, [](XmegaUSBDevice& d) { return d.eraseEeprom(2, 3); },
         {out(0x41, 0x37, 0, 0, {0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00})}},
        {"getEepromProgress: start, total, current, u16 busy, erase phase", false,
         [&](XmegaUSBDevice& d) { return session(d) && d.eraseEeprom(2, 3); },
         [](XmegaUSBDevice& d) {
             TWG::Converters::XmegaEepromProgress p;
             return d.getEepromProgress(&p) && p.start == 2 && p.total == 3 && p.busy == 1 && p.erasePhase == 1;
         },
         {in(0xC1, 0x38, 0, 0, 15, {0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01})}},
        {"writeEepromData: first page, info, the data on bulk OUT, a closing zero-length packet", false, session,
         [&](XmegaUSBDevice& d) { return d.writeEepromData(4, 40, eepromData.data(), nullptr); },
         {out(0x41, 0x39, 0, 0, {0x04, 0x00, 0x00, 0x00}),
          in(0xC1, 0x35, 0, 0, 16, {0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00}),
          bulkOut(0x02, eepromData), bulkOut(0x02, {})}},

        // Memory behind the segment selection.
        {"readMemory across a segment boundary", false, {},
         [](XmegaUSBDevice& d) { std::uint8_t b[8] = {}; return d.readMemory(0x1FFFC, 8, b); },
         {out(0x41, 0x50, 1, 0), in(0xC1, 0x53, 0xFFFC, 0, 4, {0xFC, 0xFD, 0xFE, 0xFF}), out(0x41, 0x50, 2, 0),
          in(0xC1, 0x53, 0x0000, 0, 4, {0x00, 0x01, 0x02, 0x03})}},
        {"writeMemory", false, {},
         [](XmegaUSBDevice& d) { const std::uint8_t b[2] = {0x5A, 0xA5}; return d.writeMemory(0x030010, 2, b); },
         {out(0x41, 0x50, 3, 0), out(0x41, 0x52, 0x0010, 0, {0x5A, 0xA5})}},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.operation);
        state = std::make_shared<platform::SimXmegaState>();
        state->productId = 0xBDF2; // made as a powered device
        state->hasPowerRequest = true;
        state->versions[0] = 0x01020304;
        state->versions[1] = 5;
        state->pageSize = 128;
        state->pageCount = 64;
        state->application.assign(128 * 64, 0xFF);
        state->eeproms = {platform::SimXmegaEeprom(1u << 20, 0x1000, 256), platform::SimXmegaEeprom(0x20000, 0x1000, 128)};
        for (std::uint32_t a = 0x1FFFC; a < 0x20004; ++a)
            state->memory[a] = static_cast<std::uint8_t>(a);
        attach(row.bootloader);
        TWG::USB::DriverConnection* c = TWG::USB::DriverConnection::connectToDriverWithPath(path, platform::kNoWindow, 0);
        ASSERT_TRUE(c);
        auto* usb = new TWG::USB::CUSBDevice(c);
        c->release();
        std::shared_ptr<XmegaUSBDevice> device = PoweredXmegaDevice::create(usb);
        usb->release();
        ASSERT_TRUE(device);
        if (row.prepare) {
            ASSERT_TRUE(row.prepare(*device));
        }
        bus.clearTranscript();
        EXPECT_TRUE(row.run(*device));
        convtest::expectWire(convtest::wireOf(bus), row.wire);
        EXPECT_TRUE(state->violations.empty()) << state->violations.front();
        device.reset();
        bus.detach(path);
        QCoreApplication::processEvents();
    }
}
