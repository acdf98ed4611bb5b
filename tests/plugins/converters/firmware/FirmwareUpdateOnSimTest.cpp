#include "FirmwareTestSupport.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "kit/framework/FirmwareUpdateController.h"
#include "kit/framework/FirmwareUpdateDialog.h"
#include "kit/framework/SettingsPage.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/CommonDialog.h"
#include "kit/widgets/ConnectionLostDialog.h"
#include "platform/sim/SimScenario.h"
#include "plugins/converters/ConverterFamily.h"
#include "plugins/converters/ConverterProductCard.h"
#include "plugins/converters/VisibleConverter.h"
#include "plugins/converters/firmware/ConverterUpdateRecord.h"
#include "plugins/converters/firmware/ConverterXmegaFirmware.h"
#include "plugins/converters/firmware/FirmwareUpdateThread.h"
#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"
#include "plugins/converters/settings/ConverterConnection.h"
#include "protocol/At90Protocol.h"
#include "protocol/Fx2Protocol.h"
#include "tests/converters/support/ConverterSimFixture.h"
#include "tests/support/Gate.h"
#include "tools/sim-tree/SimFirmware.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <future>

namespace SimFirmware = TWG::Tools::SimFirmware;

namespace {

constexpr int kWriteRegisterRequest = 0xD7;

bool startsWith(const std::vector<std::uint8_t>& memory, std::size_t at, const std::vector<std::uint8_t>& image)
{
    return memory.size() >= at + image.size() && std::equal(image.begin(), image.end(), memory.begin() + long(at));
}

// Classic converters on the simulated bus, found by the family and opened in their cards, with
// the packages the simulation-only tree ships, in virtual time.
class UpdateOnSim : public convtest::ConverterSimFixture {
protected:
    void SetUp() override
    {
        host.resize(800, 600);
        host.show();
        for (std::uint16_t id : {0xBD15, 0xBD16, 0xBD2E, 0xBD93}) {
            std::string error;
            ASSERT_TRUE(SimFirmware::writePackage(id, fwtest::packageDirectory(), &error)) << error;
            // An update an earlier test left unfinished is no business of this one.
            ConverterUpdateRecord::clear(id);
        }
    }
    void TearDown() override
    {
        for (ConverterProductCard* card : host.findChildren<ConverterProductCard*>())
            delete card;
        converters.reset();
        EXPECT_TRUE(settleUntil([] { return true; }));
    }

    void startFamily()
    {
        converters = std::make_unique<ConverterFamily>(&host);
        converters->startDeviceDetection();
        run(50);
    }
    VisibleConverter* converterOf(std::uint16_t productId) const
    {
        for (VisibleConverter* c : converters->converters())
            if (c->productId() == productId)
                return c;
        return nullptr;
    }
    ConverterProductCard* open(std::uint16_t productId)
    {
        VisibleConverter* c = converterOf(productId);
        if (!c)
            return nullptr;
        converters->showDevice(c);
        const auto cards = host.findChildren<ConverterProductCard*>();
        return cards.isEmpty() ? nullptr : cards.last();
    }
    // Moves time on the GUI side too: hot-plug and the application load happen here.
    bool settleUntil(const std::function<bool()>& condition)
    {
        return fwtest::waitUntil(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return condition();
            },
            60000, [&] { clock.advance(platform::Clock::Duration(10)); });
    }
    static FirmwareUpdateDialog* dialogOf(ConverterProductCard* card) { return card->controller()->dialog(); }
    static bool offered(ConverterProductCard* card)
    {
        return card && dialogOf(card) && dialogOf(card)->isVisible() &&
               dialogOf(card)->state() == FirmwareUpdateDialog::Prompt;
    }

