// An out-of-date Zanthic XMEGA converter updated through the plug-in on the simulated bus. Its
// own process: the model table reads the XMEGA versions once, from the packages then present.

#include "kit/widgets/CardPushButton.h"
#include "platform/sim/SimScenario.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/FirmwareUpdateController.h"
#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"
#include "plugins/zanthic/ui/ZanthicPlugInSetup.h"
#include "tests/plugins/zanthic/ScaledClock.h"
#include "tests/plugins/zanthic/ZanthicSimFixture.h"
#include "tools/sim-tree/SimFirmware.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

using namespace TWG::Zanthic;

class ZanthicXmegaUpdateOnSim : public zanthictest::ZanthicSimFixture {
protected:
    void TearDown() override
    {
        delete family;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void startFamily()
    {
        const QString resources = root.filePath(QStringLiteral("Resources"));
        ASSERT_TRUE(QDir().mkpath(resources));
        std::string error;
        ASSERT_TRUE(TWG::Tools::SimFirmware::writePackage(kProduct, resources.toStdString(), &error)) << error;
        host.resize(780, 710);
        host.show();
        family = setUpZanthicFamily(QDir(root.path()), &host);
        family->startDeviceDetection();
    }
    std::string pathOf(std::uint16_t product)
    {
        for (const platform::UsbDeviceInfo& info : bus.listDevices())
            if (info.descriptor.idProduct == product)
                return info.path;
        return std::string();
    }
    platform::SimXmegaDevice* xmegaOn(const std::string& path)
    {
        return dynamic_cast<platform::SimXmegaDevice*>(bus.device(path).get());
    }
    bool inBootloader(std::uint16_t product)
    {
        platform::SimXmegaDevice* device = xmegaOn(pathOf(product));
        return device && device->isBootloader();
    }
    // Opening the device asks for the required update; yes runs it to its end.
    FirmwareUpdateDialog* offered()
    {
        family->showDevice(deviceOf(kProduct));
        FirmwareUpdateController* controller = family->controller();
        EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty()) << "the card opened instead";
        if (!controller)
            return nullptr;
        EXPECT_EQ(controller->dialog()->state(), FirmwareUpdateDialog::Required);
        return controller->dialog();
    }
    FirmwareUpdateDialog::State runToItsEnd(FirmwareUpdateDialog* dialog)
    {
        dialog->yesButton()->click();
        EXPECT_TRUE(waitFor([&] { return dialog->state() != FirmwareUpdateDialog::Updating; }));
        return FirmwareUpdateDialog::State(dialog->state());
    }
    void close(FirmwareUpdateDialog* dialog)
    {
        dialog->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(family->controller(), nullptr);
    }
    // Back in its application with the packaged versions: the card opens to its settings.
    void expectItOpensToItsSettings()
    {
        ASSERT_TRUE(waitFor([&] { return !inBootloader(kProduct) && deviceOf(kProduct) &&
                                         !deviceOf(kProduct)->isFirmwareUpdateAvailable(); }));
        family->showDevice(deviceOf(kProduct));
        EXPECT_EQ(family->controller(), nullptr);
        const auto cards = host.findChildren<D2ProductCard*>();
        ASSERT_EQ(cards.size(), 1);
        QPointer<D2ProductCard> card = cards.first();
        ASSERT_TRUE(waitFor([&] { return card && qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()); }));
    }

    std::size_t restartsIntoTheBootloader() const
    {
        std::size_t n = 0;
        for (const platform::SimRequest& r : controls(0x12, 0x41))
            n += r.setup.wValue == 1 ? 1 : 0;
        return n;
    }

    static constexpr std::uint16_t kProduct = 0xBE90;
    D2VisibleDevice* deviceOf(std::uint16_t productId) const
    {
        for (const auto& d : family->visibleDevices())
            if (d->activeDevice() && d->activeDevice()->productId() == productId)
                return d.get();
        return nullptr;
    }
    bool waitFor(std::function<bool()> done) { return QTest::qWaitFor(done, 60000); }

    QTemporaryDir root;
    QWidget host;
    D2Family* family = nullptr;
    zanthictest::ScaledClock scaled{10};
    platform::ClockOverride scaledOverride{&scaled};
};

