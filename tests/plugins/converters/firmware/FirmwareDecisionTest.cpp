#include "FirmwareTestSupport.h"

#include "plugins/converters/firmware/ConverterFX2Updater.h"
#include "plugins/converters/firmware/ConverterXmegaUpdater.h"
#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"
#include "tests/converters/support/FakeConverter.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>

using fwtest::bytes;
using fwtest::ImageSpec;

namespace {

// Counts the firmware category's debug lines.
class DebugLines {
public:
    DebugLines()
    {
        lines() = 0;
        QLoggingCategory::setFilterRules(QStringLiteral("ostrel.firmware.debug=true"));
        previous_ = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString&) {
            if (type == QtDebugMsg && qstrcmp(context.category, "ostrel.firmware") == 0)
                ++lines();
        });
    }
    ~DebugLines()
    {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }
    static int& lines()
    {
        static int n = 0;
        return n;
    }

private:
    QtMessageHandler previous_;
};

// What the controller sees: current unless the package offers firmware the device lacks.
bool controllerSeesCurrent(convtest::FakeConverter& device)
{
    VisibleUSBFirmwareUpdater updater(&device, nullptr);
    return updater.firmwareIsCurrent();
}

} // namespace

TEST(FirmwareDecision, Fx2IsCurrentWhenItsVersionRegisterShowsTheSetsVersion)
{
    fwtest::writePackage(0xBD2E, {ImageSpec{1, 0, 0, 0x0107, 0, 0, bytes(100, 1)}});
    struct Case {
        bool readable;
        int reg;
        bool current;
    };
    for (const Case& c : {Case{true, 7, true}, Case{true, 6, false}, Case{false, 7, false}}) {
        SCOPED_TRACE(testing::Message() << c.readable << " " << c.reg);
        convtest::FakeConverter device(0xBD2E);
        fwtest::FakeFx2Programming programming;
        device.fx2Programming = &programming;
        device.values["versionRegister"] = c.reg;
        if (!c.readable)
            device.failing.insert("getVersionRegister");
        auto updater = createConverterFirmwareUpdater(&device);
        ASSERT_TRUE(dynamic_cast<ConverterFX2Updater*>(updater.get()));
        bool has = false;
        EXPECT_EQ(updater->isCurrent(&has), c.current);
        EXPECT_TRUE(has);
        EXPECT_EQ(controllerSeesCurrent(device), c.current);
    }
}

// checksum (device answer) x FPGA images in the set x version register
TEST(FirmwareDecision, XmegaNeedsItsChecksumAndWithImagesItsFpgaVersion)
{
    const ImageSpec app{0, 0, 0, 0xA1B2C3D4, 0, 2, bytes(300, 2)};
    const ImageSpec fpga{1, 0, 0, 0x0309, 0, 0, bytes(300, 3)};
    enum Reg { Equal, Differs, Unreadable };
    struct Case {
        bool checksumMatches;
        bool checksumReadable;
        bool withImages;
        Reg reg;
        bool current;
    };
    const Case cases[] = {
        {true, true, true, Equal, true},       {true, true, true, Differs, false},
        {true, true, true, Unreadable, false}, {true, true, false, Differs, true},
        {true, true, false, Unreadable, true}, {false, true, true, Equal, false},
        {false, true, false, Equal, false},    {true, false, true, Equal, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.checksumMatches << c.checksumReadable << c.withImages << c.reg);
        fwtest::writePackage(0xBD93, c.withImages ? std::vector<ImageSpec>{app, fpga} : std::vector<ImageSpec>{app});
        convtest::FakeConverter device(0xBD93, true);
        fwtest::FakeXmegaProgramming programming;
        device.xmegaProgramming = &programming;
        programming.version = static_cast<int>(c.checksumMatches ? 0xA1B2C3D4u : 0xA1B2C3D5u);
        programming.versionOk = c.checksumReadable;
        device.values["versionRegister"] = c.reg == Equal ? 9 : 8;
        if (c.reg == Unreadable)
            device.failing.insert("getVersionRegister");
        auto updater = createConverterFirmwareUpdater(&device);
        ASSERT_TRUE(dynamic_cast<ConverterXmegaUpdater*>(updater.get()));
        bool has = false;
        EXPECT_EQ(updater->isCurrent(&has), c.current);
        EXPECT_TRUE(has);
        EXPECT_EQ(controllerSeesCurrent(device), c.current);
    }
}

// Nothing to offer means current, with one debug line, and never an application load.
TEST(FirmwareDecision, APackageThatOffersNothingCountsAsCurrent)
{
    DebugLines debug;
    fwtest::removePackage(0xBD15);
    convtest::FakeConverter fx2(0xBD15);
    fwtest::FakeFx2Programming fx2Programming;
    fx2.fx2Programming = &fx2Programming;
    fx2.values["versionRegister"] = 3;
    EXPECT_TRUE(controllerSeesCurrent(fx2));
    EXPECT_EQ(DebugLines::lines(), 1);

    fwtest::writePackage(0xBD94, {ImageSpec{1, 0, 0, 0x0309, 0, 0, bytes(300, 3)}});
    convtest::FakeConverter xmega(0xBD94, true);
    fwtest::FakeXmegaProgramming xmegaProgramming;
    xmega.xmegaProgramming = &xmegaProgramming;
    xmegaProgramming.version = 5;
    auto updater = createConverterFirmwareUpdater(&xmega);
    bool has = true;
    EXPECT_FALSE(updater->isCurrent(&has));
    EXPECT_FALSE(has) << "no application image";
    struct Notifier : TWG::Converters::XmegaLoaderNotifier {
        int loads = 0;
        BinaryLoad loadXmegaBinary(TWG::Converters::IConverter*, const std::uint8_t*, std::uint32_t, std::uint32_t,
                                   LoadXmegaBinaryDelegate*) override
        {
            ++loads;
            return BinaryLoad::Started;
        }
        void stopXmegaBinaryLoad() override {}
        bool isLoadingXmegaBinary() const override { return false; }
    } notifier;
    EXPECT_EQ(updater->loadBinaryFirst(&notifier, nullptr), TWG::Converters::XmegaLoaderNotifier::BinaryLoad::NotNeeded);
    EXPECT_EQ(notifier.loads, 0);
    EXPECT_TRUE(controllerSeesCurrent(xmega));
    EXPECT_EQ(DebugLines::lines(), 3);
}

TEST(FirmwareDecision, TheControllerKindPicksTheUpdater)
{
    fwtest::writePackage(0xBD2E, {ImageSpec{1, 0, 0, 0x0107, 0, 0, bytes(100, 1)}});
    convtest::FakeConverter neither(0xBD2E);
    EXPECT_EQ(createConverterFirmwareUpdater(&neither), nullptr);
    EXPECT_TRUE(controllerSeesCurrent(neither)) << "no updater: nothing to update";

    convtest::FakeConverter unreadable(0xBD2E);
    fwtest::FakeFx2Programming programming;
    unreadable.fx2Programming = &programming;
    unreadable.failing.insert("readDeviceIds");
    auto updater = createConverterFirmwareUpdater(&unreadable);
    ASSERT_TRUE(updater);
    EXPECT_FALSE(static_cast<ConverterFX2Updater*>(updater.get())->firmware()) << "no set without a product id";
    EXPECT_FALSE(updater->program([](double) { return true; }));
    EXPECT_EQ(unreadable.references(), 2) << "the updater holds its own reference";
    updater.reset();
    EXPECT_EQ(unreadable.references(), 1);
}
