// Faults injected into a clean update, one request index at a time: an unplug, a stall or a
// time-out at any request ends in a reported failure (or in success with every image in place),
// nothing hangs, the converter is found again and a second update brings it to its package.

#include "FirmwareTestSupport.h"

#include "converters/fx2/Fx2ProductTable.h"
#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/converters/ConverterFamily.h"
#include "plugins/converters/VisibleConverter.h"
#include "plugins/converters/firmware/ConverterXmegaFirmware.h"
#include "plugins/converters/firmware/FirmwareFormat.h"
#include "plugins/converters/firmware/FirmwareUpdateThread.h"
#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"
#include "tests/support/FaultSweep.h"
#include "tools/sim-tree/SimFirmware.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace SimFirmware = TWG::Tools::SimFirmware;
namespace Format = FirmwareFormat;
using platform::SimFaultAction;
using platform::SimRequest;
using platform::SimRequestKind;
using faultsweep::describe;
using faultsweep::Fault;
using faultsweep::statusOf;

constexpr std::uint16_t kFx2Product = 0xBD15;
constexpr std::uint16_t kFx2At90Product = 0xBD2E;
constexpr std::uint16_t kXmegaProduct = 0xBD93;
constexpr std::uint8_t kOldVersion = 0;

// Image sizes that keep every index cheap and still leave a partial last chunk, block and page.
constexpr std::size_t kFx2ImageSize = Format::kFx2ChunkSize + 300;
constexpr std::size_t kAt90ImageSize = 2 * platform::SimAt90::kPageSize + 40;
constexpr std::size_t kApplicationSize = 2048 + 500;
constexpr std::size_t kEepromImageSize = 3000;

// An update, or the converter's return, that takes longer than this (virtual time) hangs; the
// real-time bound catches a loop that never lets time pass.
constexpr platform::Clock::Duration kHung = std::chrono::minutes(10);
constexpr platform::Clock::Duration kFoundAgain = std::chrono::seconds(30);
constexpr int kRealLimitMs = 20000;
// What hot-plug may still do once an update has reported: re-enumeration, retried opens.
constexpr int kAfterglowMs = 3000;

std::vector<SimFirmware::Image> packageImages(std::uint16_t product)
{
    std::vector<SimFirmware::Image> images = SimFirmware::images(product);
    for (SimFirmware::Image& image : images) {
        std::size_t size = kEepromImageSize;
        if (image.application)
            size = kApplicationSize;
        else if (product != kXmegaProduct)
            size = image.kind == Format::kFx2ImageKind ? kFx2ImageSize : kAt90ImageSize;
        image.data.resize(std::min(size, image.data.size()));
    }
    return images;
}

void writePackage(std::uint16_t product)
{
    std::vector<fwtest::ImageSpec> specs;
    for (const SimFirmware::Image& image : packageImages(product)) {
        fwtest::ImageSpec spec;
        spec.kind = image.kind;
        spec.target = image.target;
        spec.offset = image.offset;
        spec.sectionId = image.sectionId;
        spec.attributes = image.attributes;
        spec.method = image.application ? Format::kXmegaApplicationMethod : 0;
        spec.data = image.data;
        specs.push_back(std::move(spec));
    }
    fwtest::writePackage(product, specs);
}

// Where the memory differs from the image at an offset; empty when it holds it.
std::string differs(const char* memory, const std::vector<std::uint8_t>& bytes, std::size_t at,
                    const std::vector<std::uint8_t>& image)
{
    if (bytes.size() < at + image.size())
        return std::string(memory) + " too small";
    const auto first = bytes.begin() + long(at);
    const auto mismatch = std::mismatch(image.begin(), image.end(), first);
    if (mismatch.first == image.end())
        return {};
    char text[128];
    std::snprintf(text, sizeof text, "%s differs from its image at 0x%zx", memory,
                  at + std::size_t(mismatch.first - image.begin()));
    return text;
}

// A converter with the memories it keeps across a replug, starting with an older firmware in
// them, so that an image written without its erase shows.
class Converter {
public:
    virtual ~Converter() = default;
    virtual std::uint16_t productId() const = 0;
    // Powers it up on the bus (again, after an unplug) with what its memories hold.
    virtual void plugIn(platform::SimBackend& bus) = 0;
    // Why its memories do not hold the package's images; empty when they do.
    virtual std::string incomplete() const = 0;
    virtual std::vector<std::string> violations() const = 0;
};

