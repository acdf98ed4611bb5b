#include "converters/IConverterFX2Programming.h"
#include "converters/IConverterXmegaProgramming.h"

#include "support/ConverterSimFixture.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace convtest;
using TWG::Converters::IConverter;

namespace {

struct Images : TWG::Converters::IConverterXmegaProgramming::ImageSource {
    struct Image {
        std::vector<std::uint8_t> data;
        std::uint8_t target;
        std::uint32_t offset;
    };
    std::vector<Image> images;
    int imageCount() const override { return static_cast<int>(images.size()); }
    const std::uint8_t* imageData(int i) const override { return images.at(i).data.data(); }
    std::uint32_t imageSize(int i) const override { return static_cast<std::uint32_t>(images.at(i).data.size()); }
    std::uint8_t imageTarget(int i) const override { return images.at(i).target; }
    std::uint32_t imageOffset(int i) const override { return images.at(i).offset; }
};

struct Progress : TWG::Converters::IConverterXmegaProgramming::Delegate {
    std::vector<int> percents;
    void reportProgress(int percent) override { percents.push_back(percent); }
};

class ConverterProgramming : public ConverterSimFixture {};

} // namespace

TEST_F(ConverterProgramming, Fx2AndAt90UpdateThroughTheConverterInVirtualTime)
{
    platform::SimFx2Running::Options options;
    options.at90 = platform::SimAt90::Options{};
    auto model = attachFx2(0xBD2E, options);
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    TWG::Converters::IConverterFX2Programming* p = converter->getFX2Programming();
    ASSERT_TRUE(p);
    const auto realStart = std::chrono::steady_clock::now();
    const auto virtualStart = clock.now();

    const std::vector<std::uint8_t> firmware = pattern(20000, 1);
    ASSERT_TRUE(p->eraseFirmware(static_cast<std::uint32_t>(firmware.size())));
    for (std::size_t at = 0; at < firmware.size(); at += 4096) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(4096, firmware.size() - at));
        ASSERT_TRUE(p->writeFirmware(firmware.data() + at, n));
    }
    ASSERT_TRUE(p->restartDevice());
    const std::vector<std::uint8_t> flash = model->flash();
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), flash.begin()));

    const std::vector<std::uint8_t> at90 = pattern(1000, 2);
    ASSERT_TRUE(p->hasAT90());
    ASSERT_TRUE(p->enterAT90Programming());
    ASSERT_TRUE(p->eraseAT90());
    ASSERT_TRUE(p->writeAT90Fuses());
    ASSERT_TRUE(p->prepareAT90Pages());
    std::uint32_t at = 0;
    for (std::uint32_t page = 0; at < at90.size(); ++page) {
        std::uint32_t written = 0;
        ASSERT_TRUE(p->writeAT90Page(page, at90.data() + at, static_cast<std::uint32_t>(at90.size()) - at, &written));
        ASSERT_GT(written, 0u);
        at += written;
    }
    ASSERT_TRUE(p->leaveAT90Programming());
    const std::vector<std::uint8_t> at90Flash = model->at90Flash();
    EXPECT_TRUE(std::equal(at90.begin(), at90.end(), at90Flash.begin()));
    EXPECT_EQ(model->at90Fuses(), (std::array<std::uint8_t, 3>{0xCF, 0x9F, 0xF1}));
    EXPECT_TRUE(model->violations().empty());
    const auto realMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - realStart).count();
    const auto virtualMs = clock.elapsedMs(virtualStart);
    // The erase polls, page polls and restart pauses alone take over a second; on the virtual
    // clock they cost nothing.
    EXPECT_GE(virtualMs, 1000);
    EXPECT_LT(realMs, virtualMs) << "every pause goes through the process clock";
}

TEST_F(ConverterProgramming, Fx2WithoutAt90RefusesTheAt90Steps)
{
    attachFx2(0xBD15);
    start();
    TWG::Converters::IConverterFX2Programming* p = only()->getFX2Programming();
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->hasAT90());
    EXPECT_FALSE(p->enterAT90Programming());
    std::uint32_t written = 0;
    const std::uint8_t page[4] = {};
    EXPECT_FALSE(p->writeAT90Page(0, page, 4, &written));
}

TEST_F(ConverterProgramming, XmegaFirmwareSetGoesToItsTargetsWithProgressToTheDelegate)
{
    auto state = attachXmega(0xBD93);
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    TWG::Converters::IConverterXmegaProgramming* p = converter->getXmegaProgramming();
    ASSERT_TRUE(p);

    Images empty;
    Progress progress;
    EXPECT_TRUE(p->programFirmware(&empty, &progress)) << "nothing to program";
    EXPECT_FALSE(p->programFirmware(nullptr, &progress));

    Images set;
    set.images.push_back({pattern(70000, 3), 0, 0x10000});
    set.images.push_back({pattern(1000, 4), 0, 0x200000});
    ASSERT_TRUE(p->programFirmware(&set, &progress));
    const std::vector<std::uint8_t>& eeprom = state->eeproms[0].bytes;
    for (const auto& image : set.images)
        EXPECT_TRUE(std::equal(image.data.begin(), image.data.end(), eeprom.begin() + image.offset));
    ASSERT_FALSE(progress.percents.empty());
    int last = 0;
    for (int percent : progress.percents) {
        if (percent < 0)
            continue;
        EXPECT_GE(percent, last);
        last = percent;
    }
    EXPECT_EQ(progress.percents.back(), 100);
    EXPECT_FALSE(state->sessionOpen);

    int version = 0;
    state->versions[0] = 3;
    state->versions[1] = 4;
    EXPECT_FALSE(p->getFirmwareVersion(&version)) << "(3, 4) is no version";
    state->versions[1] = 3;
    EXPECT_TRUE(p->getFirmwareVersion(&version));
    EXPECT_EQ(version, 3);
}
