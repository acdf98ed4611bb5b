#include "kit/widgets/CardPushButton.h"
#include "platform/sim/SimScenario.h"
#include "plugins/zanthic/ui/ConnectionLostDialog.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/FirmwareUpdateController.h"
#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"
#include "plugins/zanthic/ui/ZanthicPlugInSetup.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/XmegaProtocol.h"
#include "tests/plugins/zanthic/GuiStall.h"
#include "tests/plugins/zanthic/ScaledClock.h"
#include "tests/plugins/zanthic/ZanthicSimFixture.h"
#include "tools/sim-tree/SimFirmware.h"
#include "tests/plugins/zanthic/ui/ZanthicUiFakes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

using namespace zanthicui;

// The plug-in's family on the simulated bus, found through the real notifier and manager.
class ZanthicOnSim : public zanthictest::ZanthicSimFixture {
protected:
    void TearDown() override
    {
        delete family;
        family = nullptr;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void startFamily()
    {
        host.resize(780, 710);
        host.show();
        ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("Resources"))));
        family = setUpZanthicFamily(QDir(root.path()), &host);
        family->startDeviceDetection();
    }
    bool waitFor(std::function<bool()> done) { return QTest::qWaitFor(done, 20000); }
    D2VisibleDevice* deviceOf(std::uint16_t productId) const
    {
        for (const auto& d : family->visibleDevices())
            if (d->activeDevice() && d->activeDevice()->productId() == productId)
                return d.get();
        return nullptr;
    }
    std::string pathOf(std::uint16_t product)
    {
        for (const platform::UsbDeviceInfo& info : bus.listDevices())
            if (info.descriptor.idProduct == product)
                return info.path;
        return std::string();
    }

    QTemporaryDir root;
    QWidget host;
    D2Family* family = nullptr;
};

// The repository's scenario: each Zanthic device once, named, pictured, and with nothing to
// write (bin/ holds no firmware) none of them asks for an update.
TEST_F(ZanthicOnSim, TheRepositoryScenarioBringsItsZanthicDevices)
{
    QFile file(QStringLiteral(ZANTHIC_SIM_SCENARIO));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << ZANTHIC_SIM_SCENARIO;
    QString error;
    ASSERT_TRUE(platform::loadSimScenario(file.readAll(), bus, &error)) << error.toStdString();
    startFamily();
    ASSERT_TRUE(waitFor([&] { return family->visibleDevices().size() == 4; }));
    for (std::uint16_t id : {0xBE89, 0xBE70, 0xBE77, 0xBE90}) {
        D2VisibleDevice* d = deviceOf(id);
        ASSERT_NE(d, nullptr) << std::hex << id;
        EXPECT_FALSE(d->name().isEmpty()) << std::hex << id;
        EXPECT_FALSE(d->image().isNull()) << std::hex << id;
        EXPECT_FALSE(d->galleryConnectionIcon().isNull()) << std::hex << id;
        EXPECT_FALSE(d->isFirmwareUpdateAvailable()) << std::hex << id;
    }
    EXPECT_EQ(deviceOf(0xBE89)->displayName(), QStringLiteral("Studio A"));
}

TEST_F(ZanthicOnSim, OpenADeviceReachItsPageThenUnplugIt)
{
    auto state = stm32State(0xBE89);
    state->setText("DeviceName", "Studio A");
    attachStm32(state);
    startFamily();
    ASSERT_TRUE(waitFor([&] { return deviceOf(0xBE89) != nullptr; }));

    family->showDevice(deviceOf(0xBE89));
    const auto cards = host.findChildren<D2ProductCard*>();
    ASSERT_EQ(cards.size(), 1);
    QPointer<D2ProductCard> card = cards.first();
    ASSERT_TRUE(waitFor([&] { return qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()) != nullptr; }));

    ASSERT_TRUE(bus.detach(pathOf(0xBE89)));
    ASSERT_TRUE(waitFor([&] { return card && !card->lostDialog()->isHidden(); }));
    EXPECT_EQ(card->lostDialog()->headingLabel()->text(), QStringLiteral("USB Disconnected!"));
    EXPECT_TRUE(family->visibleDevices().isEmpty());
    card->lostDialog()->closeButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(card) << "the device is gone: the card closes";
}

