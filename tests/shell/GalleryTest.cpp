#include "Fakes.h"
#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/card/ElidedLabel.h"
#include "shell/DeviceList.h"
#include "shell/LauncherPushButton.h"
#include "shell/VisibleDevicesWidget.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace {

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override { gallery_.show(); }

    FakeDevice* add(const QString& name)
    {
        devices_.push_back(std::make_unique<FakeDevice>(&family_, name));
        list_.onDeviceAdded(devices_.back().get());
        return devices_.back().get();
    }

    bool visible(QWidget* widget) const { return widget->isVisibleTo(&gallery_); }

    FakeFamily family_{nullptr, "F", nullptr};
    DeviceList list_;
    VisibleDevicesWidget gallery_{&list_, nullptr};
    std::vector<std::unique_ptr<FakeDevice>> devices_;
};

TEST_F(GalleryTest, ArrowsShowWhereThereIsAnotherDevice)
{
    EXPECT_FALSE(visible(gallery_.leftArrow()));
    EXPECT_FALSE(visible(gallery_.rightArrow()));
    EXPECT_EQ(gallery_.pageStack()->currentIndex(), VisibleDevicesWidget::MessagePage);
    EXPECT_FALSE(gallery_.imageButton()->isEnabled());

    add("a");
    EXPECT_FALSE(visible(gallery_.leftArrow()));
    EXPECT_FALSE(visible(gallery_.rightArrow()));
    add("b");
    add("c");
    struct Case {
        int index;
        bool left;
        bool right;
    };
    for (const Case& c : {Case{0, false, true}, Case{1, true, true}, Case{2, true, false}}) {
        list_.selectAt(c.index);
        EXPECT_EQ(visible(gallery_.leftArrow()), c.left) << c.index;
        EXPECT_EQ(visible(gallery_.rightArrow()), c.right) << c.index;
    }
    gallery_.onLeftClicked();
    EXPECT_EQ(list_.currentIndex(), 1);
    EXPECT_EQ(gallery_.nameLabel()->text(), "b");
}

TEST_F(GalleryTest, SoftwarePageOffersTheUpdateOnlyWhenThereIsOne)
{
    FakeDevice* d = add("dev");
    d->software_ = true;
    d->version_ = "1.2";
    d->availableVersion_ = "1.5";
    for (bool available : {true, false}) {
        d->updateAvailable_ = available;
        list_.onDeviceInfoChanged(d);
        EXPECT_EQ(gallery_.pageStack()->currentIndex(), VisibleDevicesWidget::SoftwarePage);
        EXPECT_FALSE(gallery_.imageButton()->isEnabled());
        EXPECT_EQ(gallery_.softwareLabel(0)->text(), "Version 1.2");
        EXPECT_EQ(gallery_.softwareLabel(1)->text(),
                  available ? "Software update available." : "Software is up to date.");
        EXPECT_EQ(visible(gallery_.softwareLabel(2)), available);
        EXPECT_EQ(visible(gallery_.updateButton()), available);
    }
    d->updateAvailable_ = true;
    list_.onDeviceInfoChanged(d);
    QList<VisibleDevice*> update;
    QObject::connect(&gallery_, &VisibleDevicesWidget::requestFirmwareUpdate,
                     [&update](VisibleDevice* device) { update << device; });
    gallery_.updateButton()->click();
    EXPECT_EQ(update, QList<VisibleDevice*>({d}));
    EXPECT_EQ(gallery_.softwareLabel(2)->text(), "Version 1.5");
    EXPECT_EQ(gallery_.updateButton()->size(), QSize(114, 28));
}

TEST_F(GalleryTest, AVersionlessDeviceDoesNotInheritAnotherDevicesVersion)
{
    FakeDevice* a = add("a");
    FakeDevice* b = add("b");
    a->software_ = b->software_ = true;
    a->version_ = "2.0";
    list_.selectAt(0);
    EXPECT_EQ(gallery_.softwareLabel(0)->text(), "Version 2.0");
    a->version_.clear(); // the same device keeps what it showed
    list_.onDeviceInfoChanged(a);
    EXPECT_EQ(gallery_.softwareLabel(0)->text(), "Version 2.0");
    list_.selectAt(1);
    EXPECT_EQ(gallery_.softwareLabel(0)->text(), "");
}

TEST_F(GalleryTest, DeviceThatCannotOpenHidesItsButtonAndIgnoresClicks)
{
    FakeDevice* d = add("dev");
    QSignalSpy show(&gallery_, &VisibleDevicesWidget::requestShowDevice);
    gallery_.imageButton()->click();
    EXPECT_EQ(show.count(), 1);
    EXPECT_TRUE(visible(gallery_.openButton()));

    d->canOpen_ = false;
    list_.onDeviceInfoChanged(d);
    EXPECT_FALSE(visible(gallery_.openButton()));
    gallery_.imageButton()->click();
    gallery_.onDeviceClicked();
    EXPECT_EQ(show.count(), 1);
}