    // Accepts the offered update and waits for its end; the progress it showed.
    std::vector<int> acceptAndWait(ConverterProductCard* card, int endState)
    {
        std::vector<int> percents;
        FirmwareUpdateDialog* dialog = dialogOf(card);
        DeviceFirmwareUpdater* updater = converterOf(productIdOf(card))->firmwareUpdater();
        QObject::connect(updater, &DeviceFirmwareUpdater::firmwareUpdateProgress, card,
                         [&percents](int p) { percents.push_back(p); });
        dialog->yesButton()->click();
        EXPECT_EQ(dialog->state(), FirmwareUpdateDialog::Updating);
        EXPECT_TRUE(settleUntil([&] { return dialog->state() == endState; })) << "state " << dialog->state();
        if (endState == FirmwareUpdateDialog::Completed) {
            EXPECT_EQ(dialog->progressBar()->value(), 100);
        }
        return percents;
    }
    std::uint16_t productIdOf(ConverterProductCard* card) const
    {
        for (VisibleConverter* c : converters->converters())
            if (c->matches(card->connection()->device()))
                return c->productId();
        return 0;
    }
    // Done on the completed dialog: the card goes on to the settings page.
    static void finish(ConverterProductCard* card)
    {
        dialogOf(card)->closeButton()->click();
        EXPECT_EQ(card->controller()->result(), FirmwareUpdateController::Completed);
        EXPECT_TRUE(card->settingsPage());
    }
    static std::vector<std::uint8_t> image(std::uint16_t productId, int index)
    {
        return SimFirmware::images(productId).at(static_cast<std::size_t>(index)).data;
    }

    // An XMEGA with an old application and FPGA version, which its update's write mends.
    std::shared_ptr<platform::SimXmegaState> attachOutOfDateXmega(std::uint16_t productId)
    {
        auto state = attachXmega(productId);
        state->versions[0] = state->versions[1] = 0;
        state->versionByte = 2;
        state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) {
            return std::make_pair(SimFirmware::kXmegaChecksum, SimFirmware::kXmegaChecksum);
        };
        return state;
    }

    QWidget host;
    std::unique_ptr<ConverterFamily> converters;
};

std::shared_ptr<platform::SimFx2Running> fx2Model(bool at90, std::uint8_t version, const std::string& serial = {})
{
    platform::SimFx2Running::Options o;
    o.version = version;
    o.versionAddress = SimFirmware::kFx2VersionAddress;
    if (at90)
        o.at90 = platform::SimAt90::Options{};
    platform::SimDescriptors d = platform::SimFx2Running::descriptors(0x7C5D, at90 ? 0xBD2E : 0xBD15);
    if (!serial.empty()) {
        constexpr std::uint8_t kSerialIndex = 3;
        d.device.iSerialNumber = kSerialIndex;
        d.strings[kSerialIndex] = serial;
    }
    return platform::SimFx2Running::create(std::move(d), o);
}

bool monotonic(const std::vector<int>& percents)
{
    return std::is_sorted(percents.begin(), percents.end());
}

} // namespace

TEST_F(UpdateOnSim, Fx2AloneIsUpdatedAndOpensItsSettings)
{
    auto model = fx2Model(false, 0);
    bus.attach(model);
    startFamily();
    ConverterProductCard* card = open(0xBD15);
    ASSERT_TRUE(offered(card));
    const std::vector<int> percents = acceptAndWait(card, FirmwareUpdateDialog::Completed);
    EXPECT_TRUE(startsWith(model->flash(), 0, image(0xBD15, 0)));
    EXPECT_TRUE(monotonic(percents));
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_EQ(model->reg(1), SimFirmware::kVersion) << "the restarted firmware shows the set's version";
    EXPECT_TRUE(model->violations().empty());
    finish(card);
    EXPECT_TRUE(converterOf(0xBD15)->firmwareUpdater()->firmwareIsCurrent());
}

