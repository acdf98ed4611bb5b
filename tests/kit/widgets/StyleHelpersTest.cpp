#include "kit/widgets/StyleHelpers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {

TEST(ColourText, HexAndRgba)
{
    struct Row {
        QColor colour;
        const char* hex;
        const char* rgba150;
    };
    const Row rows[] = {
        {QColor(0, 10, 255), "#000aff", "rgba(0, 10, 255, 150)"},
        {QColor(208, 208, 208), "#d0d0d0", "rgba(208, 208, 208, 150)"},
        {QColor(0, 0, 0, 20), "#000000", "rgba(0, 0, 0, 150)"}, // own alpha ignored
        {QColor(254, 167, 1), "#fea701", "rgba(254, 167, 1, 150)"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(colourToHex(row.colour), QString::fromLatin1(row.hex));
        EXPECT_EQ(colourToRgba(row.colour, 150), QString::fromLatin1(row.rgba150));
    }
}

TEST(KitFont, TableResolvesToOpenSansFacesAndPixelSizes)
{
    struct Row {
        int index;
        const char* family;
        int size;
        int weight;
    };
    const Row rows[] = {
        {0, "TWG Open Sans Light", 30, 25},     {1, "TWG Open Sans", 15, 50},
        {2, "TWG Open Sans Semibold", 15, 63},  {3, "TWG Open Sans", 13, 50},
        {4, "TWG Open Sans Semibold", 13, 63},  {5, "TWG Open Sans", 11, 50},
        {6, "TWG Open Sans Semibold", 11, 63},  {7, "TWG Open Sans", 12, 50},
        {8, "TWG Open Sans Semibold", 12, 63},  {11, "TWG Open Sans Light", 21, 25},
        {12, "TWG Open Sans Semibold", 18, 63}, {13, "TWG Open Sans Semibold", 26, 63},
        {9, "Times", 24, 75},                   {10, "Times", 24, 75},
        {14, "Times", 24, 75},                  {-1, "Times", 24, 75},
    };
    const qreal dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index);
        const KitFontSpec spec = kitFontSpec(row.index);
        EXPECT_EQ(spec.family, QString::fromLatin1(row.family));
        EXPECT_EQ(spec.size, row.size);
        EXPECT_EQ(spec.weight, row.weight);

        const QFont font = kitFont(row.index);
        EXPECT_EQ(font.family(), spec.family);
        EXPECT_EQ(font.weight(), row.weight);
        EXPECT_DOUBLE_EQ(font.pointSizeF(), row.size * 72.0 / dpi);
        const QFontInfo info(font);
        EXPECT_NEAR(info.pixelSize(), row.size, 1);
        if (spec.family.startsWith(QLatin1String("TWG"))) {
            EXPECT_TRUE(info.family().startsWith(QLatin1String("Open Sans"))) << info.family().toStdString();
            // The light and semibold families must reach their own faces, not the regular one.
            if (row.weight == 25) {
                EXPECT_LT(info.weight(), 50);
            } else if (row.weight == 63) {
                EXPECT_GT(info.weight(), 50);
            } else {
                EXPECT_EQ(info.weight(), 50);
            }
        }
    }
}

TEST(Scaling, DownAndUpRoundedHalfUp)
{
    EXPECT_DOUBLE_EQ(scaleDown(1234, 2), 12.34);
    EXPECT_DOUBLE_EQ(scaleDown(-7, 1), -0.7);
    EXPECT_DOUBLE_EQ(scaleDown(42, 0), 42.0);
    struct Row {
        double value;
        int decimals;
        int expected;
    };
    const Row rows[] = {
        {2.5, 0, 3},   {-2.5, 0, -2}, {-2.51, 0, -3}, {-1.5, 1, -15},
        {-0.49, 0, 0}, {12.34, 2, 1234}, {-12.34, 2, -1234}, {0.25, 1, 3},
    };
    for (const Row& row : rows)
        EXPECT_EQ(scaleUpRounded(row.value, row.decimals), row.expected) << row.value;
}

