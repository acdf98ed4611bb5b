#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/card/CardFooter.h"
#include "kit/widgets/card/CardPopupMenu.h"
#include "kit/widgets/card/CardScrollArea.h"
#include "kit/widgets/card/CardSection.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

TEST(CardFooter, EmptyMenuOnlyReportsThePressAndOptionsSendTheirTags)
{
    QWidget window;
    window.resize(620, 300);
    auto* footer = new CardFooter(&window);
    footer->setGeometry(0, 234, 620, CardFooter::kHeight);
    window.show();
    QSignalSpy pushed(footer, &CardFooter::settingsButtonPushed);
    QSignalSpy option(footer, &CardFooter::menuOptionPressed);

    footer->onSettingsPressed();
    EXPECT_EQ(pushed.count(), 1);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    QAction* reset = footer->popupMenu()->addOption(QStringLiteral("Reset"), 7);
    footer->onSettingsPressed();
    EXPECT_EQ(pushed.count(), 2);
    EXPECT_EQ(QApplication::activePopupWidget(), footer->popupMenu());
    reset->trigger();
    ASSERT_EQ(option.count(), 1);
    EXPECT_EQ(option.at(0).at(0).toInt(), 7);
    footer->popupMenu()->hide();
}

TEST(CardFooter, CloseOnlyKeepsOneButtonThatSaves)
{
    CardFooter footer;
    QSignalSpy saved(&footer, &CardFooter::savePressed);
    footer.showCloseOnly();
    EXPECT_TRUE(footer.cancelButton()->isHidden());
    EXPECT_EQ(footer.saveButton()->text(), QStringLiteral("Close"));
    footer.saveButton()->click();
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(footer.saveButton()->size(), QSize(112, 24));
}

TEST(CardScrollArea, OverlayShowsOnlyForTallContentAndFollowsTheArea)
{
    QWidget window;
    auto* area = new CardScrollArea(&window);
    area->setGeometry(0, 0, 620, 300);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    auto* row = new QWidget;
    row->setFixedHeight(100);
    column->addWidget(row);
    area->setWidget(content);
    window.resize(620, 300);
    window.show();
    QScrollBar* overlay = area->overlayScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return content->height() == 300; })) << content->height();
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), QRect(620 - 11, 0, 7, 300));

    for (int i = 0; i < 8; ++i) {
        auto* more = new QWidget;
        more->setFixedHeight(100);
        column->addWidget(more);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->isVisible(); }));
    EXPECT_EQ(overlay->maximum(), area->verticalScrollBar()->maximum());
    EXPECT_GT(overlay->maximum(), 0);
    overlay->setValue(120);
    EXPECT_EQ(area->verticalScrollBar()->value(), 120);
    area->verticalScrollBar()->setValue(40);
    EXPECT_EQ(overlay->value(), 40);
}

TEST(CardSection, UntitledSectionHasNoLabel)
{
    CardSection untitled{QString()};
    EXPECT_EQ(untitled.titleLabel(), nullptr);
    EXPECT_TRUE(untitled.findChildren<QLabel*>().isEmpty());
    CardSection titled(QStringLiteral("Video"));
    ASSERT_NE(titled.titleLabel(), nullptr);
    EXPECT_EQ(titled.titleLabel()->pos(), QPoint(30, 11));
    EXPECT_EQ(titled.height(), 47);
}

} // namespace