TEST_F(UpdateOnSim, Fx2WithAt90IsUpdatedFlashFirstThenAt90)
{
    auto model = fx2Model(true, 0);
    bus.attach(model);
    startFamily();
    ConverterProductCard* card = open(0xBD2E);
    ASSERT_TRUE(offered(card));
    const std::vector<int> percents = acceptAndWait(card, FirmwareUpdateDialog::Completed);
    EXPECT_TRUE(startsWith(model->flash(), 0, image(0xBD2E, 0)));
    EXPECT_TRUE(startsWith(model->at90Flash(), 0, image(0xBD2E, 1)));
    EXPECT_TRUE(monotonic(percents));
    EXPECT_NE(std::find(percents.begin(), percents.end(), 75), percents.end());
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(model->violations().empty());
    finish(card);
}

// The application first (through its bootloader), then the EEPROM images and their table.
TEST_F(UpdateOnSim, XmegaLoadsItsApplicationThenProgramsItsEeprom)
{
    auto state = attachOutOfDateXmega(0xBD93);
    startFamily();
    ConverterProductCard* card = open(0xBD93);
    ASSERT_TRUE(offered(card));
    const std::vector<int> percents = acceptAndWait(card, FirmwareUpdateDialog::Completed);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.front(), -1) << "the application load shows an indeterminate bar";
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(startsWith(state->application, 0, image(0xBD93, 0)));
    const std::vector<std::uint8_t>& eeprom = state->eeproms.at(0).bytes;
    const auto images = SimFirmware::images(0xBD93);
    EXPECT_TRUE(startsWith(eeprom, images[1].offset, images[1].data));
    EXPECT_TRUE(startsWith(eeprom, images[2].offset, images[2].data));
    const ConverterXmegaFirmware set(0xBD93);
    EXPECT_TRUE(startsWith(eeprom, 0x3F0000,
                           std::vector<std::uint8_t>(set.imageTable().begin(), set.imageTable().end())));
    EXPECT_TRUE(state->violations.empty());
    finish(card);
    EXPECT_EQ(converters->converters().size(), 1) << "the trip through the bootloader is no removal";
}

// The repository scenario's out-of-date XMEGA, in the simulation-only tree: the update mends its
// checksum and its FPGA version, so it counts as current and its next opening goes straight to
// the settings.
TEST_F(UpdateOnSim, TheScenariosOutOfDateXmegaIsUpdatedAndThenCurrent)
{
    for (const auto* models : {&SimFirmware::fx2Models(), &SimFirmware::xmegaModels()})
        for (std::uint16_t id : *models) {
            std::string error;
            ASSERT_TRUE(SimFirmware::writePackage(id, fwtest::packageDirectory(), &error)) << error;
        }
    QFile file(QStringLiteral(OSTREL_SIM_SCENARIO));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << OSTREL_SIM_SCENARIO;
    QString error;
    ASSERT_TRUE(platform::loadSimScenario(file.readAll(), bus, &error)) << error.toStdString();
    startFamily();
    const int count = converters->converters().size();
    std::vector<std::uint16_t> outOfDate;
    for (VisibleConverter* c : converters->converters())
        if (c->device()->isXmega() && !c->firmwareUpdater()->firmwareIsCurrent())
            outOfDate.push_back(c->productId());
    ASSERT_EQ(outOfDate.size(), 1u);
    const std::uint16_t product = outOfDate[0];
    std::shared_ptr<platform::SimXmegaState> state;
    for (const platform::UsbDeviceInfo& info : bus.listDevices())
        if (auto d = std::dynamic_pointer_cast<platform::SimXmegaDevice>(bus.device(info.path)))
            state = info.descriptor.idProduct == product ? d->state() : state;
    ASSERT_TRUE(state);
    ASSERT_NE(state->versions[0], SimFirmware::kXmegaChecksum) << "the checksum is old too";

    QPointer<ConverterProductCard> card = open(product);
    ASSERT_TRUE(offered(card));
    acceptAndWait(card, FirmwareUpdateDialog::Completed);
    EXPECT_TRUE(startsWith(state->application, 0, image(product, 0)));
    const auto images = SimFirmware::images(product);
    EXPECT_TRUE(startsWith(state->eeproms.at(0).bytes, images[1].offset, images[1].data));
    EXPECT_EQ(state->versions[0], SimFirmware::kXmegaChecksum);
    EXPECT_EQ(state->versionByte, SimFirmware::kVersion);
    EXPECT_TRUE(state->violations.empty());
    finish(card);
    EXPECT_EQ(converters->converters().size(), count);
    EXPECT_TRUE(converterOf(product)->firmwareUpdater()->firmwareIsCurrent());

    delete card;
    card = open(product);
    ASSERT_TRUE(card);
    EXPECT_FALSE(dialogOf(card)) << "offered again";
    EXPECT_TRUE(card->settingsPage());
}

