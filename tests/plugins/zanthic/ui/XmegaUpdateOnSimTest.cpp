// An out-of-date Zanthic XMEGA converter updated through the plug-in on the simulated bus. Its
// own process: the model table reads the XMEGA versions once, from the packages then present.

#include "kit/widgets/CardPushButton.h"
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
    constexpr std::uint16_t kProduct = 0xBE90;
    auto state = xmegaState(kProduct);
    state->eeproms = platform::SimXmegaState::zanthicEeproms();
    attachXmega(state);
    const QString resources = root.filePath(QStringLiteral("Resources"));
    ASSERT_TRUE(QDir().mkpath(resources));
    std::string error;
    ASSERT_TRUE(TWG::Tools::SimFirmware::writePackage(kProduct, resources.toStdString(), &error)) << error;
    host.resize(780, 710);
    host.show();
    family = setUpZanthicFamily(QDir(root.path()), &host);
    family->startDeviceDetection();
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
    dialog->closeButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(controller);
    EXPECT_TRUE(host.findChildren<D2ProductCard*>().isEmpty());

    ASSERT_TRUE(waitFor([&] { return deviceOf(kProduct) && !deviceOf(kProduct)->isFirmwareUpdateAvailable(); }));
    family->showDevice(deviceOf(kProduct));
    EXPECT_EQ(family->controller(), nullptr);
    const auto cards = host.findChildren<D2ProductCard*>();
    ASSERT_EQ(cards.size(), 1);
    QPointer<D2ProductCard> card = cards.first();
    ASSERT_TRUE(waitFor([&] { return card && qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()); }));
}

} // namespace
