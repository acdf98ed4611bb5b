#include "kit/framework/ConnectingStatusPage.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/card/CardFooter.h"
#include "plugins/zanthic/ui/ConnectionLostDialog.h"
#include "plugins/zanthic/ui/D2CardTabbedPages.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "plugins/zanthic/ui/D2SettingsTab.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "tests/plugins/zanthic/ui/ZanthicUiFakes.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QWidget>

#include <thread>

namespace {

using namespace zanthicui;

class D2CardTest : public ::testing::Test {
protected:
    D2CardTest()
    {
        host.resize(780, 710);
        family = new D2Family(QStringLiteral("ZanthicConverters"), {}, &host);
        manager = std::make_shared<FakeManager>(family, modelTable());
        family->addConnectionManager(manager);
        ZanthicConvertersConnectedDevice::setSettingsPageBuilder(&createD2SettingsPage);
    }
    ~D2CardTest() override
    {
        delete family;
        settle();
    }
    std::shared_ptr<FakePotential> arrive(const QString& serial, std::uint16_t productId = 0xBE89)
    {
        auto d = manager->add(serial, productId);
        family->onPotentialDeviceArrived(d);
        return d;
    }
    D2VisibleDevice* visible(int i = 0) const { return family->visibleDevices().value(i).get(); }
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static QWidget* page(D2ProductCard* card) { return card->pages()->currentWidget(); }

