// "settings.ini" read into the branding record, then the texts the program shows from it.
#include "FuzzSupport.h"

#include "kit/branding/BrandingSettings.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    fuzzsupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BrandingSettings::setSettingsPathForTesting(
        fuzzsupport::writeInput(QStringLiteral("settings.ini"), data, size));
    BrandingSettings::instance() = BrandingSettings();
    if (!brandingSettings())
        return 0;
    volatile int total = brandingNoDeviceMessage().size() + brandingNoDeviceHeader().size()
                         + brandingBadInstallMessage().size() + brandingBadInstallHeader().size();
    (void)total;
    return 0;
}