// An open card whose device stops answering while its status poll reads it: the window keeps
// turning, and the card may close, the device be unplugged or the program end with the read
// still waiting out its time-out. Nothing waits for it but the end of the program, its late
// answer changes nothing, and once everything has gone no driver object is left open.
TEST_F(ZanthicOnSim, ACardCanCloseLoseItsDeviceOrEndWhileAPollWaitsOnIt)
{
    namespace xp = TWG::Converters::xmega;
    enum class Ending { CardClosed, Unplugged, ProgramEnds };
    struct Row {
        const char* name;
        std::uint16_t product;
        Ending ending;
    };
    const Row rows[] = {
        {"STM32, card closed", 0xBE89, Ending::CardClosed},
        {"STM32, unplugged", 0xBE89, Ending::Unplugged},
        {"STM32, program ends", 0xBE89, Ending::ProgramEnds},
        {"XMEGA, card closed", 0xBE90, Ending::CardClosed},
        {"XMEGA, unplugged", 0xBE90, Ending::Unplugged},
        {"XMEGA, program ends", 0xBE90, Ending::ProgramEnds},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool xmega = row.product == 0xBE90;
        // Requests that time out take over a second each: longer than a poll's interval.
        zanthictest::GuiWatchedClock watched(8);
        platform::ClockOverride scaled(&watched);
        const std::string path = xmega ? attachXmega(xmegaState(row.product)) : attachStm32(stm32State(row.product));
        startFamily();
        ASSERT_TRUE(waitFor([&] { return deviceOf(row.product) != nullptr; }));
        family->showDevice(deviceOf(row.product));
        const auto cards = host.findChildren<D2ProductCard*>();
        ASSERT_EQ(cards.size(), 1);
        QPointer<D2ProductCard> card = cards.first();
        ASSERT_TRUE(waitFor([&] { return qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()) != nullptr; }));

        auto pollReads = [&] {
            return xmega ? controls(xp::kGetMode, xp::kVendorInterfaceIn).size()
                         : controls(stm32::kClassGetBootMode, stm32::kClassInterfaceIn).size();
        };
        const std::size_t answered = pollReads();
        failRequests(path, platform::SimFaultAction::Timeout, 1000);
        zanthictest::GuiTurns turns;
        ASSERT_TRUE(waitFor([&] { return pollReads() > answered; })) << "a poll read waits on the device";

        switch (row.ending) {
        case Ending::CardClosed:
            card->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_FALSE(card);
            EXPECT_GT(bus.liveObjects(), 0) << "the manager and the read still hold the device";
            break;
        case Ending::Unplugged: {
            const std::shared_ptr<ConnectedDevice> connected = card->connectedDevice();
            ASSERT_TRUE(bus.detach(path));
            ASSERT_TRUE(waitFor([&] { return !card->lostDialog()->isHidden(); }));
            EXPECT_EQ(card->lostDialog()->headingLabel()->text(), QStringLiteral("USB Disconnected!"));
            ZanthicConvertersConnectedDevice::waitForPollReads();
            QCoreApplication::processEvents();
            EXPECT_EQ(connected->connectionState(), Interrupted) << "the read's late answer";
            EXPECT_FALSE(card->lostDialog()->isHidden());
            card->lostDialog()->closeButton()->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_FALSE(card) << "the device is gone: the card closes";
            break;
        }
        case Ending::ProgramEnds:
            // As the window ends: the families shut down, then its cards go.
            delete family;
            family = nullptr;
            delete card.data();
            EXPECT_EQ(bus.liveObjects(), 0) << "a driver object outlived the program's end";
            break;
        }
        EXPECT_LT(turns.longestGapMs(), 250);
        EXPECT_LT(watched.longestGuiSleepMs.load(), 250) << "the GUI thread waited out a request";

        delete family;
        family = nullptr;
        delete card.data();
        ZanthicConvertersConnectedDevice::waitForPollReads();
        QCoreApplication::processEvents();
        EXPECT_EQ(bus.liveObjects(), 0);
        bus.clearFaults();
        bus.detach(path);
    }
}