    QWidget host;
    D2Family* family;
    std::shared_ptr<FakeManager> manager;
};

// ---- the visible device ----------------------------------------------------------------

TEST_F(D2CardTest, TheLowestPreferenceNumberIsActiveAndTheFirstAmongEquals)
{
    struct Step {
        const char* what;
        int mode;
        bool remove; // removes the path added at that index instead
        int index;
        int active;  // index of the active path after the step
    };
    // Paths 0..2 by arrival.
    const Step steps[] = {
        {"first path", 10, false, 0, 0},
        {"an equal one keeps the first", 10, false, 1, 0},
        {"a lower one takes over", 5, false, 2, 2},
        {"the active goes: the lowest left, first among equals", 0, true, 2, 0},
        {"a non-active goes", 0, true, 1, 0},
    };
    std::vector<std::shared_ptr<FakePotential>> paths;
    for (const Step& s : steps) {
        if (s.remove) {
            family->onPotentialDeviceRemoved(paths[s.index]);
        } else {
            auto d = manager->add(QStringLiteral("one"));
            d->mode = s.mode;
            d->name = QStringLiteral("path %1").arg(s.index);
            paths.push_back(d);
            family->onPotentialDeviceArrived(d);
        }
        ASSERT_EQ(family->visibleDevices().size(), 1) << s.what;
        EXPECT_EQ(visible()->activeDevice(), paths[s.active]) << s.what;
        EXPECT_EQ(visible()->displayName(), QStringLiteral("path %1").arg(s.active)) << s.what;
    }
}

TEST_F(D2CardTest, SupportFollowsTheHardwareWordsMajorByte)
{
    struct Case {
        std::uint16_t productId;
        std::uint16_t hardware;
        bool supported;
    };
    const Case cases[] = {
        {0xBE89, 0x0000, true}, {0xBE89, 0x0100, true}, {0xBE89, 0x01FF, true}, {0xBE89, 0x0200, false},
        {0xBE50, 0x00FF, true}, {0xBE50, 0x0100, false}, // not in the table: supports nothing from 0x0100
    };
    for (const Case& c : cases) {
        auto d = arrive(QStringLiteral("%1-%2").arg(c.productId).arg(c.hardware), c.productId);
        d->hardware = c.hardware;
        EXPECT_EQ(visible(family->visibleDevices().size() - 1)->isSoftwareSupported(), c.supported)
            << std::hex << c.productId << " " << c.hardware;
    }
    auto unknown = family->visibleDevices().last();
    EXPECT_EQ(unknown->availableSoftwareVersion(), QStringLiteral("0.0"));
    EXPECT_TRUE(unknown->name().isEmpty());
    EXPECT_TRUE(unknown->image().isNull());
    EXPECT_FALSE(visible()->image().isNull()) << "the model's picture is in the plug-in's resources";
    EXPECT_FALSE(visible()->thumbnail().isNull());
    EXPECT_EQ(visible()->name(), QStringLiteral("Zanthic Converter Z6 Studio"));
}

TEST_F(D2CardTest, TheConnectionIconFollowsTheTypesOfAllPaths)
{
    struct Case {
        std::vector<int> types;
        const char* gallery;
        const char* card;
    };
    const Case cases[] = {
        {{1}, ":/Launcher_Connection_USB", ":/Card_Connection_USB"},
        {{2}, ":/Launcher_Connection_Network", ":/Card_Connection_Network"},
        {{1, 2}, ":/Launcher_Connection_Both", ":/Card_Connection_Both"},
        {{0}, nullptr, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString serial = QStringLiteral("icons-%1").arg(n++);
        for (int type : c.types) {
            auto d = manager->add(serial);
            d->type = type;
            family->onPotentialDeviceArrived(d);
        }
        D2VisibleDevice* device = family->visibleDevices().last().get();
        if (!c.gallery) {
            EXPECT_TRUE(device->galleryConnectionIcon().isNull());
            EXPECT_TRUE(device->cardConnectionIcon().isNull());
            continue;
        }
        EXPECT_EQ(device->galleryConnectionIcon().toImage(), QPixmap(QLatin1String(c.gallery)).toImage()) << c.gallery;
        EXPECT_EQ(device->cardConnectionIcon().toImage(), QPixmap(QLatin1String(c.card)).toImage()) << c.card;
        EXPECT_FALSE(device->cardConnectionIcon().isNull()) << c.card;
    }
}

// ---- the card ----------------------------------------------------------------------------

TEST_F(D2CardTest, AnAlreadyConnectedDeviceShowsItsSettingsAtOnce)
{
    arrive(QStringLiteral("s"));
    manager->connectFactory = [&](ConnectedDeviceOwner* owner, PotentialDevice*) {
        auto c = makeConnectedDevice<FakeConnected>(owner, manager->devices.front());
        c->setConnectionState(Connected);
        manager->last = c;
        return c;
    };
    auto* card = new D2ProductCard(visible(), &host);
    EXPECT_NE(qobject_cast<D2SettingsPage*>(page(card)), nullptr) << "before the event loop runs";
    delete card;
}

TEST_F(D2CardTest, ConnectingThenIdleWithoutEverConnectingShowsNoLostDialog)
{
    arrive(QStringLiteral("s"));
    auto* card = new D2ProductCard(visible(), &host);
    ASSERT_NE(qobject_cast<ConnectingStatusPage*>(page(card)), nullptr);
    const auto labels = page(card)->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.first()->text(), QStringLiteral("Connecting..."));
    manager->last->setConnectionState(Connecting);
    settle();
    manager->last->setConnectionState(Idle);
    settle();
    EXPECT_NE(qobject_cast<ConnectingStatusPage*>(page(card)), nullptr);
    EXPECT_TRUE(card->lostDialog()->isHidden());
    EXPECT_EQ(card->pages()->count(), 1) << "each page taken out before it is deleted";
    delete card;
}

TEST_F(D2CardTest, ALostConnectionShowsTheDialogAndClosingItReconnectsOrClosesTheCard)
{
    for (const bool deviceBack : {true, false}) {
        auto d = arrive(QStringLiteral("s"));
        QPointer<D2ProductCard> card = new D2ProductCard(visible(), &host);
        auto first = manager->last;
        first->setConnectionState(Connected);
        settle();
        ASSERT_NE(qobject_cast<D2SettingsPage*>(page(card)), nullptr) << deviceBack;

        first->setConnectionState(Interrupted);
        settle();
        EXPECT_NE(qobject_cast<ConnectingStatusPage*>(page(card)), nullptr) << deviceBack;
        ASSERT_FALSE(card->lostDialog()->isHidden()) << deviceBack;
        EXPECT_EQ(card->lostDialog()->headingLabel()->text(), QStringLiteral("USB Disconnected!"));

        if (!deviceBack)
            family->onPotentialDeviceRemoved(d);
        const int connects = manager->connects;
        card->lostDialog()->closeButton()->click();
        settle();
        if (deviceBack) {
            ASSERT_TRUE(card);
            EXPECT_EQ(manager->connects, connects + 1);
            EXPECT_NE(card->connectedDevice(), first);
            EXPECT_TRUE(card->lostDialog()->isHidden());
            delete card;
            family->onPotentialDeviceRemoved(d);
        } else {
            EXPECT_FALSE(card) << "the device is gone: the card closes";
        }
        settle();
    }
}

TEST_F(D2CardTest, AStateFromAnotherThreadIsAppliedOnTheGuiThread)
{
    arrive(QStringLiteral("s"));
    auto* card = new D2ProductCard(visible(), &host);
    auto device = manager->last;
    std::thread worker([device] { device->setConnectionState(Connected); });
    worker.join();
    EXPECT_NE(qobject_cast<ConnectingStatusPage*>(page(card)), nullptr) << "not before the GUI thread runs";
    ASSERT_TRUE(QTest::qWaitFor([&] { return qobject_cast<D2SettingsPage*>(page(card)) != nullptr; }, 1000));
    delete card;
}

// A change the previous device posted before the reconnect arrives after it: it is not the
// current device's, so the card stays as it is.
TEST_F(D2CardTest, TheCardActsOnlyOnItsCurrentDevice)
{
    arrive(QStringLiteral("s"));
    auto* card = new D2ProductCard(visible(), &host);
    auto old = manager->last;
    old->setConnectionState(Connecting); // posted, not yet delivered
    auto fresh = makeConnectedDevice<FakeConnected>(visible(), manager->devices.front());
    fresh->setConnectionState(Connected);
    card->setConnectedDevice(fresh);
    ASSERT_NE(qobject_cast<D2SettingsPage*>(page(card)), nullptr);
    settle();
    EXPECT_NE(qobject_cast<D2SettingsPage*>(page(card)), nullptr);
    delete card;
}

// With no connected device there is nothing to show or press: the card closes.
TEST_F(D2CardTest, AnEmptyConnectedDeviceClosesTheCard)
{
    arrive(QStringLiteral("s"));
    manager->connectFactory = [](ConnectedDeviceOwner*, PotentialDevice*) { return nullptr; };
    QPointer<D2ProductCard> atConstruction = new D2ProductCard(visible(), &host);
    atConstruction->show();
    settle();
    EXPECT_FALSE(atConstruction);

    manager->connectFactory = nullptr;
    QPointer<D2ProductCard> onReconnect = new D2ProductCard(visible(), &host);
    manager->last->setConnectionState(Connected);
    settle();
    manager->last->setConnectionState(Interrupted);
    settle();
    manager->connectFactory = [](ConnectedDeviceOwner*, PotentialDevice*) { return nullptr; };
    onReconnect->lostDialog()->closeButton()->click();
    settle();
    EXPECT_FALSE(onReconnect);
}

TEST_F(D2CardTest, TheConnectingPagesCancelClosesTheCard)
{
    arrive(QStringLiteral("s"));
    QPointer<D2ProductCard> card = new D2ProductCard(visible(), &host);
    card->show();
    auto buttons = page(card)->findChildren<CardPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons.first()->text(), QStringLiteral("Cancel"));
    buttons.first()->click();
    settle();
    EXPECT_FALSE(card);
}

