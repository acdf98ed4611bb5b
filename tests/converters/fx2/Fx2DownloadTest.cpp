#include "Fx2SimFixture.h"

#include "converters/fx2/ConverterNotifierInstance.h"
#include "converters/fx2/GenericUSBNotificationDelegate.h"
#include "platform/sim/models/fx2/SimFx2Blank.h"
#include "protocol/Fx2Protocol.h"
#include "tests/converters/support/DeviceChangeWindow.h"

#include <QCoreApplication>

using namespace fx2test;
using namespace TWG::Converters;

namespace {

struct Seen : GenericUSBNotificationDelegate {
    std::vector<std::uint16_t> arrivedReleases;
    int removed = 0;
    void onUSBDeviceArrived(AbstractUSBDevice* d) override
    {
        std::uint16_t release = 0;
        d->getDeviceRelease(&release);
        arrivedReleases.push_back(release);
    }
    void onUSBDeviceRemoved(AbstractUSBDevice*) override { ++removed; }
};

using Window = convtest::DeviceChangeWindow<AbstractUSBDeviceNotifier>;

class Fx2Download : public Fx2SimFixture {
protected:
    void pump()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    std::shared_ptr<platform::SimFx2Blank> attachBlank(std::uint16_t product)
    {
        auto blank = std::make_shared<platform::SimFx2Blank>(kVendor, product, [product] {
            return std::shared_ptr<platform::SimDevice>(platform::SimFx2Running::create(
                platform::SimFx2Running::descriptors(kVendor, product, 0x0100), {}));
        });
        path = bus.attach(blank);
        return blank;
    }
};

Bytes ramAt(const Bytes& ram, std::uint16_t address, std::size_t n)
{
    return Bytes(ram.begin() + address, ram.begin() + address + std::ptrdiff_t(n));
}

} // namespace

TEST_F(Fx2Download, ControllerWithoutFirmwareGetsItsImageReEnumeratesAndIsReportedOnce)
{
    Bytes image;
    const Bytes code = pattern(200, 1), table = pattern(16, 2);
    addRecord(image, 0x0000, code);
    addRecord(image, 0x1F00, table);
    addRecord(image, 0xE000, {0x55, 0x66});
    addRecord(image, 0x0000, {}, 1);
    addRecord(image, 0x2000, {0x99}); // after the end record: never sent
    ASSERT_TRUE(Fx2ProductTable::setRamImage(0xBD2E, image));
    auto blank = attachBlank(0xBD2E);

    Seen seen;
    Window window;
    ConverterNotifierInstance notifier(&seen);
    window.notifier = &notifier;
    ASSERT_TRUE(notifier.create(window.id, 0));
    pump();
    EXPECT_TRUE(seen.arrivedReleases.empty()) << "a controller without firmware is not reported";
    const Bytes ram = blank->ram();
    EXPECT_EQ(ramAt(ram, 0x0000, code.size()), code);
    EXPECT_EQ(ramAt(ram, 0x1F00, table.size()), table);
    EXPECT_EQ(ramAt(ram, 0xE000, 2), (Bytes{0x55, 0x66}));
    EXPECT_EQ(ram[0x2000], 0);
    EXPECT_EQ(blank->cpucsWrites(), (Bytes{1, 0}));
    EXPECT_EQ(blank->releases(), 1);
    EXPECT_TRUE(blank->violations().empty());

    clock.advance(std::chrono::milliseconds(500));
    pump();
    EXPECT_EQ(seen.arrivedReleases, std::vector<std::uint16_t>{0x0100});
    EXPECT_EQ(notifier.deviceCount(), 1u);
    clock.advance(std::chrono::milliseconds(2000));
    pump();
    EXPECT_EQ(seen.arrivedReleases.size(), 1u);

    for (const platform::UsbDeviceInfo& d : bus.listDevices())
        bus.detach(d.path);
    pump();
    EXPECT_EQ(seen.removed, 1);
    EXPECT_EQ(notifier.deviceCount(), 0u);
    EXPECT_EQ(bus.liveObjects(), 0);
}