// Real time run ten times faster (the virtual clock cannot follow the update task's thread and
// the notifier's at once), with the synthetic packages the simulation-only tree ships.
class ZanthicUpdateOnSim : public ZanthicOnSim {
protected:
    void writeSimulatedPackage(std::uint16_t productId)
    {
        const QString resources = root.filePath(QStringLiteral("Resources"));
        ASSERT_TRUE(QDir().mkpath(resources));
        std::string error;
        ASSERT_TRUE(TWG::Tools::SimFirmware::writePackage(productId, resources.toStdString(), &error)) << error;
    }
    bool waitLong(std::function<bool()> done) { return QTest::qWaitFor(done, 60000); }

    // Opening the device asks first for the required update, and opens no card.
    FirmwareUpdateController* offered(std::uint16_t productId)
    {
        family->showDevice(deviceOf(productId));
        FirmwareUpdateController* controller = family->controller();
        if (controller) {
            EXPECT_EQ(controller->dialog()->state(), FirmwareUpdateDialog::Required);
        }
        EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty());
        return controller;
    }
    // Back in its application with the packaged build: the card opens, and reaches its page.
    void expectItOpensToItsSettings(std::uint16_t productId);

    zanthictest::ScaledClock scaled{10};
    platform::ClockOverride scaledOverride{&scaled};
};

// Asks first, updates through the simulated DFU bootloader with progress, ends "Update
// Complete!" with the card closed, and opens straight to its settings the next time.
TEST_F(ZanthicUpdateOnSim, AnOutOfDateStm32DeviceUpdatesThroughItsBootloaderAndThenOpens)
{
    auto state = stm32State(0xBE77);
    state->setText("BuildId", "00010001");
    bus.attach(platform::SimStm32Application::persona(state, false));
    ASSERT_NO_FATAL_FAILURE(writeSimulatedPackage(0xBE77));
    startFamily();
    ASSERT_TRUE(waitFor([&] { return deviceOf(0xBE77) != nullptr; }));

    QPointer<FirmwareUpdateController> controller = offered(0xBE77);
    ASSERT_TRUE(controller);
    FirmwareUpdateDialog* dialog = controller->dialog();
    EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Update Required!"));

    QList<int> shown;
    QObject::connect(dialog->progressBar(), &QProgressBar::valueChanged, dialog,
                     [&](int value) { shown.append(value); });
    dialog->yesButton()->click();
    EXPECT_EQ(dialog->state(), FirmwareUpdateDialog::Updating);
    EXPECT_FALSE(family->canClose()) << "mid-update";
    ASSERT_TRUE(waitLong([&] { return dialog->state() != FirmwareUpdateDialog::Updating; }));
    ASSERT_EQ(dialog->state(), FirmwareUpdateDialog::Complete);
    EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Update Complete!"));
    EXPECT_TRUE(family->canClose());
    EXPECT_EQ(state->text("BuildId"), std::string(firmwareids::stm32BuildId(0xBE77)));
    EXPECT_EQ(state->flash, TWG::Tools::SimFirmware::images(0xBE77).front().data);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), 100);
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](int v) { return v > 0 && v < 100; }))
        << "the bar moved through the download";

    dialog->closeButton()->click(); // "Done"
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(controller);
    EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty()) << "a required update leaves the card closed";

    expectItOpensToItsSettings(0xBE77);
}

