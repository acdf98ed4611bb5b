#include "kit/branding/BrandingSettings.h"

BrandingSettings& BrandingSettings::instance()
{
    static BrandingSettings settings;
    return settings;
}

BrandingSettings::BrandingSettings() {}

bool BrandingSettings::readIni()
{
    return false;
}

QColor& brandingAccentColour()
{
    static QColor accent(100, 100, 100);
    return accent;
}