class Fx2Converter : public Converter {
public:
    explicit Fx2Converter(bool at90)
        : product_(at90 ? kFx2At90Product : kFx2Product), at90_(at90), flash_(fwtest::bytes(2 * 0x10000, 7)),
          eeprom_(fwtest::bytes(64, 8))
    {
        flash_[SimFirmware::kFx2VersionAddress] = kOldVersion;
        if (at90)
            at90Flash_ = fwtest::bytes(4 * platform::SimAt90::kPageSize, 9);
    }

    std::uint16_t productId() const override { return product_; }

    void plugIn(platform::SimBackend& bus) override
    {
        if (model_) {
            flash_ = model_->flash();
            eeprom_ = model_->eeprom();
            at90Flash_ = model_->at90Flash();
            for (const std::string& v : model_->violations())
                violations_.push_back(v);
        }
        platform::SimFx2Running::Options o;
        // The firmware that boots tells the version it carries.
        o.version = flash_[SimFirmware::kFx2VersionAddress];
        o.versionAddress = SimFirmware::kFx2VersionAddress;
        o.flash = flash_;
        o.eeprom = eeprom_;
        if (at90_) {
            platform::SimAt90::Options a;
            a.flash = at90Flash_;
            o.at90 = a;
        }
        model_ = platform::SimFx2Running::create(platform::SimFx2Running::descriptors(0x7C5D, product_), o);
        bus.attach(model_);
    }

    std::string incomplete() const override
    {
        const std::vector<SimFirmware::Image> images = packageImages(product_);
        std::string why = differs("FX2 flash", model_->flash(), 0, images.at(0).data);
        if (why.empty() && at90_)
            why = differs("AT90 flash", model_->at90Flash(), 0, images.at(1).data);
        if (why.empty() && !std::equal(originalEeprom_.begin(), originalEeprom_.end(), model_->eeprom().begin()))
            why = "boot EEPROM changed";
        return why;
    }

    std::vector<std::string> violations() const override
    {
        std::vector<std::string> all = violations_;
        for (const std::string& v : model_->violations())
            all.push_back(v);
        return all;
    }

private:
    const std::uint16_t product_;
    const bool at90_;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> eeprom_;
    const std::vector<std::uint8_t> originalEeprom_ = eeprom_;
    std::vector<std::uint8_t> at90Flash_;
    std::shared_ptr<platform::SimFx2Running> model_;
    std::vector<std::string> violations_;
};

class XmegaConverter : public Converter {
public:
    XmegaConverter() : state_(std::make_shared<platform::SimXmegaState>())
    {
        platform::SimXmegaState& s = *state_;
        s.productId = kXmegaProduct;
        s.versions[0] = s.versions[1] = 0;
        s.versionByte = kOldVersion;
        s.versionByteAfterUpdate = SimFirmware::kVersion;
        const std::vector<std::uint8_t> application = packageImages(kXmegaProduct).at(0).data;
        // The bootloader's versions are those of the image it was given.
        s.versionsAfterWrite = [application](const std::vector<std::uint8_t>& written) {
            const bool same = differs("", written, 0, application).empty();
            const std::uint32_t v = same ? SimFirmware::kXmegaChecksum : 0;
            return std::make_pair(v, v);
        };
        s.application = fwtest::bytes(s.application.size(), 10);
        for (const EepromImage& image : eepromImages()) {
            const std::vector<std::uint8_t> old = fwtest::bytes(image.data.size(), 11);
            std::copy(old.begin(), old.end(), s.eeproms.at(image.target).bytes.begin() + long(image.offset));
        }
    }

    std::uint16_t productId() const override { return kXmegaProduct; }

    void plugIn(platform::SimBackend& bus) override
    {
        if (plugged_)
            state_->powerCycle();
        plugged_ = true;
        bus.attach(platform::SimXmegaDevice::persona(state_, !state_->applicationPresent()));
    }

    std::string incomplete() const override
    {
        std::string why = differs("application area", state_->application, 0, packageImages(kXmegaProduct).at(0).data);
        for (const EepromImage& image : eepromImages())
            if (why.empty())
                why = differs("EEPROM", state_->eeproms.at(image.target).bytes, image.offset, image.data);
        return why;
    }

