#include "Fakes.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/SecretButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "shell/CrossMenu.h"
#include "shell/DeviceList.h"
#include "shell/DotsWidget.h"
#include "shell/FooterLeftRegion.h"
#include "shell/ViewSelectionBar.h"
#include "shell/VisibleDevicesWidget.h"
#include "shell/WindowFooter.h"
#include "kit/widgets/card/ElidedLabel.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace {

class FooterTest : public ::testing::Test {
protected:
    void SetUp() override { footer_.show(); }

    FakeDevice* add(const QString& name)
    {
        devices_.push_back(std::make_unique<FakeDevice>(&family_, name));
        list_.onDeviceAdded(devices_.back().get());
        return devices_.back().get();
    }

    FakeFamily family_{nullptr, "F", nullptr};
    DeviceList list_;
    WindowFooter footer_{&list_, nullptr, false};
    std::vector<std::unique_ptr<FakeDevice>> devices_;
};

TEST_F(FooterTest, CrossButtonRunsASingleOptionAtOnceAndOffersSeveralInAMenu)
{
    FooterLeftRegion* region = footer_.leftRegion();
    QSignalSpy chosen(&footer_, &WindowFooter::crossMenuOptionSelected);

    footer_.setCrossMenuOptions({});
    EXPECT_FALSE(region->crossButton()->isVisibleTo(&footer_));
    region->crossButton()->click();
    EXPECT_EQ(chosen.count(), 0);

    footer_.setCrossMenuOptions({"Only"});
    EXPECT_TRUE(region->crossButton()->isVisibleTo(&footer_));
    region->crossButton()->click();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toString(), "Only");
    EXPECT_FALSE(region->crossMenu()->isVisible());

    footer_.setCrossMenuOptions({"One", "Two", "Three"});
    const QList<QAction*> actions = region->crossMenu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions.at(0)->text(), "One");
    EXPECT_EQ(actions.at(2)->text(), "Three");
    region->crossButton()->click();
    EXPECT_TRUE(region->crossMenu()->isVisible());
    EXPECT_EQ(chosen.count(), 0);
    actions.at(1)->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toString(), "Two");
    region->crossMenu()->hide();

    // Replacing the options leaves no stale mapping behind.
    footer_.setCrossMenuOptions({"Four", "Five"});
    region->crossMenu()->actions().at(0)->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toString(), "Four");
}

TEST_F(FooterTest, DotsFollowTheListAndAClickSelectsThatDevice)
{
    VisibleDevicesWidget gallery(&list_, nullptr);
    const QImage on = loadIconPixmap(":/Dot_On").toImage();
    add("a");
    add("b");
    add("c");
    const QList<FlatImageButton*>& dots = footer_.dots()->dots();
    ASSERT_EQ(dots.size(), 3);
    for (FlatImageButton* dot : dots)
        EXPECT_TRUE(dot->isVisibleTo(&footer_));
    EXPECT_EQ(dots.at(0)->pixmap().toImage(), on);
    EXPECT_NE(dots.at(1)->pixmap().toImage(), on);

    QTest::mouseClick(dots.at(2), Qt::LeftButton);
    EXPECT_EQ(list_.currentIndex(), 2);
    EXPECT_EQ(gallery.nameLabel()->text(), "c");
    EXPECT_EQ(dots.at(2)->pixmap().toImage(), on);

    FlatImageButton* kept = dots.at(2);
    list_.onDeviceRemoved(devices_.at(0).get());
    list_.onDeviceRemoved(devices_.at(1).get());
    ASSERT_EQ(footer_.dots()->dots().size(), 1);
    EXPECT_EQ(footer_.dots()->dots().first(), kept);
    EXPECT_FALSE(kept->isVisibleTo(&footer_));
    EXPECT_TRUE(footer_.dots()->isVisibleTo(&footer_));

    list_.onDeviceRemoved(devices_.at(2).get());
    EXPECT_FALSE(footer_.dots()->isVisibleTo(&footer_));
}

TEST_F(FooterTest, HotSpotAnswersOnlyAShiftDoubleClick)
{
    QSignalSpy egg(&footer_, &WindowFooter::easterEggClicked);
    SecretButton* spot = footer_.leftRegion()->hotSpot();
    EXPECT_EQ(spot->geometry(), QRect(0, 44, 20, 20));
    QTest::mouseDClick(spot, Qt::LeftButton);
    EXPECT_EQ(egg.count(), 0);
    QTest::mouseDClick(spot, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(egg.count(), 1);
}

TEST(FooterWithListView, EmptyListHidesTheToggleAndReturnsToTheGallery)
{
    FakeFamily family(nullptr, "F", nullptr);
    FakeDevice device(&family, "a");
    DeviceList list;
    WindowFooter footer(&list, nullptr, true);
    footer.show();
    ASSERT_NE(footer.viewSelectionBar(), nullptr);
    list.onDeviceAdded(&device);
    EXPECT_TRUE(footer.viewSelectionBar()->isVisibleTo(&footer));
    QSignalSpy gallery(&footer, &WindowFooter::galleryViewSelected);
    QSignalSpy listView(&footer, &WindowFooter::listViewSelected);
    footer.viewSelectionBar()->onListViewSelected();
    EXPECT_EQ(listView.count(), 1);
    list.onDeviceRemoved(&device);
    EXPECT_FALSE(footer.viewSelectionBar()->isVisibleTo(&footer));
    EXPECT_GE(gallery.count(), 1);
}

} // namespace