// Cancel on the offer closes the card without its settings, and nothing is programmed.
TEST_F(UpdateOnSim, DecliningTheOfferClosesTheCard)
{
    auto model = fx2Model(false, 0);
    bus.attach(model);
    startFamily();
    QPointer<ConverterProductCard> card = open(0xBD15);
    ASSERT_TRUE(offered(card));
    QPointer<FirmwareUpdateDialog> dialog = dialogOf(card);
    dialog->noButton()->click();
    EXPECT_EQ(card->controller()->result(), FirmwareUpdateController::Declined);
    EXPECT_FALSE(card->settingsPage());
    EXPECT_TRUE(settleUntil([&] { return !card; })) << "the card closes";
    EXPECT_TRUE(!dialog || !dialog->isVisible());
    EXPECT_EQ(converters->converters().size(), 1);
    EXPECT_TRUE(controls(TWG::Converters::fx2::kRequestEnterProgramming).empty()) << "nothing was programmed";
    EXPECT_EQ(model->reg(1), 0);
}

TEST_F(UpdateOnSim, ACurrentConverterGoesStraightToItsSettings)
{
    bus.attach(fx2Model(false, SimFirmware::kVersion));
    startFamily();
    ConverterProductCard* card = open(0xBD15);
    ASSERT_TRUE(card);
    EXPECT_FALSE(dialogOf(card));
    EXPECT_TRUE(card->settingsPage());
}

// The failure dialog says "try again": the same converter's next update runs and reports.
TEST_F(UpdateOnSim, AFailedUpdateCanBeRetried)
{
    auto model = fx2Model(false, 0);
    bus.attach(model);
    platform::SimFault stall;
    stall.kind = platform::SimRequestKind::Out;
    stall.nth = 3;
    bus.addFault(stall);
    startFamily();
    QPointer<ConverterProductCard> card = open(0xBD15);
    ASSERT_TRUE(offered(card));
    acceptAndWait(card, FirmwareUpdateDialog::Failed);
    dialogOf(card)->closeButton()->click();
    EXPECT_EQ(card->controller()->result(), FirmwareUpdateController::Failed);
    EXPECT_TRUE(settleUntil([&] { return !card; })) << "a failed update closes the card";

    card = open(0xBD15);
    ASSERT_TRUE(offered(card));
    acceptAndWait(card, FirmwareUpdateDialog::Completed);
    EXPECT_TRUE(startsWith(model->flash(), 0, image(0xBD15, 0)));
    finish(card);
}

// The FX2 restarts into its new version before the AT90 is written: a fault among the AT90
// pages fails the update, and the converter is still offered it, whose AT90 stage starts over
// with its chip erase (the pages written before the fault would show otherwise).
TEST_F(UpdateOnSim, AnAt90LeftHalfWrittenIsOfferedTheUpdateAgain)
{
    auto model = fx2Model(true, 0);
    bus.attach(model);
    platform::SimFault stall;
    stall.bRequest = TWG::Converters::at90::kRequestProgramPage;
    stall.nth = 4;
    bus.addFault(stall);
    startFamily();
    QPointer<ConverterProductCard> card = open(0xBD2E);
    ASSERT_TRUE(offered(card));
    acceptAndWait(card, FirmwareUpdateDialog::Failed);
    ASSERT_EQ(model->reg(1), SimFirmware::kVersion) << "the FX2 already runs its new version";
    dialogOf(card)->closeButton()->click();
    ASSERT_TRUE(settleUntil([&] { return !card; }));
    EXPECT_FALSE(converterOf(0xBD2E)->firmwareUpdater()->firmwareIsCurrent());

    card = open(0xBD2E);
    ASSERT_TRUE(offered(card)) << "a half-written AT90 is offered the update";
    acceptAndWait(card, FirmwareUpdateDialog::Completed);
    EXPECT_TRUE(startsWith(model->at90Flash(), 0, image(0xBD2E, 1)));
    EXPECT_TRUE(model->violations().empty()) << model->violations().front();
    finish(card);
    EXPECT_TRUE(converterOf(0xBD2E)->firmwareUpdater()->firmwareIsCurrent());
}

