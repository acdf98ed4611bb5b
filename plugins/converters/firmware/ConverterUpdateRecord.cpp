#include "plugins/converters/firmware/ConverterUpdateRecord.h"

#include "kit/branding/BrandingSettings.h"

#include <QSettings>
#include <QUrl>

namespace {

QSettings programSettings()
{
    return QSettings(QString::fromLatin1(kBrandingOrganisation), BrandingSettings::instance().appName);
}

QString productKey(std::uint16_t productId)
{
    return QStringLiteral("ConverterUpdatesUnderWay/product-%1").arg(productId, 4, 16, QLatin1Char('0'));
}

} // namespace

namespace ConverterUpdateRecord {

QString keyFor(std::uint16_t productId, const QString& serial)
{
    if (serial.isEmpty())
        return productKey(productId);
    // A "/" or "\" would split the key into groups: a serial is the device's text, not ours.
    return QStringLiteral("ConverterUpdatesUnderWay/serial-") + QString::fromLatin1(QUrl::toPercentEncoding(serial));
}

bool markUnderWay(std::uint16_t productId, const QString& serial)
{
    QSettings settings = programSettings();
    settings.setValue(keyFor(productId, serial), true);
    // On disk before the device is touched, so a crash cannot lose it.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void clear(std::uint16_t productId, const QString& serial)
{
    QSettings settings = programSettings();
    settings.remove(keyFor(productId, serial));
    settings.remove(productKey(productId));
    settings.sync();
}

bool isUnderWay(std::uint16_t productId, const QString& serial)
{
    const QSettings settings = programSettings();
    return settings.value(keyFor(productId, serial), false).toBool() ||
           settings.value(productKey(productId), false).toBool();
}

} // namespace ConverterUpdateRecord
