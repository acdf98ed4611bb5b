#include "kit/framework/SettingsTab.h"
#include "kit/widgets/card/CardScrollArea.h"
#include "kit/widgets/card/CardSection.h"
#include "kit/widgets/settings/BookmarkMenu.h"
#include "kit/widgets/settings/BookmarkSelector.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// A tab that offers bookmarks: raising the menu shows it, choosing an entry closes it and
// scrolls the column to that section.
TEST(Bookmarks, ChoosingABookmarkScrollsTheColumnToIt)
{
    SettingsTab tab;
    tab.resize(620, 200);
    QList<QWidget*> targets;
    for (int s = 0; s < 3; ++s) {
        targets << tab.addSection(QStringLiteral("Section %1").arg(s));
        for (int i = 0; i < 6; ++i)
            tab.addTextRow(QStringLiteral("Row %1:").arg(i), QStringLiteral("text"));
    }
    tab.finishLayout();
    auto* selector = new BookmarkSelector(&tab);
    auto* menu = new BookmarkMenu(&tab);
    menu->addAction(QStringLiteral("Section 1"));
    selector->setMenu(menu);
    tab.setBookmarks(selector, menu, targets);
    QObject::connect(menu, &BookmarkMenu::bookmarkSelected, &tab, &SettingsTab::onBookmarkSelected);
    tab.move(200, 150);
    selector->setGeometry(100, 40, 120, 20);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));

    // The menu drops 50 pixels right of and 23 below the selector's corner, on screen.
    selector->onRaiseBookmarkMenu();
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), QPoint(200 + 100 + 50, 150 + 40 + 23));

    QSignalSpy chosen(menu, &BookmarkMenu::bookmarkSelected);
    menu->onBookmarkSelected(1);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 1);
    EXPECT_FALSE(menu->isVisible());
    // The chosen section's title now stands at the top of the visible column.
    QScrollBar* bar = tab.scrollArea()->verticalScrollBar();
    ASSERT_GT(bar->value(), 0);
    EXPECT_EQ(targets.at(1)->mapTo(tab.scrollArea()->viewport(), QPoint(0, 0)).y(), 0);

    // An index without a target leaves the column where it is.
    const int before = bar->value();
    menu->onBookmarkSelected(7);
    EXPECT_EQ(bar->value(), before);
}

} // namespace
