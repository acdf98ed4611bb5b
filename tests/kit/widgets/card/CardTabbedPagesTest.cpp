#include "kit/framework/SettingsTab.h"
#include "kit/widgets/card/CardTabbedPages.h"
#include "kit/widgets/card/TabButton.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStackedWidget>
#include <QStringList>

namespace {

class HookTab : public SettingsTab {
public:
    HookTab(int id, QStringList* log) : id_(id), log_(log) {}
    void extensionHook1() override { log_->append(QStringLiteral("enter %1").arg(id_)); }
    void extensionHook2() override { log_->append(QStringLiteral("leave %1").arg(id_)); }

private:
    int id_;
    QStringList* log_;
};

class CardTabbedPagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i) {
            tabs[i] = new HookTab(i, &log);
            ASSERT_EQ(pages.addPage(tabs[i], QStringLiteral("Tab %1").arg(i)), i);
        }
    }
    void click(int index) { pages.tabButton(index)->click(); }

    CardTabbedPages pages{Qt::red};
    HookTab* tabs[3] = {};
    QStringList log;
};

TEST_F(CardTabbedPagesTest, ClickRunsLeaveThenEnterHooksOnlyForAnotherTab)
{
    EXPECT_TRUE(pages.tabButton(0)->isChecked());
    click(0);
    EXPECT_TRUE(log.isEmpty());
    click(2);
    EXPECT_EQ(log, QStringList({"leave 0", "enter 2"}));
    EXPECT_EQ(pages.currentIndex(), 2);
    EXPECT_EQ(pages.stack()->currentIndex(), 2);
}

TEST_F(CardTabbedPagesTest, OverallStatusIsTheLargestAndSignalsOnlyOnChange)
{
    QSignalSpy changed(&pages, &CardTabbedPages::settingsStatusChanged);
    tabs[0]->setSettingsStatus(SettingsStatus::Changed);
    EXPECT_EQ(pages.overallStatus(), SettingsStatus::Changed);
    tabs[1]->setSettingsStatus(SettingsStatus::Changed);
    EXPECT_EQ(changed.count(), 1);
    tabs[2]->setSettingsStatus(SettingsStatus::Invalid);
    EXPECT_EQ(pages.overallStatus(), SettingsStatus::Invalid);
    tabs[2]->setSettingsStatus(SettingsStatus::Unchanged);
    EXPECT_EQ(pages.overallStatus(), SettingsStatus::Changed);
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(CardTabbedPagesTest, LeavingAnInvalidTabMarksItUntilItIsValidAgain)
{
    tabs[0]->setSettingsStatus(SettingsStatus::Invalid);
    EXPECT_FALSE(pages.tabButton(0)->hasAlert());
    click(1);
    EXPECT_TRUE(pages.tabButton(0)->hasAlert());
    EXPECT_EQ(pages.stack()->currentIndex(), 1);
    tabs[0]->setSettingsStatus(SettingsStatus::Changed);
    EXPECT_FALSE(pages.tabButton(0)->hasAlert());
}

// Reopening a card on a saved tab must leave the next click acting on the tab shown.
TEST_F(CardTabbedPagesTest, SetCurrentIndexMovesTheStoredIndexWithoutHooks)
{
    pages.setCurrentIndex(2);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(pages.currentIndex(), 2);
    EXPECT_EQ(pages.stack()->currentIndex(), 2);
    EXPECT_TRUE(pages.tabButton(2)->isChecked());

    tabs[2]->setSettingsStatus(SettingsStatus::Invalid);
    click(0);
    EXPECT_EQ(log, QStringList({"leave 2", "enter 0"}));
    EXPECT_TRUE(pages.tabButton(2)->hasAlert());
    EXPECT_FALSE(pages.tabButton(0)->hasAlert());

    // Going back to the saved tab is a real change of tab again.
    log.clear();
    click(2);
    EXPECT_EQ(log, QStringList({"leave 0", "enter 2"}));
}

} // namespace
