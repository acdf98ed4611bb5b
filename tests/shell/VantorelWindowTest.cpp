#include "Fakes.h"
#include "kit/branding/BrandingSettings.h"
#include "shell/AddByIpAddressController.h"
#include "shell/BadInstallDialog.h"
#include "shell/DiscoveryFactory.h"
#include "shell/DiscoveryHelper.h"
#include "shell/DotsWidget.h"
#include "shell/ShellBranding.h"
#include "shell/VantorelWindow.h"
#include "shell/VisibleDevicesListViewWidget.h"
#include "shell/VisibleDevicesWidget.h"
#include "shell/WindowFooter.h"

#include "kit/widgets/CardPushButton.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

class FakeController : public AddByIpAddressController {
public:
    using AddByIpAddressController::AddByIpAddressController;
    void showDialog() override { ++shown; }
    int shown = 0;
};

// Records the helpers made; resolve and look-up answer at once with what the test set.
class FakeDiscovery : public DiscoveryFactory {
public:
    DiscoveryHelper* createHelper(const QString& type, QObject* parent) override
    {
        types->append(type);
        return new DiscoveryHelper(parent);
    }
    AddByIpAddressController* createAddByIpController(QWidget* window, const QVector<Family*>* families) override
    {
        *controller = new FakeController(window, families);
        return *controller;
    }
    void resolve(const BonjourInfo&, QObject*, ResolveDone done) override { done(resolveError, "host.local", 81); }
    void lookup(const QString&, int, QObject*, LookupDone done) override { done(lookupError, "10.0.0.7"); }

    QStringList* types;
    FakeController** controller;
    int resolveError = 0;
    int lookupError = 0;
};

class TestWindow : public VantorelWindow {
public:
    using VantorelWindow::VantorelWindow;
    using VantorelWindow::nativeEvent;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
        BrandingSettings::instance().usesBonjour = false;
        BrandingSettings::instance().hasListView = false;
        auto discovery = std::make_unique<FakeDiscovery>();
        discovery->types = &helperTypes_;
        discovery->controller = &controller_;
        discovery_ = discovery.get();
        window_ = std::make_unique<TestWindow>(std::move(discovery));
    }

    void TearDown() override { window_.reset(); }

    FakeFamily* addFamily(const QString& name)
    {
        auto* family = new FakeFamily(window_.get(), name, &log_);
        families_.append(family);
        return family;
    }

    // Adds the families to the window and runs the first turn of the event loop.
    void start()
    {
        for (FakeFamily* family : families_)
            window_->addFamily(family);
        QCoreApplication::processEvents();
    }

    QTemporaryDir settingsDir_;
    QStringList log_;
    QStringList helperTypes_;
    FakeController* controller_ = nullptr;
    FakeDiscovery* discovery_ = nullptr;
    std::unique_ptr<TestWindow> window_;
    QVector<FakeFamily*> families_;
};

TEST_F(WindowTest, FamiliesAreWiredAndStartedOneByOneOnTheFirstTurn)
{
    FakeFamily* f1 = addFamily("F1");
    FakeFamily* f2 = addFamily("F2");
    FakeDevice d1(f1, "one");
    FakeDevice d2(f2, "two");
    QStringList seen;
    f1->onStart_ = [&]() {
        seen << QString("F1 own=%1 next=%2 footer=%3").arg(f1->arrivalReceivers()).arg(f2->arrivalReceivers()).arg(window_->footer() != nullptr);
        f1->emitArrived(&d1);
    };
    f2->onStart_ = [&]() {
        seen << QString("F2 own=%1 listed=%2").arg(f2->arrivalReceivers()).arg(window_->deviceList()->count());
        f2->emitArrived(&d2);
    };
    for (FakeFamily* family : families_)
        window_->addFamily(family);
    window_->addFamily(f1); // a family already held is ignored
    EXPECT_EQ(window_->families().size(), 2);
    EXPECT_TRUE(log_.isEmpty());

    QCoreApplication::processEvents();
    EXPECT_EQ(log_, QStringList({"F1 start", "F2 start"}));
    EXPECT_EQ(seen, QStringList({"F1 own=1 next=0 footer=1", "F2 own=1 listed=1"}));
    EXPECT_EQ(window_->deviceList()->count(), 2);
    EXPECT_EQ(window_->footer()->dots()->dots().size(), 2);
    EXPECT_EQ(f1->selectedDevice(), &d1);
    EXPECT_EQ(f2->selectedDevice(), nullptr);

    window_->postShowStartup();
    EXPECT_EQ(log_.size(), 2);
    EXPECT_TRUE(helperTypes_.isEmpty());
    EXPECT_EQ(QMetaType::type("BonjourInfo"), 0);
}