// A converter that has no serial number at all is offered the update like any other, gets its
// updater from itself, and is followed through its bootloader by its product.
TEST_F(ZanthicUpdateOnSim, AStm32DeviceWithoutASerialIsOfferedTheUpdateAndCompletesIt)
{
    auto state = stm32State(0xBE77);
    state->serial.clear();
    state->setText("BuildId", "00010001");
    bus.attach(platform::SimStm32Application::persona(state, false));
    ASSERT_NO_FATAL_FAILURE(writeSimulatedPackage(0xBE77));
    startFamily();
    ASSERT_TRUE(waitFor([&] { return deviceOf(0xBE77) != nullptr; }));
    EXPECT_TRUE(deviceOf(0xBE77)->serial().isEmpty());

    QPointer<FirmwareUpdateController> controller = offered(0xBE77);
    ASSERT_TRUE(controller);
    FirmwareUpdateDialog* dialog = controller->dialog();
    dialog->yesButton()->click();
    EXPECT_EQ(dialog->state(), FirmwareUpdateDialog::Updating) << "no updater: it failed at once";
    ASSERT_TRUE(waitLong([&] { return dialog->state() != FirmwareUpdateDialog::Updating; }));
    ASSERT_EQ(dialog->state(), FirmwareUpdateDialog::Complete);
    EXPECT_EQ(state->flash, TWG::Tools::SimFirmware::images(0xBE77).front().data);
    EXPECT_EQ(state->text("BuildId"), std::string(firmwareids::stm32BuildId(0xBE77)));
    dialog->closeButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    expectItOpensToItsSettings(0xBE77);
}

} // namespace

namespace {

// The DFU persona on the bus at the device's path, or null while it is the application.
platform::SimStm32Application* stm32On(platform::SimBackend& bus, const std::string& path)
{
    return dynamic_cast<platform::SimStm32Application*>(bus.device(path).get());
}

bool inBootloader(platform::SimBackend& bus, const std::string& path)
{
    platform::SimStm32Application* device = stm32On(bus, path);
    return device && device->isBootloader();
}

void ZanthicUpdateOnSim::expectItOpensToItsSettings(std::uint16_t productId)
{
    ASSERT_TRUE(waitFor([&] { return !inBootloader(bus, pathOf(productId)) && deviceOf(productId) &&
                                     !deviceOf(productId)->isFirmwareUpdateAvailable(); }));
    family->showDevice(deviceOf(productId));
    EXPECT_EQ(family->controller(), nullptr);
    const auto cards = host.findChildren<D2ProductCard*>();
    ASSERT_EQ(cards.size(), 1);
    QPointer<D2ProductCard> card = cards.first();
    ASSERT_TRUE(waitFor([&] { return card && qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()); }));
}

} // namespace

// Found in its DFU bootloader, reporting the packaged build as the application it last ran: it
// is listed, offered the update when it is opened, and updated from the bootloader (no detach)
// into its application, whose card then opens to its settings.
TEST_F(ZanthicUpdateOnSim, AStm32DeviceFoundInItsBootloaderIsOfferedTheUpdateAndOpensAfterIt)
{
    const QByteArray scenario = QStringLiteral(
        R"({"devices": [{"model": "stm32-boot", "product": "0xBE77", "serial": "5A4E0077F00D",
             "properties": {"DeviceName": "Loop C", "BuildId": "%1"}}]})")
        .arg(QLatin1String(firmwareids::stm32BuildId(0xBE77))).toUtf8();
    QString error;
    ASSERT_TRUE(platform::loadSimScenario(scenario, bus, &error)) << error.toStdString();
    const std::string path = pathOf(0xBE77);
    ASSERT_TRUE(inBootloader(bus, path));
    const std::shared_ptr<platform::SimStm32State> state = stm32On(bus, path)->state();
    ASSERT_NO_FATAL_FAILURE(writeSimulatedPackage(0xBE77));
    startFamily();
    ASSERT_TRUE(waitFor([&] { return deviceOf(0xBE77) != nullptr; }));
    EXPECT_TRUE(deviceOf(0xBE77)->isFirmwareUpdateAvailable()) << "a bootloader runs no application";

    QPointer<FirmwareUpdateController> controller = offered(0xBE77);
    ASSERT_TRUE(controller) << "the card opened on a device that can only wait in its bootloader";
    FirmwareUpdateDialog* dialog = controller->dialog();

    dialog->yesButton()->click();
    ASSERT_TRUE(waitLong([&] { return dialog->state() != FirmwareUpdateDialog::Updating; }));
    ASSERT_EQ(dialog->state(), FirmwareUpdateDialog::Complete);
    EXPECT_EQ(state->detaches, 0) << "already in the bootloader";
    EXPECT_EQ(state->manifestations, 1);
    EXPECT_EQ(state->flash, TWG::Tools::SimFirmware::images(0xBE77).front().data);
    EXPECT_TRUE(state->violations.empty());
    dialog->closeButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    expectItOpensToItsSettings(0xBE77);
}

