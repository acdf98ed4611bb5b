#include "converters/fx2/Fx2ProductTable.h"
#include "converters/xmega/ConverterXmegaNotifier.h"
#include "platform/sim/models/fx2/SimFx2Blank.h"
#include "platform/sim/models/xmega/SimXmegaApplication.h"
#include "protocol/ConverterIds.h"
#include "tools/sim-tree/SimFirmware.h"
#include "usb/package/FirmwareFileLocation.h"

#include "support/CapabilityRows.h"
#include "support/ConverterSimFixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <set>

using namespace convtest;
using TWG::Converters::IConverter;

namespace {

const Row* rowOf(std::uint16_t product)
{
    for (const Row& r : kRows)
        if (r.product == product)
            return &r;
    return nullptr;
}

// A minimal FX2 RAM image: one data record, then the end record.
std::vector<std::uint8_t> ramImage()
{
    return {4, 0x00, 0x10, 0, 0xDE, 0xAD, 0xBE, 0xEF, 0x5A, 0, 0x00, 0x00, 1, 0xFF};
}

struct LoadDelegate : TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate {
    std::vector<std::pair<IConverter*, bool>> heard;
    void onXmegaBinaryLoaded(IConverter* c, bool ok) override { heard.emplace_back(c, ok); }
};

// An application that acknowledges restart requests and ignores them.
class DeafToRestarts : public platform::SimXmegaApplication {
public:
    using SimXmegaApplication::SimXmegaApplication;

protected:
    platform::UsbStatus classOrVendorRequest(const platform::UsbSetup& setup, std::vector<std::uint8_t>& data) override
    {
        if (setup.bmRequestType == 0x41 && setup.bRequest == 0x12)
            return platform::UsbStatus::Success;
        return SimXmegaApplication::classOrVendorRequest(setup, data);
    }
};

class ConverterNotifierTest : public ConverterSimFixture {};

} // namespace

TEST_F(ConverterNotifierTest, AnnouncesEveryProductIdWithTheCapabilitiesOfItsRow)
{
    std::set<std::uint16_t> expected;
    for (std::uint16_t id : TWG::Converters::Fx2ProductTable::productIds()) {
        attachFx2(id);
        expected.insert(id);
    }
    for (std::uint16_t id : TWG::Converters::ids::kXmegaProductIds) {
        attachXmega(id);
        expected.insert(id);
    }
    start();
    run(100);

    std::set<std::uint16_t> seen;
    for (IConverter* c : family.arrived) {
        std::uint16_t ids[2] = {};
        ASSERT_TRUE(c->getDeviceIds(ids));
        EXPECT_TRUE(seen.insert(ids[0]).second) << std::hex << ids[0] << " announced twice";
        const Row* row = rowOf(ids[0]);
        ASSERT_TRUE(row) << std::hex << ids[0];
        SCOPED_TRACE(std::to_string(ids[0]));
        expectCapabilities(*c, *row);
        EXPECT_EQ(c->isXmega(), ids[0] >= 0xBD91 && ids[0] != 0xBDCF && ids[0] != 0xBDD0);
        EXPECT_EQ(c->getFX2Programming() != nullptr, !c->isXmega());
        EXPECT_EQ(c->getXmegaProgramming() != nullptr, c->isXmega());
        QString name;
        EXPECT_TRUE(c->getModelName(&name));
        EXPECT_TRUE(c->ping());
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(notifier->converterCount(), expected.size());

    // Removals are reported once each, with the converter that arrived.
    const auto devices = bus.listDevices();
    for (const auto& d : devices)
        bus.detach(d.path);
    run(50);
    EXPECT_EQ(family.removed.size(), expected.size());
    EXPECT_EQ(std::set<IConverter*>(family.removed.begin(), family.removed.end()),
              std::set<IConverter*>(family.arrived.begin(), family.arrived.end()));
    EXPECT_EQ(notifier->converterCount(), 0u);
}

TEST_F(ConverterNotifierTest, OnlyOneNotifierPerProcessAndStartOnlyOnce)
{
    start();
    EXPECT_FALSE(TWG::Converters::ConverterNotifier::create());
    EXPECT_FALSE(notifier->start(&family, window.id));
    notifier.reset();
    auto again = TWG::Converters::ConverterNotifier::create();
    EXPECT_TRUE(again) << "a notifier may be made again once the first is gone";
}

TEST_F(ConverterNotifierTest, AnFx2WithoutFirmwareIsReportedOnceItRunsItsRamImage)
{
    ASSERT_TRUE(TWG::Converters::Fx2ProductTable::setRamImage(0xBD2E, ramImage()));
    auto blank = std::make_shared<platform::SimFx2Blank>(0x7C5D, 0xBD2E, [] {
        return platform::SimFx2Running::create(platform::SimFx2Running::descriptors(0x7C5D, 0xBD2E), {});
    });
    bus.attach(blank);
    start();
    EXPECT_TRUE(family.arrived.empty()) << "a controller without firmware is never a converter";
    run(500);
    ASSERT_EQ(family.arrived.size(), 1u);
    EXPECT_EQ(blank->ram()[0x10], 0xDE);
    EXPECT_EQ(blank->ram()[0x13], 0xEF);
    EXPECT_EQ(blank->cpucsWrites(), (std::vector<std::uint8_t>{1, 0}));
    EXPECT_TRUE(family.removed.empty());
    std::uint16_t ids[1] = {};
    EXPECT_TRUE(family.arrived[0]->getDeviceIds(ids));
    EXPECT_EQ(ids[0], 0xBD2E);
}

TEST_F(ConverterNotifierTest, ABlankControllerGetsTheRamImageTheSimulationTreeWroteIntoTheFirmwareFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string directory = QFile::encodeName(folder.path()).toStdString();
    TWG::USB::setFirmwareDirectory(directory);
    struct Unset {
        ~Unset() { TWG::USB::setFirmwareDirectory(""); }
    } unset;
    auto attachBlank = [this] {
        auto blank = std::make_shared<platform::SimFx2Blank>(0x7C5D, 0xBD17, [] {
            return platform::SimFx2Running::create(platform::SimFx2Running::descriptors(0x7C5D, 0xBD17), {});
        });
        bus.attach(blank);
        return blank;
    };

    // A folder without the file, as the shipped tree: nothing is downloaded, nothing arrives.
    auto bare = attachBlank();
    start();
    run(500);
    EXPECT_TRUE(family.arrived.empty());
    EXPECT_TRUE(bare->cpucsWrites().empty());
    bus.detach(bus.listDevices().at(0).path);
    run(50);

    std::string error;
    ASSERT_TRUE(TWG::Tools::SimFirmware::writeFx2RamImage(0xBD17, directory, &error)) << error;
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("fx2ram-bd17.bin"))));
    auto blank = attachBlank();
    run(500);
    ASSERT_EQ(family.arrived.size(), 1u);
    const std::vector<std::uint8_t> image = TWG::Tools::SimFirmware::fx2RamImage();
    EXPECT_EQ(blank->ram()[0], image[4]);
    EXPECT_EQ(blank->ram()[1], image[5]);
    EXPECT_EQ(blank->cpucsWrites(), (std::vector<std::uint8_t>{1, 0}));
}

