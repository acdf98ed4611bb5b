#include "kit/branding/BrandingSettings.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class Branding : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("settings.ini"));
        BrandingSettings::setSettingsPathForTesting(path);
        brandingAccentColour() = QColor(100, 100, 100);
    }
    void TearDown() override { BrandingSettings::setSettingsPathForTesting(QString()); }

    // A fresh file each time: QSettings caches an INI file by path and modification time.
    void write(const QByteArray& content)
    {
        path = dir.filePath(QStringLiteral("settings-%1.ini").arg(++files));
        BrandingSettings::setSettingsPathForTesting(path);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QTemporaryDir dir;
    QString path;
    int files = 0;
};

void expectDefaults(const BrandingSettings& b)
{
    EXPECT_EQ(b.appName, "Brelvan Setup");
    EXPECT_EQ(b.fullAppName, "Tarnwright Brelvan Setup");
    EXPECT_EQ(b.product, "Brelvan");
    EXPECT_EQ(b.productSingular, "Brelvan");
    EXPECT_EQ(b.pluginProduct, "Brelvan");
    EXPECT_EQ(b.noDeviceImage, ":/NoDevice");
    EXPECT_EQ(b.badInstallImage, ":/BadInstall");
    EXPECT_EQ(b.releaseVersion, "0.0");
    EXPECT_EQ(b.releaseYear, QString::number(QDate::currentDate().year()));
    EXPECT_TRUE(b.aboutIconPath.isEmpty());
    EXPECT_TRUE(b.noDeviceHeader.isEmpty());
    EXPECT_FALSE(b.forceSingleWindow);
    EXPECT_FALSE(b.useAnNotA);
    EXPECT_EQ(brandingAccentColour(), QColor(100, 100, 100));
}

} // namespace

TEST_F(Branding, FilesWithoutAProductKeepEveryDefault)
{
    const QByteArray cases[] = {
        QByteArray(),                                              // empty
        "[tarnwrightworks.devicesetup]\naccent=#123456\n",         // no product
        "[other.group]\nproduct=Widget\n",                         // wrong group
        "\x00\xff\xfe garbage [[[ = = \n product\n",               // malformed
    };
    for (const QByteArray& content : cases) {
        write(content);
        BrandingSettings b;
        EXPECT_FALSE(b.readIni());
        expectDefaults(b);
    }
    QFile::remove(path);
    BrandingSettings missing;
    EXPECT_FALSE(missing.readIni());
    expectDefaults(missing);
}

TEST_F(Branding, UnreadableFileKeepsDefaults)
{
    // A folder where the file should be cannot be read as one, even by root.
    path = dir.filePath(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir().mkpath(path));
    BrandingSettings::setSettingsPathForTesting(path);
    BrandingSettings b;
    EXPECT_FALSE(b.readIni());
    expectDefaults(b);
}

TEST_F(Branding, AProductWordAloneComposesTheNames)
{
    write("[tarnwrightworks.devicesetup]\nproduct=Widget\n");
    BrandingSettings b;
    ASSERT_TRUE(b.readIni());
    EXPECT_EQ(b.appName, "Widget Setup");
    EXPECT_EQ(b.fullAppName, "Tarnwright Widget Setup");
    EXPECT_EQ(b.product, "Widget");
    EXPECT_EQ(b.productSingular, "Widget");
    EXPECT_EQ(b.pluginProduct, "Widget");
    EXPECT_EQ(brandingAccentColour(), QColor(255, 255, 255));
    EXPECT_EQ(b.releaseVersion, "0.0");
    EXPECT_EQ(b.noDeviceHeader, "No Device found");
    EXPECT_EQ(b.badInstallHeader, "The software is not compatible");
    EXPECT_EQ(b.noDeviceImage, ":/NoDevice");
    EXPECT_EQ(b.aboutIconPath, dir.path() + "/");
    EXPECT_TRUE(b.forceSingleWindow);
    EXPECT_FALSE(b.pluginInsideBundle);
    EXPECT_FALSE(b.useAnNotA);
}