TEST_F(Fx2Download, RamDownloadEdgeCases)
{
    struct Case {
        const char* name;
        bool registerImage;
        Bytes image;
        Bytes cpucs;        // CPUCS values written
        std::size_t ramWrites; // all 0xA0 requests
        int releases;
    };
    Bytes endFirst;
    addRecord(endFirst, 0x0000, {}, 1);
    addRecord(endFirst, 0x0000, {1, 2, 3});
    Bytes truncated;
    addRecord(truncated, 0x0100, {1, 2, 3});
    truncated.push_back(10); // a record header that runs past the end
    truncated.push_back(0);
    const Case cases[] = {
        {"no image: nothing is sent", false, {}, {}, 0, 0},
        {"first record ends the image: CPUCS still toggles", true, endFirst, {1, 0}, 2, 1},
        {"a record past the end fails with the CPU held", true, truncated, {1}, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fx2ProductTable::clearRamImages();
        if (c.registerImage) {
            ASSERT_TRUE(Fx2ProductTable::setRamImage(0xBD17, c.image));
        }
        bus.clearTranscript();
        auto blank = attachBlank(0xBD17);
        EXPECT_EQ(open(path), nullptr);
        EXPECT_EQ(blank->cpucsWrites(), c.cpucs);
        EXPECT_EQ(requests(fx2::kRequestRamWrite).size(), c.ramWrites);
        EXPECT_EQ(blank->releases(), c.releases);
        clock.advance(std::chrono::milliseconds(500));
        for (const platform::UsbDeviceInfo& d : bus.listDevices())
            bus.detach(d.path);
    }
}

TEST_F(Fx2Download, RamWritesAreRetriedUpToThreeTimes)
{
    Bytes image;
    addRecord(image, 0x0100, {7, 8, 9});
    ASSERT_TRUE(Fx2ProductTable::setRamImage(0xBD17, image));
    for (int stalls : {2, 3}) {
        SCOPED_TRACE(stalls);
        bus.clearTranscript();
        bus.clearFaults();
        for (int i = 0; i < stalls; ++i) {
            platform::SimFault f;
            f.bRequest = fx2::kRequestRamWrite;
            f.match = [](const platform::SimRequest& r) { return r.setup.wValue == 0x0100; };
            bus.addFault(f);
        }
        auto blank = attachBlank(0xBD17);
        EXPECT_EQ(open(path), nullptr);
        EXPECT_EQ(blank->ram()[0x0101], stalls < 3 ? 8 : 0);
        EXPECT_EQ(blank->releases(), stalls < 3 ? 1 : 0);
        clock.advance(std::chrono::milliseconds(500));
        for (const platform::UsbDeviceInfo& d : bus.listDevices())
            bus.detach(d.path);
    }
}

TEST_F(Fx2Download, OnlyProductsOutsideTheConverterSetWaitForTheReadinessProbeBeforeTheirReport)
{
    struct Case {
        std::uint16_t product;
        std::size_t probes;
    };
    for (const Case& c : {Case{0xBD69, 6}, Case{0xBD30, 0}}) {
        SCOPED_TRACE(testing::Message() << std::hex << c.product);
        bus.clearTranscript();
        platform::SimFx2Running::Options o;
        o.readyAfterProbes = 5;
        path = bus.attach(platform::SimFx2Running::create(platform::SimFx2Running::descriptors(kVendor, c.product), o));
        Seen seen;
        Window window;
        ConverterNotifierInstance notifier(&seen);
        window.notifier = &notifier;
        ASSERT_TRUE(notifier.create(window.id, 0));
        EXPECT_EQ(seen.arrivedReleases.size(), 1u);
        EXPECT_EQ(requests(fx2::kRequestReadyProbe).size(), c.probes);
        bus.detach(path);
        pump();
        EXPECT_EQ(seen.removed, 1);
    }
}