// Two converters of one model, told apart by their serial numbers: an unfinished update of one
// offers the update to that one alone.
TEST_F(UpdateOnSim, AnUnfinishedUpdateIsOfferedOnlyToItsOwnConverter)
{
    const QString first = QStringLiteral("SN-A1"), second = QStringLiteral("SN-B2");
    ConverterUpdateRecord::clear(0xBD2E, second);
    ASSERT_TRUE(ConverterUpdateRecord::markUnderWay(0xBD2E, first));
    bus.attach(fx2Model(true, SimFirmware::kVersion, first.toStdString()));
    bus.attach(fx2Model(true, SimFirmware::kVersion, second.toStdString()));
    startFamily();
    ASSERT_EQ(converters->converters().size(), 2);
    auto openSerial = [&](const QString& serial) -> ConverterProductCard* {
        for (VisibleConverter* c : converters->converters())
            if (c->device()->serialNumber() == serial) {
                converters->showDevice(c);
                const auto cards = host.findChildren<ConverterProductCard*>();
                return cards.isEmpty() ? nullptr : cards.last();
            }
        return nullptr;
    };

    ConverterProductCard* card = openSerial(second);
    ASSERT_TRUE(card);
    EXPECT_FALSE(dialogOf(card)) << "the other converter is current";
    EXPECT_TRUE(card->settingsPage());
    delete card;

    card = openSerial(first);
    ASSERT_TRUE(offered(card)) << "the converter with the record is offered the update";
    acceptAndWait(card, FirmwareUpdateDialog::Completed);
    finish(card);
    EXPECT_FALSE(ConverterUpdateRecord::isUnderWay(0xBD2E, first));
}