TEST_F(Branding, NameCompositionTable)
{
    struct Case {
        const char* lines;
        const char* app;
        const char* full;
    } cases[] = {
        {"utility_suffix=\n", "Widget", "Tarnwright Widget"},
        {"utility_prefix=\n", "Widget Setup", "Widget Setup"},
        {"utility_prefix=Acme\nutility_suffix=Tool\n", "Widget Tool", "Acme Widget Tool"},
        {"app_name=My App\n", "My App", "Tarnwright My App"},
        {"app_name=My App\nfull_app_name=The Full App\n", "My App", "The Full App"},
    };
    for (const Case& c : cases) {
        write(QByteArray("[tarnwrightworks.devicesetup]\nproduct=Widget\n") + c.lines);
        BrandingSettings b;
        ASSERT_TRUE(b.readIni());
        EXPECT_EQ(b.appName, c.app) << c.lines;
        EXPECT_EQ(b.fullAppName, c.full) << c.lines;
    }
}

TEST_F(Branding, BuildStringBetaSuffixTable)
{
    struct Case {
        const char* build;
        const char* version;
    } cases[] = {
        {"b1", "2.5 Beta"}, {"b7", "2.5 Beta 7"}, {"b12x", "2.5 Beta 12"}, {"b", "2.5"},
        {"b0", "2.5"},      {"bx", "2.5"},        {"r3", "2.5"},           {"", "2.5"},
    };
    for (const Case& c : cases) {
        write(QByteArray("[tarnwrightworks.devicesetup]\nproduct=W\nrelease_version=2.5\nbuild_string=") + c.build
              + "\n");
        BrandingSettings b;
        ASSERT_TRUE(b.readIni());
        EXPECT_EQ(b.releaseVersion, c.version) << c.build;
    }
}

TEST_F(Branding, AccentPlaceholderAndImagesAndFlags)
{
    write("[tarnwrightworks.devicesetup]\n"
          "product=Widget\nproduct_singular=Gadget\naccent=#ff8000\n"
          "no_device_message=\"<a style='color:%accent_colour%'>x</a> and %accent_colour%\"\n"
          "bad_install_message=%accent_colour%\n"
          "no_device=none.png\nabout_icon=about.png\nno_device_header=Nothing here\n"
          "use_an_not_a=1\nplugin_inside_bundle=true\nforce_single_window=0\nrelease_year=1999\n");
    BrandingSettings b;
    ASSERT_TRUE(b.readIni());
    EXPECT_EQ(b.noDeviceMessage, "<a style='color:#ff8000'>x</a> and #ff8000");
    EXPECT_EQ(b.badInstallMessage, "#ff8000");
    EXPECT_EQ(b.noDeviceImage, dir.path() + "/none.png");
    EXPECT_EQ(b.aboutIconPath, dir.path() + "/about.png");
    EXPECT_EQ(b.noDeviceHeader, "Nothing here");
    EXPECT_EQ(b.productSingular, "Gadget");
    EXPECT_EQ(b.pluginProduct, "Widget");
    EXPECT_TRUE(b.useAnNotA);
    EXPECT_TRUE(b.pluginInsideBundle);
    EXPECT_FALSE(b.forceSingleWindow);
    EXPECT_EQ(b.releaseYear, "1999");
}

TEST_F(Branding, KeysMatchCaseInsensitivelyAndCommasSurvive)
{
    write("[TarnwrightWorks.DeviceSetup]\nProduct=Widget\nAPP_NAME=Big, Bold App\n"
          "No_Device_Message=Plug it in, then wait.\n");
    BrandingSettings b;
    ASSERT_TRUE(b.readIni());
    EXPECT_EQ(b.product, "Widget");
    EXPECT_EQ(b.appName, "Big, Bold App");
    EXPECT_EQ(b.noDeviceMessage, "Plug it in, then wait.");
}

TEST_F(Branding, UnparsableAccentGivesAnInvalidColour)
{
    write("[tarnwrightworks.devicesetup]\nproduct=Widget\naccent=notacolour\n");
    BrandingSettings b;
    ASSERT_TRUE(b.readIni());
    EXPECT_FALSE(brandingAccentColour().isValid());
}

TEST_F(Branding, TranslatedAccessorsKeepNonAsciiText)
{
    write("[tarnwrightworks.devicesetup]\nproduct=Widget\nno_device_header=Aucun appareil trouv\xc3\xa9\n");
    ASSERT_TRUE(brandingSettings());
    EXPECT_EQ(brandingNoDeviceHeader(), QString::fromUtf8("Aucun appareil trouv\xc3\xa9"));
    EXPECT_EQ(brandingBadInstallHeader(), "The software is not compatible");
}