TEST_F(GalleryTest, ControlAppButtonShowsOnlyForDevicesWithStatusImages)
{
    add("a");
    FakeDevice* app = add("b");
    QPixmap status(50, 30);
    status.fill(Qt::green);
    app->status_ = status;
    QList<VisibleDevice*> requested;
    QObject::connect(&gallery_, &VisibleDevicesWidget::requestShowControlApp,
                     [&requested](VisibleDevice* device) { requested << device; });

    list_.selectAt(1);
    EXPECT_TRUE(visible(gallery_.controlAppButton()));
    EXPECT_EQ(gallery_.controlAppButton()->size(), QSize(50, 30));
    gallery_.controlAppButton()->click();
    list_.selectAt(0);
    EXPECT_FALSE(visible(gallery_.controlAppButton()));
    EXPECT_EQ(requested, QList<VisibleDevice*>({app}));
}

TEST_F(GalleryTest, LongNamesAreElidedToTheSpaceBesideTheIcon)
{
    FakeDevice* d = add("dev");
    QPixmap icon(30, 20);
    icon.fill(Qt::white);
    d->icon_ = icon;
    const QFontMetrics metrics(gallery_.deviceTextLabel()->font());
    QString longName;
    while (metrics.horizontalAdvance(longName) <= 600)
        longName += "Wide Name ";
    struct Case {
        QString name;
        bool withIcon;
    };
    for (const Case& c : {Case{longName, true}, Case{longName, false}, Case{"Short", true}}) {
        d->name_ = c.name;
        d->icon_ = c.withIcon ? icon : QPixmap();
        list_.onDeviceInfoChanged(d);
        const int space = c.withIcon ? 400 - 40 : 400;
        EXPECT_EQ(visible(gallery_.connectionIconLabel()), c.withIcon);
        if (c.withIcon) {
            EXPECT_EQ(gallery_.connectionIconLabel()->width(), 40);
        }
        if (metrics.horizontalAdvance(c.name) > space) {
            EXPECT_EQ(gallery_.deviceTextLabel()->width(), space);
            EXPECT_TRUE(gallery_.deviceTextLabel()->text().endsWith(QChar(0x2026)));
        } else {
            EXPECT_EQ(gallery_.deviceTextLabel()->width(), metrics.horizontalAdvance(c.name));
            EXPECT_EQ(gallery_.deviceTextLabel()->text(), c.name);
        }
    }
}

// A name as long as a user may give a device must not push the window wider than it is.
TEST(GalleryInAWindow, ALongDisplayNameIsElidedInsteadOfWideningTheWindow)
{
    FakeFamily family(nullptr, "F", nullptr);
    FakeDevice device(&family, "dev");
    DeviceList list;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* gallery = new VisibleDevicesWidget(&list, &window);
    layout->addWidget(gallery);
    window.resize(780, 600);
    window.show();
    list.onDeviceAdded(&device);

    const QFontMetrics metrics(gallery->nameLabel()->font());
    QString longName;
    while (metrics.horizontalAdvance(longName) <= 1200)
        longName += "Long Name ";
    device.displayName_ = longName;
    list.onDeviceInfoChanged(&device);
    // The new size hints climb one layout per turn of the event loop.
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents();

    EXPECT_EQ(window.width(), 780);
    EXPECT_LT(gallery->nameLabel()->width(), 780);
    EXPECT_TRUE(gallery->nameLabel()->displayedText().endsWith(QChar(0x2026)));
}

TEST_F(GalleryTest, BadInstallPageStaysWhateverArrives)
{
    BrandingSettings::instance().badInstallHeader = "Broken";
    add("a");
    gallery_.onBadInstall();
    add("b");
    list_.selectAt(1);
    EXPECT_EQ(gallery_.pageStack()->currentIndex(), VisibleDevicesWidget::MessagePage);
    EXPECT_EQ(gallery_.nameLabel()->text(), "Broken");
    EXPECT_FALSE(gallery_.imageButton()->isEnabled());
    EXPECT_FALSE(visible(gallery_.leftArrow()));
}

TEST_F(GalleryTest, ExtraWidgetIsAdoptedAndForgottenWhenItDeletesItself)
{
    FakeDevice* d = add("dev");
    QPointer<QWidget> made;
    d->makeExtra_ = [&made]() { return made = new QWidget; };
    list_.onDeviceInfoChanged(d);
    ASSERT_TRUE(made);
    EXPECT_EQ(gallery_.extraWidget(), made.data());
    EXPECT_EQ(made->parentWidget(), &gallery_);

    d->makeExtra_ = nullptr;
    delete made.data();
    EXPECT_EQ(gallery_.extraWidget(), nullptr);

    // A rebuild gives up the adopted widget.
    d->makeExtra_ = [&made]() { return made = new QWidget; };
    list_.onDeviceInfoChanged(d);
    QPointer<QWidget> first = made;
    list_.onDeviceInfoChanged(d);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(gallery_.extraWidget(), made.data());
}

TEST(LauncherPushButton, StyleSheetHasItsFiveParts)
{
    const QString sheet = LauncherPushButton::launcherStyleSheet();
    EXPECT_TRUE(sheet.startsWith("QPushButton {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 "
                                 "#3a3a3a, stop:1 #282828);\tborder: 1px solid #171717;"));
    EXPECT_TRUE(sheet.contains("QPushButton:disabled {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                               "stop:0 rgba(58, 58, 58, 100), stop:1 rgba(40, 40, 40, 100));"));
    EXPECT_TRUE(sheet.endsWith(QString("QPushButton:default {\tborder: 1px solid %1;}")
                                   .arg(QString("rgba(%1, %2, %3, 180)")
                                            .arg(brandingAccentColour().red())
                                            .arg(brandingAccentColour().green())
                                            .arg(brandingAccentColour().blue()))));
}

} // namespace
