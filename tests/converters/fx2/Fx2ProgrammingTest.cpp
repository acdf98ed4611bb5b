#include "Fx2SimFixture.h"

#include "protocol/At90Protocol.h"
#include "protocol/Fx2Protocol.h"

#include <chrono>
#include <functional>

using namespace fx2test;
using TWG::Converters::AtmelAT90HardwareAccess;
using TWG::Converters::ConverterInstance;
namespace fx2 = TWG::Converters::fx2;
namespace at90 = TWG::Converters::at90;

namespace {

constexpr std::uint32_t kVersionAddress = 0x100;
constexpr std::uint8_t kNewVersion = 0x2A;
constexpr std::uint32_t kChunk = 4096; // as the update thread hands it over

class Fx2Programming : public Fx2SimFixture {
protected:
    void SetUp() override
    {
        flashImage = pattern(0x1A345, 5);
        flashImage[kVersionAddress] = kNewVersion;
        at90Image = pattern(0x8000 + 77, 6);
        for (std::size_t i = 0x300; i < 0x600; ++i)
            at90Image[i] = 0xFF; // erased stretches are written too
        platform::SimFx2Running::Options o;
        o.version = 3;
        o.versionAddress = kVersionAddress;
        o.at90 = platform::SimAt90::Options{};
        device = attachRunning(kProductWithAt90, o, &model);
        ASSERT_TRUE(device);
    }

    // The FX2 and AT90 programming in the order the update thread runs it.
    bool programAll()
    {
        if (!device->eraseFlash(0, static_cast<std::uint32_t>(flashImage.size())))
            return false;
        for (std::size_t at = 0; at < flashImage.size(); at += kChunk) {
            const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(kChunk, flashImage.size() - at));
            if (!device->writeFlash(flashImage.data() + at, n))
                return false;
        }
        AtmelAT90HardwareAccess* p = device->at90Programmer();
        if (!p || !p->enterProgramming() || !p->chipErase() || !p->writeFuses() || !p->preparePages())
            return false;
        std::uint32_t page = 0;
        for (std::size_t at = 0; at < at90Image.size(); ++page) {
            std::uint32_t written = 0;
            if (!p->writePage(page, at90Image.data() + at, static_cast<std::uint32_t>(at90Image.size() - at), &written))
                return false;
            at += written;
        }
        return p->leaveProgramming() && device->restartDevice();
    }

    Bytes flashImage, at90Image;
    ConverterInstance* device = nullptr;
    std::shared_ptr<platform::SimFx2Running> model;
};

} // namespace

TEST_F(Fx2Programming, FullUpdateLeavesFlashVersionAndAt90AsTheImagesInWellUnderASecond)
{
    const auto wallStart = std::chrono::steady_clock::now();
    ASSERT_TRUE(programAll());
    const auto wall = std::chrono::steady_clock::now() - wallStart;

    const Bytes flash = model->flash();
    EXPECT_TRUE(std::equal(flashImage.begin(), flashImage.end(), flash.begin()));
    EXPECT_EQ(model->reg(fx2::kRegisterVersion), kNewVersion);
    std::uint8_t version = 0;
    EXPECT_TRUE(device->readVersionRegister(&version));
    EXPECT_EQ(version, kNewVersion);
    const Bytes at90Flash = model->at90Flash();
    EXPECT_TRUE(std::equal(at90Image.begin(), at90Image.end(), at90Flash.begin()));
    EXPECT_EQ(model->at90Fuses(), (std::array<std::uint8_t, 3>{{0xCF, 0x9F, 0xF1}}));
    EXPECT_TRUE(model->violations().empty()) << model->violations().front();
    EXPECT_FALSE(model->programming());
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(wall).count(), 1000);
}

TEST_F(Fx2Programming, InjectedFaultsEndInFalseWithoutHanging)
{
    struct Case {
        const char* name;
        std::function<void(platform::SimFault&)> set;
    };
    using platform::SimFaultAction;
    const Case cases[] = {
        {"erase request stalls twice", [](platform::SimFault& f) { f.bRequest = fx2::kRequestEraseBlock; f.nth = 1; }},
        {"flash page address stalls", [](platform::SimFault& f) { f.bRequest = fx2::kRequestFlashAddress; f.nth = 40; }},
        {"page bulk transfer times out", [](platform::SimFault& f) { f.action = SimFaultAction::Timeout; f.kind = platform::SimRequestKind::Out; f.nth = 7; }},
        {"AT90 enable poll answers short", [](platform::SimFault& f) { f.action = SimFaultAction::Short; f.bRequest = at90::kRequestPollEnable; }},
        {"AT90 page program times out", [](platform::SimFault& f) { f.action = SimFaultAction::Timeout; f.bRequest = at90::kRequestProgramPage; f.nth = 3; }},
        {"unplugged at the 500th request", [](platform::SimFault& f) { f.action = SimFaultAction::Unplug; f.nth = 500; }},
        {"unplugged during the AT90 verify", [](platform::SimFault& f) { f.action = SimFaultAction::Unplug; f.bRequest = at90::kRequestReadFlash; f.nth = 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus.clearFaults();
        platform::SimFault f;
        c.set(f);
        bus.addFault(f);
        if (f.bRequest == fx2::kRequestEraseBlock)
            bus.addFault(f); // both attempts
        const auto start = clock.now();
        EXPECT_FALSE(programAll());
        EXPECT_LT(clock.elapsedMs(start), 60000);
        // A fresh device for the next case.
        bus.detach(path);
        SetUp();
    }
    releaseAll();
    EXPECT_EQ(bus.liveObjects(), 0) << "every connection and claim was closed";
}

namespace {
class Fx2Restart : public Fx2SimFixture {};
} // namespace

TEST_F(Fx2Restart, RestartWaitsAsTheProductNeeds)
{
    struct Case {
        std::uint16_t product;
        int readyAfterProbes;
        bool pollsRegisterZero; // after leaving programming
        std::size_t probes;     // 0xD5
    };
    const Case cases[] = {
        {0xBD2E, 0, true, 0},  // a converter whose bootloader answers: register 0 until it does
        {0xBD2F, 0, false, 0}, // its bootloader stays silent: a pause only
        {0xBD69, 3, true, 4},  // not a converter: the readiness probe first, then register 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.product);
        platform::SimFx2Running::Options o;
        o.readyAfterProbes = c.readyAfterProbes;
        ConverterInstance* d = attachRunning(c.product, o);
        ASSERT_TRUE(d);
        ASSERT_TRUE(d->enterProgramming(0));
        bus.clearTranscript();
        const auto start = clock.now();
        EXPECT_TRUE(d->restartDevice());
        EXPECT_GE(clock.elapsedMs(start), 1000);
        EXPECT_EQ(requests(fx2::kRequestLeaveProgramming).size(), 1u);
        EXPECT_EQ(!requests(fx2::kRequestReadRegister).empty(), c.pollsRegisterZero);
        EXPECT_EQ(requests(fx2::kRequestReadyProbe).size(), c.probes);
        EXPECT_EQ(d->at90Programmer() != nullptr, c.product != 0xBD69);
        bus.detach(path);
    }
}
