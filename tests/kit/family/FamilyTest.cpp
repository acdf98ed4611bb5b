#include "kit/branding/BrandingSettings.h"
#include "kit/framework/Family.h"
#include "kit/framework/VisibleDevice.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QVariant>

#include <thread>
#include <vector>

namespace {

class RecordingFamily : public Family {
public:
    using Family::Family;
    bool accept = true;
    std::vector<platform::MSG> seen;
    std::vector<std::thread::id> threads;

    bool handleDeviceChange(MSG* message) override
    {
        seen.push_back(*message);
        threads.push_back(std::this_thread::get_id());
        return accept;
    }
};

class Device : public VisibleDevice {
public:
    using VisibleDevice::VisibleDevice;
    QString name() override { return QString(); }
    QPixmap image() override { return QPixmap(); }
    QPixmap thumbnail() override { return QPixmap(); }
    QString displayName() override { return QString(); }
    QPixmap galleryConnectionIcon() override { return QPixmap(); }
    QPixmap cardConnectionIcon() override { return QPixmap(); }
    bool showsSoftwareStatus() override { return false; }
    QString softwareVersion() override { return QString(); }
    bool isSoftwareSupported() override { return true; }
    bool isFirmwareUpdateAvailable() override { return false; }
    bool isReady() override { return true; }
    QString availableSoftwareVersion() override { return QString(); }
    DeviceFirmwareUpdater* firmwareUpdater() override { return nullptr; }
};

} // namespace

TEST(Family, PostedDeviceChangeReachesTheFamilyOnTheGuiThread)
{
    QObject host;
    RecordingFamily family(&host);
    const platform::WindowId id = family.eventWindowId();
    ASSERT_NE(id, platform::kNoWindow);
    EXPECT_EQ(family.eventWindowId(), id);

    std::thread worker([id] {
        platform::postMessage(id, platform::WM_APP, 1, 2);                 // never the family's
        platform::postMessage(id, platform::WM_DEVICECHANGE, platform::DBT_DEVICEARRIVAL, 3);
    });
    worker.join();
    QCoreApplication::sendPostedEvents();

    ASSERT_EQ(family.seen.size(), 1u);
    EXPECT_EQ(family.seen[0].message, platform::WM_DEVICECHANGE);
    EXPECT_EQ(family.seen[0].wParam, platform::DBT_DEVICEARRIVAL);
    EXPECT_EQ(family.seen[0].lParam, 3);
    EXPECT_EQ(family.threads[0], std::this_thread::get_id());
}

TEST(Family, EventWindowDiesWithItsFamily)
{
    QObject host;
    platform::WindowId id;
    {
        RecordingFamily family(&host);
        id = family.eventWindowId();
        EXPECT_TRUE(platform::isWindow(id));
    }
    EXPECT_FALSE(platform::isWindow(id));
    EXPECT_FALSE(platform::postMessage(id, platform::WM_DEVICECHANGE));
}

TEST(Family, SelectionKeepsOnlyOwnDevices)
{
    QObject host;
    Family mine(&host), other(&host);
    Device own(&mine), foreign(&other);
    mine.onDeviceSelected(&own);
    EXPECT_EQ(mine.selectedDevice(), &own);
    mine.onDeviceSelected(&foreign);
    EXPECT_EQ(mine.selectedDevice(), nullptr);
    mine.onDeviceSelected(&own);
    mine.onDeviceSelected(nullptr);
    EXPECT_EQ(mine.selectedDevice(), nullptr);
}

TEST(Family, DefaultsAreHarmless)
{
    QObject host;
    Family family(&host);
    EXPECT_EQ(family.parent(), &host);
    EXPECT_TRUE(family.familyName().isEmpty());
    EXPECT_FALSE(family.usesBonjour());
    EXPECT_TRUE(family.bonjourServiceTypes().isEmpty());
    EXPECT_TRUE(family.canClose());
    EXPECT_TRUE(family.crossMenuOptions().isEmpty());
    EXPECT_TRUE(family.buildInformation().isEmpty());
    EXPECT_EQ(family.listViewWidget(nullptr, nullptr), nullptr);
    EXPECT_FALSE(family.onBonjourDeviceAdded(BonjourInfo()));
    EXPECT_FALSE(family.onBonjourDeviceResolved(BonjourInfo(), true, "h", "1.2.3.4", 80));
    MSG msg;
    msg.message = platform::WM_DEVICECHANGE;
    EXPECT_FALSE(family.handleDeviceChange(&msg));

    const QColor saved = brandingAccentColour();
    family.setAccentColour(QColor(1, 2, 3));
    EXPECT_EQ(brandingAccentColour(), QColor(1, 2, 3));
    brandingAccentColour() = saved;
}

TEST(Family, BonjourInfoTravelsThroughQueuedCalls)
{
    const int id = registerBonjourInfoMetaType();
    EXPECT_EQ(id, QMetaType::type("BonjourInfo"));
    BonjourInfo info;
    info.name = "Studio A";
    info.txt.insert("model", "X");
    const QVariant v = QVariant::fromValue(info);
    EXPECT_EQ(v.value<BonjourInfo>(), info);
}