// A DFU error part-way leaves the converter in its bootloader with half an image: the update
// fails, the device is listed again without a replug and opening it offers the update once
// more, which then completes. Also for a converter that was current before (the update the
// host asks for), whose bootloader still reports the build it ran.
TEST_F(ZanthicUpdateOnSim, AStm32DeviceLeftInItsBootloaderByAFaultIsOfferedTheUpdateAgain)
{
    ASSERT_NO_FATAL_FAILURE(writeSimulatedPackage(0xBE77));
    struct Row {
        const char* name;
        const char* buildId;
    };
    const Row rows[] = {
        {"out of date", "00010001"},
        {"current, updated at the host's request", firmwareids::stm32BuildId(0xBE77)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto state = stm32State(0xBE77);
        state->setText("BuildId", row.buildId);
        state->dfu.errorAfterBlock = 1;
        bus.attach(platform::SimStm32Application::persona(state, false));
        startFamily();
        ASSERT_TRUE(waitFor([&] { return deviceOf(0xBE77) != nullptr; }));

        family->updateFirmware(deviceOf(0xBE77));
        QPointer<FirmwareUpdateController> controller = family->controller();
        ASSERT_TRUE(controller);
        FirmwareUpdateDialog* dialog = controller->dialog();
        ASSERT_TRUE(waitLong([&] { return dialog->state() != FirmwareUpdateDialog::Updating; }));
        ASSERT_EQ(dialog->state(), FirmwareUpdateDialog::Failed);
        EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Update Failed!"));
        EXPECT_TRUE(family->canClose());
        ASSERT_TRUE(inBootloader(bus, pathOf(0xBE77)));
        EXPECT_NE(state->flash, TWG::Tools::SimFirmware::images(0xBE77).front().data);
        dialog->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(controller);
        EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty());

        // Seen again in its bootloader; opening it asks first, and this time the download holds.
        state->dfu.errorAfterBlock = -1;
        ASSERT_TRUE(waitFor([&] { return deviceOf(0xBE77) != nullptr; }));
        EXPECT_TRUE(deviceOf(0xBE77)->isFirmwareUpdateAvailable());
        controller = offered(0xBE77);
        ASSERT_TRUE(controller) << "the card opened on a device left in its bootloader";
        dialog = controller->dialog();
        dialog->yesButton()->click();
        ASSERT_TRUE(waitLong([&] { return dialog->state() != FirmwareUpdateDialog::Updating; }));
        ASSERT_EQ(dialog->state(), FirmwareUpdateDialog::Complete);
        EXPECT_EQ(state->detaches, 1) << "the second run starts in the bootloader";
        EXPECT_EQ(state->flash, TWG::Tools::SimFirmware::images(0xBE77).front().data);
        EXPECT_EQ(state->text("BuildId"), std::string(firmwareids::stm32BuildId(0xBE77)));
        dialog->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        ASSERT_NO_FATAL_FAILURE(expectItOpensToItsSettings(0xBE77));

        qDeleteAll(host.findChildren<D2ProductCard*>());
        delete family;
        family = nullptr;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(bus.detach(pathOf(0xBE77)));
    }
}