TEST_F(ZanthicXmegaUpdateOnSim, AnOutOfDateXmegaDeviceUpdatesThroughItsBootloaderAndThenOpens)
{
    auto state = xmegaState(kProduct);
    state->eeproms = platform::SimXmegaState::zanthicEeproms();
    attachXmega(state);
    ASSERT_NO_FATAL_FAILURE(startFamily());
    ASSERT_TRUE(waitFor([&] { return deviceOf(kProduct) != nullptr; }));

    family->showDevice(deviceOf(kProduct));
    QPointer<FirmwareUpdateController> controller = family->controller();
    ASSERT_TRUE(controller) << "the device's versions are not the package's";
    FirmwareUpdateDialog* dialog = controller->dialog();
    EXPECT_EQ(dialog->state(), FirmwareUpdateDialog::Required);
    QList<int> shown;
    QObject::connect(dialog->progressBar(), &QProgressBar::valueChanged, dialog, [&](int v) { shown.append(v); });
    dialog->yesButton()->click();
    EXPECT_FALSE(family->canClose()) << "mid-update";
    ASSERT_TRUE(waitFor([&] { return dialog->state() != FirmwareUpdateDialog::Updating; }));
    ASSERT_EQ(dialog->state(), FirmwareUpdateDialog::Complete);
    EXPECT_TRUE(family->canClose());
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), 100);
    close(dialog);
    EXPECT_FALSE(controller);
    EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty());
    expectItOpensToItsSettings();
}

// Found in its bootloader with its application erased (an update stopped part-way): listed,
// offered the update when opened, updated from the bootloader without a restart into it, and
// then opened to its settings.
TEST_F(ZanthicXmegaUpdateOnSim, AnXmegaDeviceFoundInItsBootloaderIsOfferedTheUpdateAndOpensAfterIt)
{
    const QByteArray scenario = R"({"devices": [{"model": "xmega-boot", "product": "0xBE90",
                                     "uuid": "be900000000000000000000000000090"}]})";
    QString error;
    ASSERT_TRUE(platform::loadSimScenario(scenario, bus, &error)) << error.toStdString();
    ASSERT_TRUE(inBootloader(kProduct));
    const std::shared_ptr<platform::SimXmegaState> state = xmegaOn(pathOf(kProduct))->state();
    ASSERT_FALSE(state->applicationPresent());
    ASSERT_NO_FATAL_FAILURE(startFamily());
    ASSERT_TRUE(waitFor([&] { return deviceOf(kProduct) != nullptr; }));
    EXPECT_TRUE(deviceOf(kProduct)->isFirmwareUpdateAvailable());

    bus.clearTranscript();
    FirmwareUpdateDialog* dialog = offered();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(runToItsEnd(dialog), FirmwareUpdateDialog::Complete);
    EXPECT_EQ(restartsIntoTheBootloader(), 0u) << "it was there already";
    const auto images = TWG::Tools::SimFirmware::images(kProduct);
    EXPECT_TRUE(std::equal(images.front().data.begin(), images.front().data.end(), state->application.begin()));
    EXPECT_TRUE(state->violations.empty());
    close(dialog);
    EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty());
    expectItOpensToItsSettings();
}

// The application write fails in the bootloader, after the erase: the update fails, and the
// converter, left there, is listed again without a replug, offered the update when opened, and
// that update brings it back into its application.
TEST_F(ZanthicXmegaUpdateOnSim, AnXmegaDeviceLeftInItsBootloaderByAFaultIsOfferedTheUpdateAgain)
{
    const QByteArray scenario = R"({"devices": [{"model": "xmega-app", "product": "0xBE90", "application": "present",
                                     "uuid": "be900000000000000000000000000090", "fpgaVersion": "0x19"}]})";
    QString error;
    ASSERT_TRUE(platform::loadSimScenario(scenario, bus, &error)) << error.toStdString();
    const std::shared_ptr<platform::SimXmegaState> state = xmegaOn(pathOf(kProduct))->state();
    ASSERT_NO_FATAL_FAILURE(startFamily());
    ASSERT_TRUE(waitFor([&] { return deviceOf(kProduct) != nullptr; }));

    platform::SimFault stall;
    stall.bmRequestType = 0x41;
    stall.bRequest = 0x05; // the application write, in the bootloader
    bus.addFault(stall);
    FirmwareUpdateDialog* dialog = offered();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(runToItsEnd(dialog), FirmwareUpdateDialog::Failed);
    EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Update Failed!"));
    EXPECT_TRUE(family->canClose());
    bus.clearFaults();
    ASSERT_TRUE(inBootloader(kProduct));
    close(dialog);
    EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty());

    ASSERT_TRUE(waitFor([&] { return deviceOf(kProduct) != nullptr; }));
    EXPECT_TRUE(deviceOf(kProduct)->isFirmwareUpdateAvailable());
    bus.clearTranscript();
    dialog = offered();
    ASSERT_NE(dialog, nullptr) << "the card opened on a device left in its bootloader";
    ASSERT_EQ(runToItsEnd(dialog), FirmwareUpdateDialog::Complete);
    EXPECT_EQ(restartsIntoTheBootloader(), 0u) << "it was there already";
    EXPECT_TRUE(state->violations.empty());
    close(dialog);
    expectItOpensToItsSettings();
}

} // namespace