// Closing is refused, with its reason, while an FX2 and AT90 update runs; at exit the family
// waits for the update thread, turning the event loop meanwhile, and the programming runs to
// its end. Held at the first AT90 page, when the FX2 has just restarted into its new version.
TEST_F(UpdateOnSim, NoCloseMidUpdateAndShutdownWaitsForTheProgrammingToEnd)
{
    auto model = fx2Model(true, 0);
    bus.attach(model);
    Gate gate;
    auto held = std::make_shared<std::atomic<bool>>(false);
    platform::SimFault hold;
    hold.bRequest = TWG::Converters::at90::kRequestProgramPage;
    hold.match = [held, opened = gate.future](const platform::SimRequest&) {
        if (!held->exchange(true))
            opened.wait();
        return false;
    };
    bus.addFault(hold);
    startFamily();
    EXPECT_TRUE(converters->canClose()) << "nothing runs yet";
    EXPECT_FALSE(converters->closeRefusal());
    ConverterProductCard* card = open(0xBD2E);
    ASSERT_TRUE(offered(card));
    QSignalSpy results(converterOf(0xBD2E)->firmwareUpdater(), &DeviceFirmwareUpdater::firmwareUpdated);
    dialogOf(card)->yesButton()->click();
    // The worker holds the bus now: no clock moves on this side until it is let go.
    ASSERT_TRUE(fwtest::waitUntil([&] { return held->load(); }));

    EXPECT_FALSE(converters->canClose());
    CommonDialog* refusal = converters->closeRefusal();
    ASSERT_TRUE(refusal && refusal->isVisible());
    EXPECT_EQ(refusal->titleLabel()->text(), QStringLiteral("Software Update"));
    EXPECT_EQ(refusal->headingLabel()->text(), QStringLiteral("Update in Progress!"));
    EXPECT_EQ(refusal->messageLabel()->text(),
              QStringLiteral("Please wait for the Converter software update to finish before closing."));
    refusal->closeButton()->click();
    EXPECT_FALSE(refusal->isVisible());
    EXPECT_FALSE(converters->canClose()) << "asked again, refused again";
    EXPECT_EQ(converters->closeRefusal(), refusal) << "one dialog, shown again";
    EXPECT_TRUE(refusal->isVisible());

    // Let go only once shutdown is waiting: it must not return before the thread has finished.
    QTimer::singleShot(20, [&] { gate.release(); });
    converters->shutdown();
    QThread* thread = static_cast<VisibleUSBFirmwareUpdater*>(converterOf(0xBD2E)->firmwareUpdater())->thread();
    EXPECT_TRUE(thread->isFinished());
    EXPECT_TRUE(startsWith(model->at90Flash(), 0, image(0xBD2E, 1))) << "the AT90 was written to its end";
    EXPECT_FALSE(model->programming());
    EXPECT_TRUE(model->violations().empty());
    ASSERT_TRUE(settleUntil([&] { return results.count() == 1; }));
    EXPECT_EQ(results.at(0).at(0).toInt(), DeviceFirmwareUpdater::Succeeded);
    EXPECT_TRUE(converters->canClose());
}

// The XMEGA application load, on the GUI side before any thread starts, counts as an update.
TEST_F(UpdateOnSim, NoCloseWhileAnXmegaApplicationLoads)
{
    attachOutOfDateXmega(0xBD93);
    startFamily();
    ConverterProductCard* card = open(0xBD93);
    ASSERT_TRUE(offered(card));
    dialogOf(card)->yesButton()->click();
    auto* updater = static_cast<VisibleUSBFirmwareUpdater*>(converterOf(0xBD93)->firmwareUpdater());
    ASSERT_FALSE(updater->thread()->isRunning()) << "still loading the application";
    EXPECT_FALSE(converters->canClose());
    ASSERT_TRUE(settleUntil([&] { return dialogOf(card)->state() == FirmwareUpdateDialog::Completed; }));
    ASSERT_TRUE(settleUntil([&] { return !updater->thread()->isRunning(); }));
    EXPECT_TRUE(converters->canClose());
}

// Unplugged mid-update: the card shows the device lost, the update ends as a failure, and the
// updater goes once its thread has finished; nothing is left open on the bus.
TEST_F(UpdateOnSim, UnpluggingDuringAnUpdateReportsFailureWithoutACrash)
{
    auto model = fx2Model(true, 0);
    bus.attach(model);
    platform::SimFault unplug;
    unplug.action = platform::SimFaultAction::Unplug;
    unplug.kind = platform::SimRequestKind::Out;
    unplug.nth = 20;
    bus.addFault(unplug);
    startFamily();
    ConverterProductCard* card = open(0xBD2E);
    ASSERT_TRUE(offered(card));
    QPointer<DeviceFirmwareUpdater> updater = converterOf(0xBD2E)->firmwareUpdater();
    QSignalSpy results(updater.data(), &DeviceFirmwareUpdater::firmwareUpdated);
    dialogOf(card)->yesButton()->click();
    ASSERT_TRUE(settleUntil([&] { return converters->converters().isEmpty(); }));
    EXPECT_TRUE(card->lostDialog() && card->lostDialog()->isVisible());
    EXPECT_FALSE(dialogOf(card)->isVisible());
    ASSERT_TRUE(settleUntil([&] { return !updater; }));
    ASSERT_EQ(results.count(), 1);
    EXPECT_EQ(results.at(0).at(0).toInt(), 1);
    EXPECT_EQ(bus.liveObjects(), 0);
    EXPECT_TRUE(converters->canClose());
}

