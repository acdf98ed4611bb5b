// The AT90 programming requests as they go through the FX2, each number written out from the
// request table rather than taken from the protocol header that host and simulator share.

#include "Fx2SimFixture.h"

#include "converters/fx2/AtmelAT90HardwareAccess.h"
#include "tests/converters/support/WireGolden.h"

#include <functional>

using namespace fx2test;
using convtest::bulkOut;
using convtest::in;
using convtest::out;
using convtest::Wire;
using TWG::Converters::AtmelAT90HardwareAccess;

namespace {
class At90Wire : public Fx2SimFixture {};
} // namespace

TEST_F(At90Wire, EveryOperationSendsTheRequestsOfTheTable)
{
    struct Row {
        const char* operation;
        std::function<bool(AtmelAT90HardwareAccess&)> prepare; // its requests are not part of the golden
        std::function<bool(AtmelAT90HardwareAccess&)> run;
        std::vector<Wire> wire;
    };
    const Bytes page = {0xFF, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    const auto enter = [](AtmelAT90HardwareAccess& p) { return p.enterProgramming(); };
    const auto erased = [](AtmelAT90HardwareAccess& p) { return p.enterProgramming() && p.chipErase() && p.preparePages(); };
    const Row rows[] = {
        {"enterProgramming: enable, poll while busy, check the signature", {}, enter,
         {in(0xC0, 0xB0, 0, 0, 1, {0x00}), in(0xC0, 0xB1, 0, 0, 1, {0xE1}), in(0xC0, 0xB0, 0, 0, 1, {0x00}),
          in(0xC0, 0xB1, 0, 0, 1, {0x00}), in(0xC0, 0xB8, 0, 0, 1, {0x1E}), in(0xC0, 0xB8, 0, 2, 1, {0x81})}},
        {"leaveProgramming", enter, [](AtmelAT90HardwareAccess& p) { return p.leaveProgramming(); },
         {in(0xC0, 0xB2, 0, 0, 1, {0x00})}},
        {"chipErase", enter, [](AtmelAT90HardwareAccess& p) { return p.chipErase(); },
         {in(0xC0, 0xB3, 0, 0, 1, {0x00})}},
        {"writeFuses: each written and read back", enter, [](AtmelAT90HardwareAccess& p) { return p.writeFuses(); },
         {in(0xC0, 0xB6, 0xCF, 0, 1, {0x00}), in(0xC0, 0xB9, 0, 0, 1, {0xCF}), in(0xC0, 0xB6, 0x9F, 1, 1, {0x00}),
          in(0xC0, 0xB9, 0, 1, 1, {0x9F}), in(0xC0, 0xB6, 0xF1, 2, 1, {0x00}), in(0xC0, 0xB9, 0, 2, 1, {0xF1})}},
        {"preparePages: mode pair (2, 0)", enter, [](AtmelAT90HardwareAccess& p) { return p.preparePages(); },
         {out(0x40, 0xD2, 0, 0, {0x02, 0x00})}},
        {"writePage above 64 KiB: address bit 16 goes in wValue", erased,
         [&](AtmelAT90HardwareAccess& p) {
             std::uint32_t written = 0;
             return p.writePage(300, page.data(), 8, &written) && written == 8;
         },
         {out(0x40, 0xB5, 0, 0), bulkOut(0x02, page), in(0xC0, 0xB4, 0, 300, 1, {0x00}),
          in(0xC0, 0xB7, 0x0001, 0x2C05, 1, {0x55})}},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.operation);
        platform::SimFx2Running::Options options;
        options.at90 = platform::SimAt90::Options{};
        std::shared_ptr<platform::SimFx2Running> model;
        TWG::Converters::ConverterInstance* d = attachRunning(kProductWithAt90, options, &model);
        ASSERT_TRUE(d);
        AtmelAT90HardwareAccess* p = d->at90Programmer();
        ASSERT_TRUE(p);
        if (row.prepare) {
            ASSERT_TRUE(row.prepare(*p));
        }
        bus.clearTranscript();
        EXPECT_TRUE(row.run(*p));
        convtest::expectWire(convtest::wireOf(bus), row.wire);
        EXPECT_TRUE(model->violations().empty()) << model->violations().front();
        bus.detach(path);
    }
}
