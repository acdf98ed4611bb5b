#include "kit/framework/ProductCard.h"
#include "kit/framework/StatusPage.h"
#include "kit/widgets/card/CardHeader.h"
#include "tests/kit/framework/FakeDevice.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QStackedWidget>
#include <QTest>

namespace {

TEST(ProductCard, CoversItsWindowAndKeepsTheBodyCentredWhileTheWindowResizes)
{
    QWidget window;
    auto* inner = new QWidget(&window);
    window.resize(1000, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    FakeDevice device;
    // Built on a widget inside the window, the card still goes on the window itself.
    auto* card = new ProductCard(&device, inner, Qt::red);
    card->show();
    EXPECT_EQ(card->parentWidget(), &window);
    EXPECT_EQ(card->geometry(), QRect(0, 0, 1000, 700));
    EXPECT_EQ(card->body()->geometry(), QRect(190, 20, 620, 660));

    window.resize(800, 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->geometry() == QRect(0, 0, 800, 500); }));
    EXPECT_EQ(card->body()->geometry(), QRect(90, 20, 620, 460));
    EXPECT_EQ(window.size(), QSize(800, 500)); // the window still got its resize

    // The header sits on top of the body, the page stack fills the rest.
    EXPECT_EQ(card->header()->geometry(), QRect(0, 0, 620, 100));
    EXPECT_EQ(card->pages()->geometry(), QRect(0, 100, 620, 360));

    auto* page = new StatusPage;
    auto* other = new StatusPage;
    card->addPage(page);
    card->addPage(other);
    card->showPage(other);
    EXPECT_EQ(card->pages()->currentWidget(), other);

    QPointer<ProductCard> alive(card);
    QPointer<StatusPage> pageAlive(page);
    card->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }));
    EXPECT_TRUE(pageAlive.isNull());
}

} // namespace
