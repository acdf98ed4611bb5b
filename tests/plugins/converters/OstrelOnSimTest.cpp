#include "kit/framework/SettingsPage.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/ConnectionLostDialog.h"
#include "kit/widgets/card/CardFooter.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "platform/sim/SimScenario.h"
#include "plugins/converters/ConverterFamily.h"
#include "plugins/converters/ConverterProductCard.h"
#include "plugins/converters/VisibleConverter.h"
#include "plugins/converters/settings/ConverterSettingsPage.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/VideoSettingsTab.h"
#include "protocol/Fx2Registers.h"
#include "protocol/ZanthicIds.h"
#include "tests/converters/support/ConverterSimFixture.h"
#include "tests/plugins/converters/support/FakeNotifier.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QWidget>

namespace {

namespace reg = TWG::Converters::fx2reg;

// The plug-in's family on the simulated bus, found through the real converter notifier.
class OstrelOnSim : public convtest::ConverterSimFixture {
protected:
    void TearDown() override
    {
        delete family;
        family = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void startFamily()
    {
        qRegisterMetaType<VisibleDevice*>();
        host.resize(780, 710);
        host.show();
        family = new ConverterFamily(&host);
        family->startDeviceDetection();
        run(50);
    }

    std::shared_ptr<platform::SimFx2Running> plugFx2(std::uint16_t product, std::map<std::uint8_t, std::uint8_t> registers,
                                                     bool powered = true)
    {
        platform::SimFx2Running::Options options;
        options.registers = std::move(registers);
        options.powered = powered;
        auto model = attachFx2(product, options);
        run(100);
        return model;
    }

    std::string pathOf(std::uint16_t product)
    {
        for (const platform::UsbDeviceInfo& info : bus.listDevices())
            if (info.descriptor.idProduct == product)
                return info.path;
        return std::string();
    }

    ConverterProductCard* open(int index)
    {
        family->showDevice(family->converters().value(index));
        const auto cards = host.findChildren<ConverterProductCard*>();
        return cards.isEmpty() ? nullptr : cards.last();
    }

    QWidget host;
    ConverterFamily* family = nullptr;
};

// The main road: plug a converter in, open it, move a gain, Cancel; the device is as before.
TEST_F(OstrelOnSim, PlugOpenMoveAGainAndCancel)
{
    startFamily();
    QSignalSpy arrived(family, &Family::deviceArrived);
    auto model = plugFx2(0xBD2E, {{reg::kLumaGain, 99}});
    ASSERT_EQ(arrived.count(), 1);
    ASSERT_EQ(family->converters().size(), 1);

    QPointer<ConverterProductCard> card = open(0);
    ASSERT_TRUE(card);
    auto* page = dynamic_cast<ConverterSettingsPage*>(card->settingsPage());
    ASSERT_NE(page, nullptr);
    auto* video = dynamic_cast<VideoSettingsTab*>(page->settingsTabs().value(0));
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->lumaRow()->value(), 99);

    video->lumaRow()->slider()->setValue(200);
    EXPECT_EQ(model->reg(reg::kLumaGain), 200) << "written the moment it moved";

    page->footer()->cancelButton()->click();
    EXPECT_EQ(model->reg(reg::kLumaGain), 99);
    EXPECT_EQ(model->reg(reg::kControlSelect), 0) << "the DIP switches keep their say";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(card) << "Cancel closes the card";
}

// Unplugged on its Audio tab, the card shows the connection-lost dialog; the same model plugged
// back in reopens the page on Audio.
TEST_F(OstrelOnSim, UnplugShowsConnectionLostAndReplugReopensTheSameTab)
{
    startFamily();
    auto model = plugFx2(0xBD2E, {});
    QPointer<ConverterProductCard> card = open(0);
    ASSERT_TRUE(card && card->settingsPage());
    card->settingsPage()->setCurrentTab(1);

    QSignalSpy removed(family, &Family::deviceRemoved);
    ASSERT_TRUE(bus.detach(pathOf(0xBD2E)));
    run(100);
    ASSERT_EQ(removed.count(), 1);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->settingsPage(), nullptr);
    ASSERT_TRUE(card->lostDialog());
    EXPECT_TRUE(card->lostDialog()->isVisible());

    bus.attach(model);
    run(100);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(card);
    ASSERT_NE(card->settingsPage(), nullptr);
    EXPECT_EQ(card->settingsPage()->currentTab(), 1);
    EXPECT_FALSE(card->lostDialog());
}

// Power reaches the gallery within about a second of being applied.
TEST_F(OstrelOnSim, AnUnpoweredConverterChangesWithinASecondOfPower)
{
    startFamily();
    auto model = plugFx2(0xBD18, {}, false);
    ASSERT_EQ(family->converters().size(), 1);
    VisibleConverter* converter = family->converters().first();
    EXPECT_EQ(converter->displayName(), QStringLiteral("No power connected"));
    EXPECT_TRUE(family->isPolling());

    QSignalSpy changed(family, &Family::deviceInfoChanged);
    model->setPowered(true);
    ASSERT_TRUE(changed.wait(1500));
    EXPECT_EQ(changed[0][0].value<VisibleDevice*>(), converter);
    EXPECT_NE(converter->displayName(), QStringLiteral("No power connected"));
    EXPECT_FALSE(converter->displayName().isEmpty());
    EXPECT_FALSE(family->isPolling());
}

// The scenario that ./run.sh --simulate starts holds FX2 converters with and without an AT90,
// XMEGA converters and one without power, and all of them reach the family; its Zanthic
// devices do not.
TEST_F(OstrelOnSim, TheRepositoryScenarioBringsItsConverters)
{
    QFile file(QStringLiteral(OSTREL_SIM_SCENARIO));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << OSTREL_SIM_SCENARIO;
    QString error;
    ASSERT_TRUE(platform::loadSimScenario(file.readAll(), bus, &error)) << error.toStdString();
    // The Zanthic devices of the file are the other plug-in's.
    std::vector<platform::UsbDeviceInfo> devices;
    for (const platform::UsbDeviceInfo& info : bus.listDevices())
        if (!TWG::Zanthic::ids::isStm32Product(info.descriptor.idProduct) &&
            !TWG::Zanthic::ids::isXmegaProduct(info.descriptor.idProduct))
            devices.push_back(info);
    ASSERT_LT(devices.size(), bus.listDevices().size()) << "the scenario brings Zanthic devices too";
    startFamily();
    ASSERT_EQ(family->converters().size(), static_cast<int>(devices.size()));

    int unpowered = 0, withAt90 = 0, withoutAt90 = 0;
    for (const platform::UsbDeviceInfo& info : devices) {
        auto fx2 = std::dynamic_pointer_cast<platform::SimFx2Running>(bus.device(info.path));
        if (fx2)
            ++(fx2->hasAt90() ? withAt90 : withoutAt90);
    }
    bool xmega = false;
    for (VisibleConverter* converter : family->converters()) {
        unpowered += converter->isPowered() ? 0 : 1;
        xmega = xmega || converter->device()->isXmega();
        EXPECT_FALSE(converter->name().isEmpty()) << converter->productId();
    }
    EXPECT_EQ(unpowered, 1);
    EXPECT_GE(withAt90, 1);
    EXPECT_GE(withoutAt90, 1);
    EXPECT_TRUE(xmega);
}

} // namespace