    std::vector<std::string> violations() const override { return state_->violations; }

private:
    struct EepromImage {
        std::size_t target;
        std::size_t offset;
        std::vector<std::uint8_t> data;
    };
    // The package's EEPROM images and the image table that names them.
    static std::vector<EepromImage> eepromImages()
    {
        std::vector<EepromImage> out;
        for (const SimFirmware::Image& image : packageImages(kXmegaProduct))
            if (!image.application)
                out.push_back({image.target, image.offset, image.data});
        const ConverterXmegaFirmware set(kXmegaProduct);
        out.push_back({Format::Table::kOwnTarget, Format::Table::kOwnOffset,
                       std::vector<std::uint8_t>(set.imageTable().begin(), set.imageTable().end())});
        return out;
    }

    std::shared_ptr<platform::SimXmegaState> state_;
    bool plugged_ = false;
};

enum class ModelClass { Fx2, Fx2WithAt90, Xmega };

std::unique_ptr<Converter> makeConverter(ModelClass model)
{
    if (model == ModelClass::Xmega)
        return std::make_unique<XmegaConverter>();
    return std::make_unique<Fx2Converter>(model == ModelClass::Fx2WithAt90);
}

// One bus with the program's side on it: the converter family over the converter notifier, in
// virtual time. Updates run as the card starts them, through the converter's updater.
class Rig {
public:
    Rig() { platform::DriverPort::setInstance(&emulator_); }
    ~Rig()
    {
        family_.reset();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::DriverPort::setInstance(nullptr);
        TWG::Converters::Fx2ProductTable::clearRamImages();
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    platform::SimBackend& bus() { return bus_; }

    void startFamily()
    {
        family_ = std::make_unique<ConverterFamily>(&host_);
        family_->startDeviceDetection();
    }

    VisibleConverter* converterOf(std::uint16_t productId) const
    {
        for (VisibleConverter* c : family_->converters())
            if (c->productId() == productId)
                return c;
        return nullptr;
    }

    // Hot-plug and the GUI side move on in steps of virtual time; while an update thread runs
    // it moves time itself, so its requests keep their order.
    bool settle(const std::function<bool()>& done, platform::Clock::Duration limit = kHung)
    {
        const platform::Clock::TimePoint until = clock_.now() + limit;
        QElapsedTimer real;
        real.start();
        for (;;) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (done())
                return true;
            if (clock_.now() > until || real.elapsed() > kRealLimitMs)
                return false;
            if (threadRunning())
                std::this_thread::yield();
            else
                clock_.advance(platform::Clock::Duration(10));
        }
    }
    void idle(int ms)
    {
        const platform::Clock::TimePoint until = clock_.now() + platform::Clock::Duration(ms);
        settle([&] { return clock_.now() >= until; });
    }

    // Starts the converter's update and waits for its reports and its thread's end.
    struct Outcome {
        bool ended = false;
        std::vector<int> reports;
    };
    Outcome update(VisibleConverter* converter)
    {
        auto* updater = static_cast<VisibleUSBFirmwareUpdater*>(converter->firmwareUpdater());
        auto reports = std::make_shared<std::vector<int>>();
        QObject::connect(updater, &DeviceFirmwareUpdater::firmwareUpdated, &host_,
                         [reports](int status) { reports->push_back(status); });
        watched_ = updater;
        updater->startUpdate();
        Outcome out;
        out.ended = settle([&] { return !reports->empty() && !(watched_ && watched_->isUpdating()) && !threadRunning(); });
        idle(kAfterglowMs);
        out.reports = *reports;
        return out;
    }

    // Everything of the program let go of the bus.
    int closeAndCountLive()
    {
        family_.reset();
        idle(100);
        return bus_.liveObjects();
    }

private:
    bool threadRunning() const { return watched_ && watched_->thread()->isRunning(); }

    platform::VirtualClock clock_;
    platform::ClockOverride clockOverride_{&clock_};
    platform::SimBackend bus_;
    platform::DriverEmulator emulator_{bus_};
    QWidget host_;
    std::unique_ptr<ConverterFamily> family_;
    QPointer<VisibleUSBFirmwareUpdater> watched_;
};

