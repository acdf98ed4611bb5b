#include "kit/branding/BrandingSettings.h"
#include "kit/framework/Family.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/CommonDialog.h"
#include "tests/kit/framework/FakeDevice.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QWidget>

#include <string>
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

// Refuses the close for whatever is said to run.
class RefusingFamily : public Family {
public:
    using Family::Family;
    void refuse(QWidget* window, const QString& title, const QString& heading)
    {
        showCloseRefusal(window, title, heading, QStringLiteral("Please wait."));
    }
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

// The event window's own nativeEvent, reached as the platform layer's event handler reaches it.
class EventWindowProbe : public Family::EventReceiverWindow {
public:
    using Family::EventReceiverWindow::EventReceiverWindow;
    using Family::EventReceiverWindow::nativeEvent;
};

TEST(Family, EventWindowTakesOnlyDeviceChangesTheFamilyAccepts)
{
    QObject host;
    RecordingFamily family(&host);
    EventWindowProbe window(&family);
    const struct {
        const char* eventType;
        platform::UINT message;
        bool accept;
        bool handled;
    } rows[] = {
        {platform::kMessageEventType, platform::WM_DEVICECHANGE, true, true},
        {platform::kMessageEventType, platform::WM_DEVICECHANGE, false, false},
        {platform::kMessageEventType, platform::WM_APP, true, false},
        {"xcb_generic_event_t", platform::WM_DEVICECHANGE, true, false}, // never read as a MSG
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.eventType + std::string(" ") + std::to_string(row.message));
        family.accept = row.accept;
        family.seen.clear();
        MSG msg;
        msg.message = row.message;
        long result = 7;
        EXPECT_EQ(window.nativeEvent(row.eventType, &msg, &result), row.handled);
        EXPECT_EQ(result, row.handled ? 1 : 7);
        const bool offered = row.message == platform::WM_DEVICECHANGE
                             && std::string(row.eventType) == platform::kMessageEventType;
        EXPECT_EQ(family.seen.size(), offered ? 1u : 0u);
    }
    EXPECT_EQ(window.internalWinId(), WId(0)); // no native window is ever made
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
    FakeDevice own(&mine), foreign(&other);
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

// One dialog serves every refusal; each gives its own title.
TEST(Family, EachCloseRefusalCarriesItsOwnTitle)
{
    QWidget window;
    RefusingFamily family(&window);
    EXPECT_EQ(family.closeRefusal(), nullptr);
    family.refuse(&window, QStringLiteral("Loading LUT"), QStringLiteral("Still loading"));
    CommonDialog* dialog = family.closeRefusal();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isHidden());
    EXPECT_EQ(dialog->titleLabel()->text(), QStringLiteral("Loading LUT"));
    EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Still loading"));
    EXPECT_EQ(dialog->closeButton()->text(), QStringLiteral("OK"));
    dialog->closeButton()->click();
    EXPECT_TRUE(dialog->isHidden());

    family.refuse(&window, QStringLiteral("Software Update"), QStringLiteral("Update in Progress!"));
    EXPECT_EQ(family.closeRefusal(), dialog);
    EXPECT_FALSE(dialog->isHidden());
    EXPECT_EQ(dialog->titleLabel()->text(), QStringLiteral("Software Update"));
    EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Update in Progress!"));
}

TEST(Family, BonjourInfoTravelsThroughQueuedSignals)
{
    const int id = registerBonjourInfoMetaType();
    EXPECT_EQ(id, QMetaType::type("BonjourInfo"));
    BonjourInfo info;
    info.name = "Studio A";
    info.type = "_tarnwright._tcp.";
    info.domain = "local.";
    info.txt["model"] = "X";
    info.host = "192.168.1.20";
    info.port = 5000;
    info.announced = true;

    // A network family's request crosses threads as a queued call, as the window receives it.
    QObject host;
    Family family(&host);
    std::vector<BonjourInfo> received;
    QObject::connect(&family, &Family::bonjourResolveRequestedWithPort, &host,
                     [&](BonjourInfo got, int port) {
                         received.push_back(got);
                         EXPECT_EQ(port, 80);
                     },
                     Qt::QueuedConnection);
    std::thread worker([&] { emit family.bonjourResolveRequestedWithPort(info, 80); });
    worker.join();
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], info);
}
