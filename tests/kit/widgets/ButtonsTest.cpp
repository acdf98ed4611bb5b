#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/BusyButton.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/CustomLineEdit.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/SecretButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TestModePixmap.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

QPixmap solid(const QColor& colour, int width = 10, int height = 6)
{
    QPixmap pixmap(width, height);
    pixmap.fill(colour);
    return pixmap;
}

QRgb shown(FlatImageButton& button)
{
    return button.grab().toImage().pixel(1, 1) & 0xffffff;
}

void setHovered(QWidget& widget, bool hovered)
{
    if (hovered) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&widget, &leave);
    }
}

class FlatImageButtonTest : public ::testing::Test {
protected:
    const QColor normal{10, 0, 0}, hover{20, 0, 0}, pressed{30, 0, 0}, checked{40, 0, 0},
        disabled{50, 0, 0};
};

TEST_F(FlatImageButtonTest, PaintPrecedence)
{
    FlatImageButton button(solid(normal), nullptr);
    button.setHoverPixmap(solid(hover));
    button.setCheckedPixmap(solid(checked));
    button.setDisabledPixmap(solid(disabled));
    button.setCheckable(true);
    // Pressed has only a resource-name setter; use a real image and compare with it.
    button.setPressedImage(QStringLiteral(":/Settings_Push"));
    const QRgb pressedPixel = loadIconPixmap(QStringLiteral(":/Settings_Push")).toImage().pixel(1, 1);

    EXPECT_EQ(shown(button), normal.rgb() & 0xffffff);
    button.setChecked(true);
    EXPECT_EQ(shown(button), checked.rgb() & 0xffffff);
    setHovered(button, true);
    EXPECT_EQ(shown(button), hover.rgb() & 0xffffff); // hover beats checked
    button.setDown(true);
    EXPECT_EQ(button.currentPixmap().toImage().pixel(1, 1), pressedPixel);
    button.setDown(false);
    // A window (de)activation suppresses hover until the pointer enters again.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&button, &activate);
    EXPECT_EQ(shown(button), checked.rgb() & 0xffffff);
    setHovered(button, true);
    EXPECT_EQ(shown(button), hover.rgb() & 0xffffff);
    button.setEnabled(false);
    EXPECT_EQ(shown(button), disabled.rgb() & 0xffffff);
    button.setDisabledPixmap(QPixmap());
    EXPECT_EQ(shown(button), normal.rgb() & 0xffffff);
}

TEST_F(FlatImageButtonTest, WithoutHoverImageShowsNormalWhileHovered)
{
    FlatImageButton button(solid(normal), nullptr);
    setHovered(button, true);
    ASSERT_TRUE(button.underMouse());
    EXPECT_EQ(shown(button), normal.rgb() & 0xffffff);
}

TEST_F(FlatImageButtonTest, FixedSizeFollowsPixmapAndRatio)
{
    FlatImageButton button(solid(normal, 10, 6), nullptr);
    EXPECT_EQ(button.size(), QSize(10, 6));
    QPixmap hiDpi = solid(normal, 41, 21);
    hiDpi.setDevicePixelRatio(2.0);
    button.setPixmap(hiDpi);
    EXPECT_EQ(button.minimumSize(), QSize(21, 11)); // 20.5 and 10.5 rounded
    EXPECT_EQ(button.maximumSize(), QSize(21, 11));

    FlatImageButton missing(QStringLiteral(":/NoSuchImage"), nullptr);
    EXPECT_EQ(missing.size(), QSize(0, 0));
    missing.grab(); // nothing to draw, nothing to crash
}

TEST(BusyButtonTest, SpinsOnlyWhileBusyAndVisible)
{
    BusyButton button(nullptr);
    button.setBusy(true);
    EXPECT_FALSE(button.isSpinning()); // hidden
    button.show();
    EXPECT_TRUE(button.isSpinning());
    button.hide();
    EXPECT_FALSE(button.isSpinning());
    button.show();
    EXPECT_TRUE(button.isSpinning());
    button.setBusy(false);
    EXPECT_FALSE(button.isSpinning());
    button.hide();
    button.show();
    EXPECT_FALSE(button.isSpinning());
}