TEST(Utf8, DeviceTexts)
{
    EXPECT_EQ(utf8ToQString("Caf\xc3\xa9"), QString::fromUtf8("Caf\xc3\xa9"));
    EXPECT_EQ(utf8ToQString(std::string("Mini\xe2\x80\x93" "4K")), QString::fromUtf8("Mini\xe2\x80\x93" "4K"));
    const char padded[8] = {'A', 'B', 'C', 0, 0, 0, 0, 0};
    EXPECT_EQ(utf8ToQString(padded, sizeof padded), QStringLiteral("ABC"));
    const char full[3] = {'X', 'Y', 'Z'}; // no terminator within the buffer
    EXPECT_EQ(utf8ToQString(full, sizeof full), QStringLiteral("XYZ"));
    EXPECT_TRUE(utf8ToQString(nullptr).isEmpty());
}

TEST(FadedPixmap, OpacityPerStateKeepsSizeAndRatio)
{
    QPixmap source(8, 6);
    source.fill(QColor(200, 0, 0));
    source.setDevicePixelRatio(2.0);
    const struct {
        int state;
        double opacity;
    } rows[] = {{0, 0.3}, {1, 1.0}, {2, 0.75}, {3, 0.4}, {4, 0.0}, {-1, 0.0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.state);
        const QPixmap faded = fadedPixmap(source, row.state);
        EXPECT_EQ(faded.size(), source.size());
        EXPECT_EQ(faded.devicePixelRatio(), 2.0);
        const QImage image = faded.toImage();
        EXPECT_NEAR(qAlpha(image.pixel(0, 0)), row.opacity * 255, 2);
        EXPECT_NEAR(qAlpha(image.pixel(7, 5)), row.opacity * 255, 2);
    }
}

TEST(Artwork, EveryNamedImageExists)
{
    QStringList names = {
        "BadInstall", "Busy_Close", "Card_Connection_Both", "Card_Connection_Network",
        "Card_Connection_USB", "Cross", "Cross_Hover", "Dot_Off", "Dot_On", "Field_Icon_Alert",
        "Field_Icon_OK", "Gallery", "GalleryHover", "HD_To_SDAnamorphic", "HD_To_SDCenterCut",
        "HD_To_SDLetterbox", "Launcher_Connection_Both", "Launcher_Connection_Network",
        "Launcher_Connection_USB", "LeftArrow", "LeftArrow_Hover", "Link", "Link_Disabled", "List",
        "ListHover", "Logo", "NoDevice", "Refresh", "RightArrow", "RightArrow_Hover", "Settings",
        "Settings_Disabled", "Settings_Push", "Setup", "Setup_Hover", "Tick", "Unlink",
        "Unlink_Disabled", "Checkbox", "Checkbox_Active", "Checkbox_Active_Disabled",
        "Checkbox_Disabled", "Checkbox_Hover", "Radio", "Radio_Active", "Radio_Active_Disabled",
        "Radio_Disabled", "Radio_Hover", "Dropdown_Arrow", "Dropdown_Arrow_Disabled"};
    for (int frame = 1; frame <= 12; ++frame)
        names << QStringLiteral("Busy_Frame_%1").arg(frame);
    for (const QString& name : names)
        EXPECT_FALSE(loadIconPixmap(":/" + name).isNull()) << name.toStdString();
    EXPECT_TRUE(loadIconPixmap(QStringLiteral(":/NoSuchImage")).isNull());
    EXPECT_EQ(loadIconPixmap(QStringLiteral(":/NoDevice")).size(), QSize(400, 360));
    EXPECT_EQ(loadIconPixmap(QStringLiteral(":/BadInstall")).size(), QSize(400, 360));
}

TEST(Artwork, FontsAreEmbeddedNotBorrowedFromTheSystem)
{
    // A computer without Open Sans installed still gets the kit's faces.
    for (const char* face : {":/OpenSans-Light", ":/OpenSans-Regular", ":/OpenSans-Semibold"}) {
        QFile file(QString::fromLatin1(face));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << face;
        const int id = QFontDatabase::addApplicationFontFromData(file.readAll());
        ASSERT_GE(id, 0) << face;
        EXPECT_TRUE(QFontDatabase::applicationFontFamilies(id).first().startsWith(QLatin1String("Open Sans")))
            << face;
        QFontDatabase::removeApplicationFont(id);
    }
}

} // namespace
