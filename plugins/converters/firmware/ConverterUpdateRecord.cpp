#include "plugins/converters/firmware/ConverterUpdateRecord.h"

#include "kit/branding/BrandingSettings.h"

#include <QSettings>

namespace {

QSettings programSettings()
{
    return QSettings(QString::fromLatin1(kBrandingOrganisation), BrandingSettings::instance().appName);
}

} // namespace

namespace ConverterUpdateRecord {

QString keyFor(std::uint16_t productId)
{
    return QStringLiteral("ConverterUpdatesUnderWay/product-%1").arg(productId, 4, 16, QLatin1Char('0'));
}

bool markUnderWay(std::uint16_t productId)
{
    QSettings settings = programSettings();
    settings.setValue(keyFor(productId), true);
    // On disk before the device is touched, so a crash cannot lose it.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void clear(std::uint16_t productId)
{
    QSettings settings = programSettings();
    settings.remove(keyFor(productId));
    settings.sync();
}

bool isUnderWay(std::uint16_t productId)
{
    return programSettings().value(keyFor(productId), false).toBool();
}

} // namespace ConverterUpdateRecord