TEST_F(D2CardTest, TheDeviceInformationText)
{
    auto d = arrive(QStringLiteral("5a4e0001"));
    d->build = QStringLiteral("00012989");
    auto* card = new D2ProductCard(visible(), &host);
    manager->last->setConnectionState(Connecting);
    EXPECT_EQ(card->deviceInformationText(), QStringLiteral("** Device Information:\n\n"
                                                            "\tModel Name:          Zanthic Converter Z6 Studio\n"
                                                            "\tDevice Name:         Studio A\n"
                                                            "\tUnique ID:           5a4e0001\n"
                                                            "\tProduct Id:          0xbe89\n"
                                                            "\tHardware Revision:   0x0100\n"
                                                            "\tFirmware Build:      00012989\n"
                                                            "\tRelease Version:     7.6\n"
                                                            "\tConnection Type:     USB\n"
                                                            "\tConnection State:    Connecting\n"
                                                            "\tConnection Info:     \n"
                                                            "\n"
                                                            "** Available Firmware:\n\n"
                                                            "\tFirmware Build:      0000b892\n"
                                                            "\tRelease Version:     7.6\n"
                                                            "\n"));
    delete card;
}

// ---- the settings page frame -------------------------------------------------------------

struct RecordingTab : D2SettingsTab {
    RecordingTab(QStringList* log, QString name) : log_(log), name_(std::move(name)) {}
    void revertSettings() override { log_->append(QStringLiteral("revert ") + name_); }
    void applySettings() override { log_->append(QStringLiteral("apply ") + name_); }
    QStringList* log_;
    QString name_;
};

