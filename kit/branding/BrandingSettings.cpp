#include "kit/branding/BrandingSettings.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace {

const char kGroup[] = "tarnwrightworks.devicesetup";
const char kAccentPlaceholder[] = "%accent_colour%";

QString& testPath()
{
    static QString path;
    return path;
}

QString hexText(const QColor& c)
{
    return QStringLiteral("#%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'));
}

// The group's keys, matched case-insensitively: branding files written for the original
// platform may rely on that.
class IniGroup {
public:
    explicit IniGroup(const QString& path)
    {
        if (!QFileInfo(path).isReadable())
            return;
        QSettings ini(path, QSettings::IniFormat);
        ini.setIniCodec("UTF-8");
        if (ini.status() != QSettings::NoError)
            return;
        const QStringList groups = ini.childGroups();
        for (const QString& g : groups) {
            if (g.compare(QLatin1String(kGroup), Qt::CaseInsensitive) != 0)
                continue;
            ini.beginGroup(g);
            const QStringList keys = ini.childKeys();
            for (const QString& k : keys)
                values_.insert(k.toLower(), ini.value(k));
            ini.endGroup();
        }
    }

    QString text(const char* key, const QString& fallback) const
    {
        auto it = values_.constFind(QLatin1String(key));
        if (it == values_.constEnd())
            return fallback;
        // An unquoted comma makes the INI reader split the value into a list.
        if (it->type() == QVariant::StringList)
            return it->toStringList().join(QStringLiteral(", "));
        return it->toString();
    }

private:
    QHash<QString, QVariant> values_;
};

// " Beta" for b1, " Beta N" for bN with N > 1, nothing otherwise.
QString betaSuffix(const QString& buildString)
{
    if (buildString.size() < 2 || buildString.at(0) != QLatin1Char('b'))
        return QString();
    qint64 n = 0;
    for (int i = 1; i < buildString.size() && buildString.at(i).isDigit() && n < 1000000000; ++i)
        n = n * 10 + buildString.at(i).digitValue();
    if (n == 1)
        return QStringLiteral(" Beta");
    if (n > 1)
        return QStringLiteral(" Beta %1").arg(n);
    return QString();
}

// Branding texts pass through translation. Keyed by their UTF-8 bytes so that an untranslated
// text comes back unchanged, accented letters included.
QString translated(const QString& text)
{
    return QObject::tr(text.toUtf8().constData());
}

} // namespace

BrandingSettings& BrandingSettings::instance()
{
    static BrandingSettings settings;
    return settings;
}

BrandingSettings::BrandingSettings()
    : appName(QStringLiteral("Brelvan Setup")),
      fullAppName(QStringLiteral("Tarnwright Brelvan Setup")),
      product(QStringLiteral("Brelvan")),
      productSingular(product),
      pluginProduct(product),
      noDeviceImage(QStringLiteral(":/NoDevice")),
      badInstallImage(QStringLiteral(":/BadInstall")),
      releaseVersion(QStringLiteral("0.0")),
      releaseYear(QString::number(QDate::currentDate().year()))
{
}

QString BrandingSettings::programDirectory()
{
    QFileInfo exe(QStringLiteral("/proc/self/exe"));
    return exe.canonicalFilePath().isEmpty() ? QDir::currentPath() : QFileInfo(exe.canonicalFilePath()).absolutePath();
}

QString BrandingSettings::settingsPath()
{
    if (!testPath().isEmpty())
        return testPath();
    return programDirectory() + QLatin1Char('/') + QStringLiteral("Resources") + QLatin1Char('/')
           + QStringLiteral("settings.ini");
}

void BrandingSettings::setSettingsPathForTesting(const QString& path)
{
    testPath() = path;
}

bool BrandingSettings::readIni()
{
    const QString path = settingsPath();
    const IniGroup ini(path);
    const QString resources = QFileInfo(path).absolutePath();

    const QString productValue = ini.text("product", QString());
    const QString singular = ini.text("product_singular", productValue);
    const QString plugin = ini.text("plugin_product", productValue);
    const QString prefix = ini.text("utility_prefix", QStringLiteral("Tarnwright"));
    const QString suffix = ini.text("utility_suffix", QStringLiteral("Setup"));
    const QString app = ini.text("app_name", QString());
    const QString fullApp = ini.text("full_app_name", QString());
    if (productValue.isEmpty())
        return false;

    product = productValue;
    productSingular = singular;
    pluginProduct = plugin;

    if (!app.isEmpty())
        appName = app;
    else if (!suffix.isEmpty())
        appName = QObject::tr("%1 %2").arg(productValue, suffix);
    else
        appName = productValue;

    if (!fullApp.isEmpty())
        fullAppName = fullApp;
    else if (!prefix.isEmpty())
        fullAppName = QObject::tr("%1 %2").arg(prefix, appName);
    else
        fullAppName = appName;

    const QString accent = ini.text("accent", QStringLiteral("#ffffff"));
    if (!accent.isEmpty())
        brandingAccentColour() = QColor(accent);

    aboutIconPath = resources + QLatin1Char('/') + ini.text("about_icon", QString());
    const QString noDevice = ini.text("no_device", QString());
    if (!noDevice.isEmpty())
        noDeviceImage = resources + QLatin1Char('/') + noDevice;

    const QString accentHex = hexText(brandingAccentColour());
    noDeviceMessage = ini.text("no_device_message", QString()).replace(QLatin1String(kAccentPlaceholder), accentHex);
    badInstallMessage =
        ini.text("bad_install_message", QString()).replace(QLatin1String(kAccentPlaceholder), accentHex);
    noDeviceHeader = ini.text("no_device_header", QStringLiteral("No Device found"));
    badInstallHeader = ini.text("bad_install_header", QStringLiteral("The software is not compatible"));

    forceSingleWindow = QVariant(ini.text("force_single_window", QStringLiteral("1"))).toBool();
    releaseVersion = ini.text("release_version", QStringLiteral("0.0")) + betaSuffix(ini.text("build_string", QString()));
    releaseYear = ini.text("release_year", QString::number(QDate::currentDate().year()));
    pluginInsideBundle = QVariant(ini.text("plugin_inside_bundle", QStringLiteral("0"))).toBool();
    useAnNotA = QVariant(ini.text("use_an_not_a", QStringLiteral("0"))).toBool();
    return true;
}

QColor& brandingAccentColour()
{
    static QColor accent(100, 100, 100, 255);
    return accent;
}

bool brandingSettings()
{
    return BrandingSettings::instance().readIni();
}

QString brandingNoDeviceMessage()
{
    return translated(BrandingSettings::instance().noDeviceMessage);
}

QString brandingNoDeviceHeader()
{
    return translated(BrandingSettings::instance().noDeviceHeader);
}

QString brandingBadInstallMessage()
{
    return translated(BrandingSettings::instance().badInstallMessage);
}

QString brandingBadInstallHeader()
{
    return translated(BrandingSettings::instance().badInstallHeader);
}
