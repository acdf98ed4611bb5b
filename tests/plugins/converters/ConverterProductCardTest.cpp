#include "plugins/converters/ConverterProductCard.h"

#include "kit/framework/SettingsPage.h"
#include "kit/widgets/ConnectionLostDialog.h"
#include "plugins/converters/settings/ConverterConnection.h"
#include "tests/converters/support/FakeConverter.h"
#include "tests/plugins/converters/support/FamilyBench.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace {

using convtest::FakeConverter;

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A card opened through the family on a powered FX2 model with three tabs (Video, Audio,
// About); converters come and go through the family's notifier side.
struct CardBench : ostreltest::FamilyBench {
    CardBench()
    {
        host.resize(780, 710);
        host.show();
        plug(0xBD2E);
        family->showDevice(family->converters().last());
        const auto found = cards();
        card = found.isEmpty() ? nullptr : found.first();
    }
    ~CardBench()
    {
        // What the family leaves for later goes before the devices are released.
        delete family;
        family = nullptr;
        runDeferredDeletes();
    }

    bool lostDialogShown() const { return card->lostDialog() && card->lostDialog()->isVisible(); }

    QPointer<ConverterProductCard> card;
};

// Unplugged on its second tab, the card says so; the same model plugged back in powered
// brings the page back on that tab.
TEST(ConverterProductCard, ReplugOfTheSameModelReopensTheSameTab)
{
    CardBench bench;
    ASSERT_TRUE(bench.card);
    ASSERT_NE(bench.card->settingsPage(), nullptr);
    bench.card->settingsPage()->setCurrentTab(1);

    bench.unplug(bench.devices[0]);
    EXPECT_EQ(bench.card->settingsPage(), nullptr);
    EXPECT_EQ(bench.card->connection(), nullptr);
    EXPECT_TRUE(bench.lostDialogShown());

    bench.plug(0xBD2E);
    runDeferredDeletes();
    ASSERT_TRUE(bench.card);
    ASSERT_NE(bench.card->settingsPage(), nullptr);
    EXPECT_EQ(bench.card->settingsPage()->currentTab(), 1);
    EXPECT_EQ(bench.card->connection()->device(), bench.devices[1]);
    EXPECT_FALSE(bench.card->lostDialog());
}

// Another model, or the same model without power, does not revive the card; another
// converter leaving does not disturb it.
TEST(ConverterProductCard, OnlyThePoweredSameModelRevivesTheCard)
{
    CardBench bench;
    ASSERT_TRUE(bench.card);
    FakeConverter* other = bench.plug(0xBD15);
    bench.unplug(other);
    EXPECT_NE(bench.card->settingsPage(), nullptr) << "another converter left";
    EXPECT_FALSE(bench.card->lostDialog());

    bench.unplug(bench.devices[0]);
    bench.plug(0xBD15);
    bench.plug(0xBD2E, false);
    runDeferredDeletes();
    ASSERT_TRUE(bench.card);
    EXPECT_TRUE(bench.lostDialogShown());
    EXPECT_EQ(bench.card->settingsPage(), nullptr);
    EXPECT_EQ(bench.card->connection(), nullptr);
}

TEST(ConverterProductCard, ClosingTheLostDialogClosesTheCard)
{
    CardBench bench;
    ASSERT_TRUE(bench.card);
    bench.unplug(bench.devices[0]);
    QPointer<ConnectionLostDialog> dialog = bench.card->lostDialog();
    ASSERT_TRUE(dialog);
    emit dialog->closeClicked();
    runDeferredDeletes();
    EXPECT_FALSE(bench.card);
    EXPECT_FALSE(dialog);
}

TEST(ConverterProductCard, SaveAndCancelCloseTheCard)
{
    for (const bool save : {true, false}) {
        CardBench bench;
        ASSERT_TRUE(bench.card);
        SettingsPage* page = bench.card->settingsPage();
        ASSERT_NE(page, nullptr);
        if (save)
            page->onSavePressed();
        else
            page->onCancelPressed();
        runDeferredDeletes();
        EXPECT_FALSE(bench.card) << (save ? "save" : "cancel");
    }
}

} // namespace