TEST_F(WindowTest, EventsGoToTheFirstFamilyThatTakesThem)
{
    addFamily("F1")->answer_ = false;
    addFamily("F2")->answer_ = true;
    addFamily("F3")->answer_ = true;
    start();
    const BonjourInfo info;
    const std::vector<std::pair<QString, std::function<void()>>> routes = {
        {"deviceChange",
         [&]() {
             MSG msg;
             msg.message = platform::WM_DEVICECHANGE;
             long result = 0;
             EXPECT_TRUE(window_->handleNativeMessage(&msg, &result));
             EXPECT_EQ(result, 1);
         }},
        {"added", [&]() { window_->onBonjourDeviceAdded(info); }},
        {"added", [&]() { window_->newDeviceAddedByIP(info); }},
        {"removed", [&]() { window_->onBonjourDeviceRemoved(info); }},
        {"updated", [&]() { window_->onBonjourDeviceUpdated(info); }},
        {"resolved  0   0", [&]() { window_->onBonjourDeviceResolved(info, false, {}, {}, 0); }},
    };
    for (const auto& route : routes) {
        log_.clear();
        route.second();
        EXPECT_EQ(log_, QStringList({"F1 " + route.first, "F2 " + route.first}));
    }

    log_.clear();
    MSG other;
    other.message = platform::WM_DEVICECHANGE + 1;
    long result = 0;
    EXPECT_FALSE(window_->handleNativeMessage(&other, &result));
    // What the X11 platform hands nativeEvent is never a message of ours.
    MSG xcb;
    xcb.message = platform::WM_DEVICECHANGE;
    EXPECT_FALSE(window_->nativeEvent("xcb_generic_event_t", &xcb, &result));
    EXPECT_TRUE(log_.isEmpty());
    EXPECT_TRUE(window_->nativeEvent(platform::kMessageEventType, &xcb, &result));
}

TEST(ShellBranding, TextsFollowTheRecordAndTheArticleFlag)
{
    BrandingSettings& record = BrandingSettings::instance();
    const BrandingSettings saved = record;
    record.appName = "Widget Setup";
    record.fullAppName = "Acme Widget Setup";
    record.productSingular = "Encoder";
    const struct {
        bool useAn;
        const char* add;
    } rows[] = {{false, "Add a Encoder"}, {true, "Add an Encoder"}};
    for (const auto& row : rows) {
        record.useAnNotA = row.useAn;
        EXPECT_EQ(brandingAddDeviceText(), row.add);
    }
    EXPECT_EQ(brandingNoDeviceText(), "No Encoder found");
    EXPECT_EQ(brandingAboutMenuText(), "About Widget Setup");
    EXPECT_EQ(brandingOrganisationName(), "Tarnwright Works");
    EXPECT_EQ(brandingNoDeviceImage().size(), QSize(400, 360));
    EXPECT_EQ(brandingBadInstallImage().size(), QSize(400, 360));
    EXPECT_TRUE(brandingAboutIcon().isNull()); // no icon named

    VantorelWindow window;
    EXPECT_EQ(window.windowTitle(), "Acme Widget Setup");
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus.first()->text(), "Help");
    ASSERT_EQ(menus.first()->menu()->actions().size(), 1);
    EXPECT_EQ(menus.first()->menu()->actions().first()->text(), "About Widget Setup");
    record = saved;
}