// An application load that cannot start fails the update, even where the EEPROM images would be
// skipped (the FPGA version matches): success would leave the old application running.
TEST_F(UpdateOnSim, AnXmegaWhoseApplicationLoadCannotStartFails)
{
    auto state = attachXmega(0xBD93);
    state->versions[0] = state->versions[1] = 0;
    state->versionByte = SimFirmware::kVersion;
    const std::vector<std::uint8_t> before = state->application;
    startFamily();
    for (const convtest::LoadStartRequest& c : convtest::kLoadStartRequests) {
        SCOPED_TRACE(c.name);
        QPointer<ConverterProductCard> card = open(0xBD93);
        ASSERT_TRUE(offered(card));
        platform::SimFault stall;
        stall.path = bus.listDevices().at(0).path;
        stall.bmRequestType = c.requestType;
        stall.bRequest = c.request;
        bus.addFault(stall);
        dialogOf(card)->yesButton()->click();
        ASSERT_TRUE(settleUntil([&] {
            return dialogOf(card)->state() == FirmwareUpdateDialog::Failed ||
                   dialogOf(card)->state() == FirmwareUpdateDialog::Completed;
        }));
        EXPECT_EQ(dialogOf(card)->state(), FirmwareUpdateDialog::Failed);
        bus.clearFaults();
        dialogOf(card)->closeButton()->click();
        EXPECT_EQ(card->controller()->result(), FirmwareUpdateController::Failed);
        EXPECT_TRUE(settleUntil([&] { return !card; }));
        EXPECT_EQ(state->restarts, 0);
        EXPECT_EQ(state->application, before);
        EXPECT_EQ(converters->converters().size(), 1);
    }
}

// A fault on the trip through the bootloader leaves the converter there: the family sees it
// again without a replug (a powered model too, whose bootloader has no power request), its open
// card takes it up and offers the update again, and that update brings it back into its
// application.
TEST_F(UpdateOnSim, AnXmegaLeftInItsBootloaderIsOfferedTheUpdateAgain)
{
    std::string error;
    ASSERT_TRUE(SimFirmware::writePackage(0xBDF2, fwtest::packageDirectory(), &error)) << error;
    auto state = attachOutOfDateXmega(0xBDF2);
    startFamily();
    QPointer<ConverterProductCard> card = open(0xBDF2);
    ASSERT_TRUE(offered(card));
    const TWG::Converters::IConverter* first = card->connection()->device();
    platform::SimFault stall;
    stall.bmRequestType = 0x41;
    stall.bRequest = 0x05; // the application write, in the bootloader
    bus.addFault(stall);
    dialogOf(card)->yesButton()->click();
    ASSERT_TRUE(settleUntil([&] { return card->connection() && card->connection()->device() != first; }));
    auto device = std::dynamic_pointer_cast<platform::SimXmegaDevice>(bus.device(bus.listDevices().at(0).path));
    ASSERT_TRUE(device && device->isBootloader());
    EXPECT_EQ(converters->converters().size(), 1);
    EXPECT_TRUE(converterOf(0xBDF2)->isPowered());
    ASSERT_TRUE(offered(card));

    acceptAndWait(card, FirmwareUpdateDialog::Completed);
    EXPECT_TRUE(startsWith(state->application, 0, image(0xBDF2, 0)));
    const auto images = SimFirmware::images(0xBDF2);
    EXPECT_TRUE(startsWith(state->eeproms.at(0).bytes, images[1].offset, images[1].data));
    EXPECT_EQ(state->versions[0], SimFirmware::kXmegaChecksum);
    EXPECT_TRUE(state->violations.empty());
    finish(card);
    device = std::dynamic_pointer_cast<platform::SimXmegaDevice>(bus.device(bus.listDevices().at(0).path));
    EXPECT_FALSE(device->isBootloader());
}