TEST_F(D2CardTest, LeftTabsStandInOrderAndEachRightTabLeftOfTheEarlierOnes)
{
    D2CardTabbedPages tabs(Qt::red);
    const char* titles[] = {"L1", "R1", "L2", "R2"};
    const int sides[] = {D2CardTabbedPages::Left, D2CardTabbedPages::Right, D2CardTabbedPages::Left,
                         D2CardTabbedPages::Right};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tabs.addPage(new QWidget, QLatin1String(titles[i]), sides[i]), i);
    QStringList row;
    for (int i = 0; i < tabs.tabRow()->count(); ++i) {
        QLayoutItem* item = tabs.tabRow()->itemAt(i);
        if (auto* b = qobject_cast<D2TabButton*>(item->widget()))
            row.append(b->title() + (b->isChecked() ? QStringLiteral("*") : QString()));
        else
            row.append(item->spacerItem() && item->spacerItem()->expandingDirections() ? QStringLiteral("~")
                                                                                        : QStringLiteral("|"));
    }
    EXPECT_EQ(row.join(QLatin1Char(' ')), QStringLiteral("| | L1* L2 ~ R2 R1 |"));
    QSignalSpy selected(&tabs, &D2CardTabbedPages::tabSelected);
    tabs.buttons()->button(2)->click();
    EXPECT_EQ(tabs.stack()->currentIndex(), 2);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected[0][0].toInt(), 2);
}

TEST_F(D2CardTest, CancelAndSaveAskEveryTabThenCloseTheCardThroughTheDevice)
{
    for (const bool save : {false, true}) {
        arrive(QStringLiteral("s"));
        QPointer<D2ProductCard> card = new D2ProductCard(visible(), &host);
        card->show();
        manager->last->setConnectionState(Connected);
        settle();
        auto* settings = qobject_cast<D2SettingsPage*>(page(card));
        ASSERT_NE(settings, nullptr);
        QStringList log;
        settings->addTab(new RecordingTab(&log, QStringLiteral("one")), QStringLiteral("One"), 0);
        settings->addTab(new QWidget, QStringLiteral("Plain"), 0);
        settings->addTab(new RecordingTab(&log, QStringLiteral("two")), QStringLiteral("Two"), 1);
        auto device = manager->last;
        QObject::connect(device.get(), &ConnectedDevice::disconnected, [&] { log.append(QStringLiteral("disconnected")); });
        (save ? settings->footer()->saveButton() : settings->footer()->cancelButton())->click();
        const QString verb = save ? QStringLiteral("apply") : QStringLiteral("revert");
        EXPECT_EQ(log, QStringList({verb + QStringLiteral(" one"), verb + QStringLiteral(" two"),
                                    QStringLiteral("disconnected")}));
        EXPECT_EQ(device->disconnects, 1);
        settle();
        EXPECT_FALSE(card) << (save ? "Save" : "Cancel") << " closes the card";
        family->onPotentialDeviceRemoved(manager->devices.back());
    }
}

} // namespace
