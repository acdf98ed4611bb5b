#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/card/CardHeader.h"
#include "kit/widgets/card/ElidedLabel.h"
#include "tests/kit/framework/FakeDevice.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>

namespace {

struct HeaderCase {
    const char* label;
    int iconWidth; // 0: no icon
    QString name;
    QString secondLine;
};

class CardHeaderFill : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(CardHeaderFill, PlacesIconAndSizesTextLabels)
{
    const HeaderCase& c = GetParam();
    FakeDevice device;
    device.deviceName = c.name;
    device.secondLine = c.secondLine;
    if (c.iconWidth > 0) {
        device.icon = QPixmap(c.iconWidth, 30);
        device.icon.fill(Qt::red);
    }
    CardHeader header(&device);
    ASSERT_EQ(header.size(), QSize(620, 100));
    EXPECT_EQ(header.nameLabel()->text(), c.name);
    EXPECT_EQ(header.secondLabel()->text(), c.secondLine);

    const int secondTextWidth = QFontMetrics(kitFont(1)).horizontalAdvance(c.secondLine);
    if (c.iconWidth == 0) {
        EXPECT_TRUE(header.iconLabel()->isHidden());
        EXPECT_EQ(header.nameLabel()->width(), 560);
        EXPECT_EQ(header.secondLabel()->width(), 560);
    } else {
        const int iconLabelWidth = c.iconWidth + 10;
        EXPECT_FALSE(header.iconLabel()->isHidden());
        EXPECT_EQ(header.iconLabel()->geometry().topLeft(), QPoint(620 - iconLabelWidth - 31, 35));
        EXPECT_EQ(header.iconLabel()->width(), iconLabelWidth);
        EXPECT_EQ(header.nameLabel()->width(), 620 - iconLabelWidth - 61);
        EXPECT_EQ(header.secondLabel()->width(), qMin(secondTextWidth, 318 - c.iconWidth));
    }
    EXPECT_EQ(header.nameLabel()->pos(), QPoint(29, 22));
    EXPECT_EQ(header.secondLabel()->pos(), QPoint(30, 54));

    // A name wider than its label is cut at the right and still fits.
    ElidedLabel* name = header.nameLabel();
    const QString shown = name->displayedText();
    if (name->fontMetrics().horizontalAdvance(c.name) > name->width()) {
        EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
        EXPECT_TRUE(c.name.startsWith(shown.left(shown.size() - 1)));
        EXPECT_LE(name->fontMetrics().horizontalAdvance(shown), name->width());
    } else {
        EXPECT_EQ(shown, c.name);
    }
}

const QString kLongName = QStringLiteral("Broadcast Bidirectional SDI to HDMI and Analog Converter 12G Pro");
const QString kLongSecond = QStringLiteral("Optical Fiber 12G with an extraordinarily long model description");

INSTANTIATE_TEST_SUITE_P(, CardHeaderFill,
                         ::testing::Values(HeaderCase{"NoIconShort", 0, QStringLiteral("Mini"), QStringLiteral("SDI")},
                                           HeaderCase{"NoIconLong", 0, kLongName, kLongSecond},
                                           HeaderCase{"IconShort", 40, QStringLiteral("Mini"), QStringLiteral("SDI")},
                                           HeaderCase{"IconLong", 40, kLongName, kLongSecond}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CardHeader, ShiftDoubleClickAsksForTheEasterEgg)
{
    FakeDevice device;
    CardHeader header(&device);
    int asked = 0;
    QObject::connect(&header, &CardHeader::showEasterEgg, [&] { ++asked; });
    QWidget* secret = header.childAt(610, 5);
    ASSERT_NE(secret, nullptr);
    QMouseEvent plain(QEvent::MouseButtonDblClick, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(secret, &plain);
    EXPECT_EQ(asked, 0);
    QMouseEvent shifted(QEvent::MouseButtonDblClick, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                        Qt::ShiftModifier);
    QCoreApplication::sendEvent(secret, &shifted);
    EXPECT_EQ(asked, 1);
}

} // namespace