TEST_F(ConverterNotifierTest, LoadXmegaBinaryBringsTheConverterBackWithoutARemoval)
{
    auto state = attachXmega(0xBD93);
    state->versions[0] = state->versions[1] = 4;
    state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) { return std::make_pair(5u, 5u); };
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> image(3000, 0x3C);
    LoadDelegate delegate;

    // Already at the version: nothing to do, no restart.
    EXPECT_FALSE(notifier->loadXmegaBinary(converter, image.data(), 4000, 4, &delegate));
    EXPECT_EQ(state->restarts, 0);
    // Without an image the bootloader would erase the application for nothing.
    EXPECT_FALSE(notifier->loadXmegaBinary(converter, nullptr, 0, 5, &delegate));
    EXPECT_FALSE(notifier->loadXmegaBinary(converter, image.data(), 0, 5, &delegate));
    EXPECT_EQ(state->restarts, 0);

    ASSERT_TRUE(notifier->loadXmegaBinary(converter, image.data(), static_cast<std::uint32_t>(image.size()), 5,
                                          &delegate));
    EXPECT_FALSE(notifier->loadXmegaBinary(converter, image.data(), 3000, 5, &delegate)) << "one load at a time";
    run(2000);
    ASSERT_EQ(delegate.heard.size(), 1u);
    EXPECT_EQ(delegate.heard[0], std::make_pair(converter, true));
    EXPECT_EQ(family.arrived.size(), 1u) << "the converter's trips are no arrivals";
    EXPECT_TRUE(family.removed.empty()) << "nor removals";
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state->application.begin()));
    int version = 0;
    EXPECT_TRUE(converter->getFirmwareVersion(&version));
    EXPECT_EQ(version, 5);
    EXPECT_FALSE(notifier->isLoadingXmegaBinary());

    // The converter lives on in the new device: settings reach it, and its removal is reported.
    EXPECT_TRUE(converter->setAudioGain1(77));
    EXPECT_EQ(state->memory[20], 77);
    for (const auto& d : bus.listDevices())
        bus.detach(d.path);
    run(20);
    EXPECT_EQ(family.removed, std::vector<IConverter*>{converter});
}

TEST_F(ConverterNotifierTest, AFailedLoadReportsFailureAndThenTheRemoval)
{
    auto state = attachXmega(0xBD91);
    state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) { return std::make_pair(7u, 8u); };
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> image(512, 0x11);
    LoadDelegate delegate;
    ASSERT_TRUE(notifier->loadXmegaBinary(converter, image.data(), 512, 7, &delegate));
    run(2000);
    ASSERT_EQ(delegate.heard.size(), 1u);
    EXPECT_EQ(delegate.heard[0], std::make_pair(converter, false));
    EXPECT_EQ(family.removed, std::vector<IConverter*>{converter});
    EXPECT_EQ(notifier->converterCount(), 0u);
}

TEST_F(ConverterNotifierTest, ALoadWhoseDeviceNeverLeavesFailsButKeepsTheConverter)
{
    auto state = std::make_shared<platform::SimXmegaState>();
    state->productId = 0xBD93;
    bus.attach(std::make_shared<DeafToRestarts>(state));
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> image(512, 0x11);
    LoadDelegate delegate;
    // The restart into the bootloader is lost: the device stays in its application.
    ASSERT_TRUE(notifier->loadXmegaBinary(converter, image.data(), 512, 9, &delegate));
    run(31000, 500);
    ASSERT_EQ(delegate.heard.size(), 1u);
    EXPECT_FALSE(delegate.heard[0].second);
    EXPECT_TRUE(family.removed.empty()) << "the converter is still plugged in";
    EXPECT_TRUE(converter->ping());
}