TEST(BusyButtonTest, FramesRunOneToTwelveAndAgain)
{
    BusyButton button(nullptr);
    const auto frame = [](int n) {
        return loadIconPixmap(QStringLiteral(":/Busy_Frame_%1").arg(n)).toImage();
    };
    EXPECT_EQ(button.pixmap().toImage(), frame(1));
    EXPECT_FALSE(button.hoverPixmap().isNull());
    for (int tick = 1; tick <= 12; ++tick) {
        button.updatePixmap();
        EXPECT_EQ(button.pixmap().toImage(), frame(tick)) << tick;
    }
    EXPECT_EQ(button.frame(), 0);
    button.updatePixmap();
    EXPECT_EQ(button.pixmap().toImage(), frame(1));
}

TEST(SecretButtonTest, OnlyShiftDoubleClickFires)
{
    SecretButton button(nullptr);
    button.resize(20, 20);
    QSignalSpy spy(&button, &SecretButton::secretClick);
    QTest::mouseDClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseDClick(&button, Qt::LeftButton, Qt::ControlModifier, QPoint(5, 5));
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseDClick(&button, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    EXPECT_EQ(spy.count(), 1);
}

TEST(CardPushButtonTest, StyleSheetFilledWithPaletteAndAccent)
{
    const QColor saved = brandingAccentColour();
    brandingAccentColour() = QColor(1, 2, 3);
    CardPushButton button(QStringLiteral("Save"), nullptr, 114, 28);
    brandingAccentColour() = saved;
    EXPECT_EQ(button.size(), QSize(114, 28));
    const QString style = button.styleSheet();
    EXPECT_FALSE(style.contains(QRegularExpression(QStringLiteral("%\\d"))));
    EXPECT_TRUE(style.contains(QStringLiteral("QPushButton:default {\tborder: 1px solid rgba(1, 2, 3, 180);}")));
    EXPECT_TRUE(style.contains(QStringLiteral("stop:0 rgba(241, 241, 241, 100), stop:1 rgba(208, 208, 208, 100)")));
}

TEST(CustomLineEditTest, SignalsOnlyANewText)
{
    CustomLineEdit edit;
    QSignalSpy spy(&edit, &CustomLineEdit::editingFinishedWithNewText);
    edit.setRememberedText(QStringLiteral("10"));
    edit.setText(QStringLiteral("10"));
    edit.onEdit();
    EXPECT_TRUE(edit.isEditing());
    edit.onEditFinished();
    EXPECT_FALSE(edit.isEditing());
    EXPECT_EQ(spy.count(), 0);
    edit.setText(QStringLiteral("11"));
    edit.onEditFinished();
    EXPECT_EQ(spy.count(), 1);
}

int redPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += qAlpha(p) > 128 && qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
        }
    return count;
}

TEST(TestModePixmapTest, NullSourceIsTransparentWithBanner)
{
    const TestModePixmap pixmap(QPixmap(), 400, 360, 0);
    ASSERT_EQ(pixmap.size(), QSize(400, 360));
    const QImage image = pixmap.toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(399, 359)), 0);
    EXPECT_EQ(qAlpha(image.pixel(200, 300)), 0);
    // The banner sits on the baseline at half height: red ink above it, none far below.
    EXPECT_GT(redPixels(image.copy(0, 100, 400, 80)), 200);
    EXPECT_EQ(redPixels(image.copy(0, 260, 400, 100)), 0);
}

TEST(TestModePixmapTest, BannerSizeIsLargestFittingAndNeverBelowOne)
{
    const QString text = QStringLiteral("TEST MODE");
    const auto fits = [&](int size, int width, int height) {
        QFont font(QStringLiteral("Helvetica"));
        font.setPointSize(size);
        const QFontMetrics metrics(font);
        return metrics.horizontalAdvance(text) < width && metrics.height() < height;
    };
    const int size = TestModePixmap::bannerPointSize(text, 400, 360);
    EXPECT_TRUE(fits(size, 400, 360));
    if (size < 70) {
        EXPECT_FALSE(fits(size + 1, 400, 360));
    }
    // Nothing fits a 3 x 3 image: the loop ends at 1 rather than at an invalid size.
    EXPECT_EQ(TestModePixmap::bannerPointSize(text, 3, 3), 1);
    const TestModePixmap tiny(QPixmap(), 3, 3, 0);
    EXPECT_EQ(tiny.size(), QSize(3, 3));

    QPixmap source(120, 90);
    source.fill(Qt::white);
    const TestModePixmap overSource(source, 400, 360, 0);
    EXPECT_EQ(overSource.size(), QSize(120, 90));
}

} // namespace
