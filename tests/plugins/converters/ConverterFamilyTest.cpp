#include "plugins/converters/ConverterFamily.h"

#include "kit/framework/SettingsPage.h"
#include "plugins/converters/ConverterProductCard.h"
#include "plugins/converters/VisibleConverter.h"
#include "tests/converters/support/FakeConverter.h"
#include "tests/plugins/converters/support/FamilyBench.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QWidget>

#include <memory>

namespace {

using convtest::FakeConverter;
using ostreltest::FamilyBench;

TEST(ConverterFamily, DetectionStartsOnceOnTheFamilysWindow)
{
    FamilyBench bench;
    bench.family->startDeviceDetection();
    EXPECT_EQ(bench.notifiersMade, 1);
    EXPECT_EQ(bench.notifier->starts, 1);
    EXPECT_EQ(bench.notifier->startWindow, static_cast<platform::WindowId>(bench.family->eventWindowId()));
    EXPECT_EQ(bench.family->familyName(), QStringLiteral("Converters"));

    platform::MSG message;
    message.message = platform::WM_DEVICECHANGE;
    message.wParam = platform::DBT_DEVICEARRIVAL;
    EXPECT_TRUE(bench.family->handleDeviceChange(&message));
    bench.notifier->accept = false;
    EXPECT_FALSE(bench.family->handleDeviceChange(&message));

    QWidget host;
    ConverterFamily idle(&host);
    EXPECT_FALSE(idle.handleDeviceChange(&message)) << "nothing is accepted before detection starts";
}

TEST(ConverterFamily, ArrivalsAreListedInOrderAndRemovalsAnnouncedBeforeTheConverterGoes)
{
    FamilyBench bench;
    QSignalSpy arrived(bench.family, &Family::deviceArrived);
    FakeConverter* first = bench.plug(0xBD2E);
    FakeConverter* second = bench.plug(0xBD15);
    ASSERT_EQ(arrived.count(), 2);
    ASSERT_EQ(bench.family->converters().size(), 2);
    EXPECT_EQ(arrived[0][0].value<VisibleDevice*>(), bench.visible(0));
    EXPECT_EQ(bench.visible(1)->productId(), 0xBD15);
    EXPECT_EQ(first->references(), 2) << "the visible converter holds its own reference";

    // A removal names the converter while it still exists; it is deleted right after.
    VisibleConverter* leaving = bench.visible(0);
    QString nameWhileRemoved;
    QObject::connect(bench.family, &Family::deviceRemoved, [&](VisibleDevice* device) {
        EXPECT_EQ(device, leaving);
        nameWhileRemoved = device->name();
    });
    bench.notifier->delegate->onConverterRemoved(first);
    EXPECT_FALSE(nameWhileRemoved.isEmpty());
    EXPECT_EQ(bench.family->converters().size(), 1);
    EXPECT_EQ(first->references(), 1);

    // A converter the family never heard of changes nothing.
    QSignalSpy removed(bench.family, &Family::deviceRemoved);
    FakeConverter stranger(0xBD54);
    bench.notifier->delegate->onConverterRemoved(&stranger);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(bench.family->converters().size(), 1);
    EXPECT_EQ(second->references(), 2);
}

// Two converters without power: one poll runs until both have power, and each is announced as
// it gets power.
TEST(ConverterFamily, PollsUnpoweredConvertersUntilEveryOneHasPower)
{
    FamilyBench bench;
    EXPECT_FALSE(bench.family->isPolling());
    FakeConverter* first = bench.plug(0xBD2E, false);
    FakeConverter* second = bench.plug(0xBD15, false);
    EXPECT_TRUE(bench.family->isPolling());
    EXPECT_EQ(bench.visible(0)->displayName(), QStringLiteral("No power connected"));

    QSignalSpy changed(bench.family, &Family::deviceInfoChanged);
    first->values["powered"] = 1;
    bench.family->checkUnpoweredDevices();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<VisibleDevice*>(), bench.visible(0));
    EXPECT_EQ(bench.visible(0)->displayName(), bench.visible(0)->name().section(QLatin1String(" ("), 0, 0));
    EXPECT_TRUE(bench.family->isPolling());

    // A power query that fails counts as no power.
    second->values["powered"] = 1;
    second->failing.insert("isPowered");
    bench.family->checkUnpoweredDevices();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(bench.family->isPolling());

    second->failing.clear();
    bench.family->checkUnpoweredDevices();
    EXPECT_EQ(changed.count(), 2);
    EXPECT_FALSE(bench.family->isPolling());
}

TEST(ConverterFamily, ShowingAnUnpoweredConverterOpensNoCardAndPollsAgain)
{
    FamilyBench bench;
    FakeConverter* device = bench.plug(0xBD2E);
    EXPECT_FALSE(bench.family->isPolling());
    device->values["powered"] = 0;
    QSignalSpy changed(bench.family, &Family::deviceInfoChanged);
    bench.family->showDevice(bench.visible(0));
    EXPECT_TRUE(bench.cards().isEmpty());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(bench.family->isPolling());
    EXPECT_EQ(bench.visible(0)->displayName(), QStringLiteral("No power connected"));

    device->values["powered"] = 1;
    bench.family->showDevice(bench.visible(0));
    ASSERT_EQ(bench.cards().size(), 1);
    EXPECT_NE(bench.cards().first()->settingsPage(), nullptr) << "current firmware goes to the settings";

    bench.family->showDevice(nullptr);
    EXPECT_EQ(bench.cards().size(), 1);
}

// Converters still listed when the family goes are deleted after the notifier, and no
// removal is announced for them.
TEST(ConverterFamily, DestructorReleasesTheNotifierThenTheConverters)
{
    auto bench = std::make_unique<FamilyBench>();
    FakeConverter* device = bench->plug(0xBD2E);
    device->addRef();
    int referencesWhenNotifierWent = 0;
    bench->notifier->onDestroyed = [&] { referencesWhenNotifierWent = device->references(); };
    QSignalSpy removed(bench->family, &Family::deviceRemoved);
    delete bench->family;
    bench->family = nullptr;
    EXPECT_EQ(referencesWhenNotifierWent, 3) << "the converter was still held when the notifier went";
    EXPECT_EQ(device->references(), 2) << "the family's converter released its device";
    EXPECT_EQ(removed.count(), 0);
    bench.reset();
    device->release();
}

} // namespace