// One converter through an update with the fault (none: the clean update), then found again and
// updated from scratch. Returns the requests of the first update.
std::vector<SimRequest> runCase(ModelClass model, const std::optional<Fault>& fault)
{
    std::unique_ptr<Converter> converter = makeConverter(model);
    const std::uint16_t product = converter->productId();
    Rig rig;
    converter->plugIn(rig.bus());
    rig.startFamily();
    VisibleConverter* found = nullptr;
    EXPECT_TRUE(rig.settle([&] { return (found = rig.converterOf(product)) != nullptr; }, kFoundAgain));
    if (!found)
        return {};
    EXPECT_FALSE(found->firmwareUpdater()->firmwareIsCurrent()) << "the old firmware is offered the update";

    rig.bus().clearTranscript();
    if (fault) {
        platform::SimFault rule;
        rule.action = fault->action;
        rule.nth = fault->index + 1;
        rig.bus().addFault(rule);
    }
    const Rig::Outcome first = rig.update(found);
    const std::vector<SimRequest> requests = rig.bus().transcript();
    EXPECT_EQ(first.reports.size(), 1u) << "one report per update";
    if (!first.ended) {
        ADD_FAILURE() << "the update hangs";
        return requests;
    }
    const std::string afterFirst = converter->incomplete();
    if (!first.reports.empty() && first.reports[0] == DeviceFirmwareUpdater::Succeeded) {
        EXPECT_EQ(afterFirst, "") << "success reported, but the images are not in place";
    }
    if (!fault) {
        EXPECT_EQ(first.reports, std::vector<int>{DeviceFirmwareUpdater::Succeeded});
    } else if (requests.size() <= std::size_t(fault->index) ||
               requests[std::size_t(fault->index)].status != statusOf(fault->action)) {
        ADD_FAILURE() << "the fault did not fire at its index: the update's requests are not in a fixed order";
    }
    rig.bus().clearFaults();

    if (fault && fault->action == SimFaultAction::Unplug) {
        EXPECT_FALSE(rig.converterOf(product)) << "the unplugged converter is still listed";
        converter->plugIn(rig.bus());
    }
    VisibleConverter* again = nullptr;
    EXPECT_TRUE(rig.settle([&] { return (again = rig.converterOf(product)) != nullptr; }, kFoundAgain))
        << "the converter is not seen again (images: " << (afterFirst.empty() ? "complete" : afterFirst) << ")";
    if (!again)
        return requests;
    if (!afterFirst.empty()) {
        EXPECT_FALSE(again->firmwareUpdater()->firmwareIsCurrent())
            << "counts as current with its images incomplete (" << afterFirst << ")";
    }
    const Rig::Outcome second = rig.update(again);
    EXPECT_TRUE(second.ended) << "the second update hangs";
    EXPECT_EQ(second.reports, std::vector<int>{DeviceFirmwareUpdater::Succeeded}) << "the second update";
    EXPECT_EQ(converter->incomplete(), "") << "after the second update";
    EXPECT_TRUE(converter->violations().empty()) << "the device saw: " << converter->violations().front();
    EXPECT_EQ(rig.closeAndCountLive(), 0) << "a handle, claim or transfer was left open";
    return requests;
}

struct Case {
    ModelClass model;
    SimFaultAction action;
};

std::string nameOf(const Case& c)
{
    const char* model[] = {"Fx2", "Fx2WithAt90", "Xmega"};
    return std::string(model[int(c.model)]) + faultsweep::nameOf(c.action);
}

void PrintTo(const Case& c, std::ostream* out)
{
    *out << nameOf(c);
}

class UpdateFaults : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite()
    {
        fwtest::packageDirectory();
        for (std::uint16_t product : {kFx2Product, kFx2At90Product, kXmegaProduct})
            writePackage(product);
    }
};

TEST_P(UpdateFaults, AtEveryRequestOfACleanUpdate)
{
    const Case c = GetParam();
    faultsweep::atEveryRequest([&](const std::optional<Fault>& fault) { return runCase(c.model, fault); }, c.action);
}

INSTANTIATE_TEST_SUITE_P(
    ModelsAndFaults, UpdateFaults,
    ::testing::Values(Case{ModelClass::Fx2, SimFaultAction::Unplug}, Case{ModelClass::Fx2, SimFaultAction::Stall},
                      Case{ModelClass::Fx2, SimFaultAction::Timeout},
                      Case{ModelClass::Fx2WithAt90, SimFaultAction::Unplug},
                      Case{ModelClass::Fx2WithAt90, SimFaultAction::Stall},
                      Case{ModelClass::Fx2WithAt90, SimFaultAction::Timeout},
                      Case{ModelClass::Xmega, SimFaultAction::Unplug}, Case{ModelClass::Xmega, SimFaultAction::Stall},
                      Case{ModelClass::Xmega, SimFaultAction::Timeout}),
    [](const ::testing::TestParamInfo<Case>& info) { return nameOf(info.param); });

} // namespace