TEST_F(WindowTest, CloseNeedsEveryFamilyAndOnlyThenSavesTheGeometry)
{
    QMainWindow probe;
    const int menuHeight = probe.menuBar()->height();
    EXPECT_EQ(window_->minimumSize(), QSize(780, 680 + menuHeight));
    EXPECT_EQ(window_->size(), window_->minimumSize());

    FakeFamily* f1 = addFamily("F1");
    FakeFamily* f2 = addFamily("F2");
    FakeFamily* f3 = addFamily("F3");
    f1->answer_ = true;
    f3->answer_ = true;
    start();
    window_->resize(900, 800);

    QCloseEvent refused;
    QCoreApplication::sendEvent(window_.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(log_.filter("canClose"), QStringList({"F1 canClose", "F2 canClose"}));
    QSettings settings("Tarnwright Works", BrandingSettings::instance().appName);
    EXPECT_FALSE(settings.contains("geometry"));

    f2->answer_ = true;
    QCloseEvent agreed;
    QCoreApplication::sendEvent(window_.get(), &agreed);
    EXPECT_TRUE(agreed.isAccepted());
    settings.sync();
    ASSERT_TRUE(settings.contains("geometry"));
    EXPECT_EQ(settings.allKeys(), QStringList({"geometry"}));

    VantorelWindow restored;
    EXPECT_EQ(restored.size(), QSize(900, 800));
}

TEST_F(WindowTest, DestructorShutsTheFamiliesDownFirstInOrder)
{
    FakeFamily* f1 = addFamily("F1");
    addFamily("F2");
    FakeDevice device(f1, "one");
    f1->onStart_ = [&]() { f1->emitArrived(&device); };
    start();
    QStringList alive;
    TestWindow* window = window_.get();
    f1->onShutdown_ = [&]() {
        alive << QString("listed=%1 gallery=%2").arg(window->deviceList()->count()).arg(window->gallery()->isBadInstall());
    };
    delete window_.release();
    EXPECT_EQ(log_.filter("shutdown"), QStringList({"F1 shutdown", "F2 shutdown"}));
    EXPECT_EQ(alive, QStringList({"listed=1 gallery=0"}));
}

TEST_F(WindowTest, CrossMenuIsComposedInFamilyOrderAndRoutesToTheFirstMatch)
{
    FakeFamily* f1 = addFamily("F1");
    FakeFamily* f2 = addFamily("F2");
    f1->options_ = QStringList({"Alpha", "Shared"});
    f2->options_ = QStringList({"Shared", "Beta"});
    start();
    EXPECT_EQ(window_->crossMenuTexts(), QStringList({"Alpha", "Shared", "Shared", "Beta"}));

    log_.clear();
    window_->onCrossMenuOptionSelected("Shared");
    window_->onCrossMenuOptionSelected("Beta");
    window_->onCrossMenuOptionSelected("Nothing");
    EXPECT_EQ(log_, QStringList({"F1 option Shared", "F2 option Beta"}));

    f2->options_.clear();
    f2->emitCrossMenuChanged();
    EXPECT_EQ(window_->crossMenuTexts(), QStringList({"Alpha", "Shared"}));
}

TEST_F(WindowTest, NetworkFamiliesGetTheAddByIpEntryAndOneHelperPerType)
{
    FakeFamily* f1 = addFamily("F1");
    FakeFamily* f2 = addFamily("F2");
    f1->usesBonjour_ = true;
    f1->types_ = {"_a._tcp", "_b._tcp"};
    f2->types_ = {"_b._tcp", "_c._tcp"};
    f2->options_ = QStringList({"Beta"});
    start();
    helperTypes_.sort();
    EXPECT_EQ(helperTypes_, QStringList({"", "_a._tcp", "_b._tcp", "_c._tcp"}));
    EXPECT_NE(QMetaType::type("BonjourInfo"), 0);
    EXPECT_EQ(window_->crossMenuTexts(), QStringList({"Add by IP address", "Beta"}));

    window_->onCrossMenuOptionSelected("Add by IP address");
    window_->onAddByIpClicked();
    EXPECT_EQ(controller_->shown, 2);

    // A helper's finding reaches the families.
    log_.clear();
    emit window_->discoveryHelpers().first()->deviceArrived(BonjourInfo());
    EXPECT_EQ(log_, QStringList({"F1 added", "F2 added"}));
}

TEST_F(WindowTest, ResolveRequestsEndInOneResolvedCallPerOutcome)
{
    FakeFamily* f1 = addFamily("F1");
    f1->usesBonjour_ = true;
    start();
    BonjourInfo info;
    info.name = "dev";
    struct Case {
        int resolveError;
        int lookupError;
        int port; // -1: no fixed port
        QString expected;
    };
    const Case cases[] = {
        {0, 0, -1, "F1 resolved dev 1 host.local 10.0.0.7 81"},
        {0, 0, 9000, "F1 resolved dev 1 host.local 10.0.0.7 9000"},
        {-65537, 0, -1, "F1 resolved dev 0   0"},
        {0, 5, 9000, "F1 resolved dev 0   0"},
    };
    for (const Case& c : cases) {
        log_.clear();
        discovery_->resolveError = c.resolveError;
        discovery_->lookupError = c.lookupError;
        if (c.port < 0)
            f1->emitResolve(info);
        else
            f1->emitResolveWithPort(info, c.port);
        EXPECT_EQ(log_, QStringList({c.expected}));
    }
}

TEST_F(WindowTest, DeviceActionsGoToTheDevicesFamilyAndUnlistedDevicesAreIgnored)
{
    FakeFamily* f1 = addFamily("F1");
    FakeFamily* f2 = addFamily("F2");
    FakeDevice listed(f2, "listed");
    FakeDevice unlisted(f1, "unlisted");
    f2->onStart_ = [&]() { f2->emitArrived(&listed); };
    start();
    log_.clear();
    emit window_->gallery()->requestShowDevice(&listed);
    emit window_->gallery()->requestShowControlApp(&listed);
    emit window_->gallery()->requestFirmwareUpdate(&listed);
    window_->showDevice(&unlisted);
    window_->updateFirmware(nullptr);
    EXPECT_EQ(log_, QStringList({"F2 show listed", "F2 controlApp listed", "F2 update listed"}));

    f1->emitBadInstall();
    EXPECT_TRUE(window_->gallery()->isBadInstall());
}

class ListView : public VisibleDevicesListViewWidget {
public:
    using VisibleDevicesListViewWidget::VisibleDevicesListViewWidget;
    void onDeviceAdded(VisibleDevice*) override {}
    void onDeviceRemoved(VisibleDevice*) override {}
    void onDeviceInfoChanged(VisibleDevice*) override {}
};

// Supplies one list view and hands back the same widget every time it is asked.
class ListViewFamily : public FakeFamily {
public:
    using FakeFamily::FakeFamily;
    QWidget* listViewWidget(DeviceList* list, QWidget* parent) override
    {
        if (!view)
            view = new ListView(list, parent);
        return view;
    }
    ListView* view = nullptr;
};

TEST_F(WindowTest, AFamilysListViewBecomesTheSecondPageAndOpensItsDevices)
{
    addFamily("F1");
    auto* f2 = new ListViewFamily(window_.get(), "F2", &log_);
    families_.append(f2);
    FakeDevice device(f2, "listed");
    f2->onStart_ = [&]() { f2->emitArrived(&device); };
    start();

    ASSERT_NE(f2->view, nullptr);
    EXPECT_EQ(window_->viewStack()->count(), 2);
    EXPECT_EQ(window_->viewStack()->widget(1), f2->view);
    EXPECT_EQ(window_->viewStack()->currentWidget(), window_->gallery());
    EXPECT_EQ(window_->familyListView(), nullptr); // taken once

    window_->onListViewSelected();
    EXPECT_EQ(window_->viewStack()->currentWidget(), f2->view);
    window_->onGalleryViewSelected();
    EXPECT_EQ(window_->viewStack()->currentWidget(), window_->gallery());

    log_.clear();
    emit f2->view->requestShowDevice(&device);
    EXPECT_EQ(log_, QStringList({"F2 show listed"}));
}

TEST_F(WindowTest, BadInstallDialogShowsItsMessageAndCloseEndsTheLoopWithZero)
{
    window_->show();
    auto* dialog = new BadInstallDialog(window_.get(), "Bad Install",
                                        "Your software installation has become corrupted and is missing some components.",
                                        "Close");
    QStringList visible;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->isVisible() && !label->text().isEmpty())
            visible << label->text();
    }
    EXPECT_EQ(visible, QStringList({"Bad Install",
                                    "Your software installation has become corrupted and is missing some components."}));
    QStringList buttons;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (button->isVisible())
            buttons << button->text();
    }
    EXPECT_EQ(buttons, QStringList({"Close"}));
    QTimer::singleShot(0, dialog->closeButton(), &QAbstractButton::click);
    EXPECT_EQ(qApp->exec(), 0);
}

} // namespace
