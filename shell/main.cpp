#include "kit/branding/BrandingSettings.h"
#include "shell/BadInstallDialog.h"
#include "shell/NetworkDiscoveryFactory.h"
#include "shell/PluginLoader.h"
#include "shell/ShellBranding.h"
#include "shell/SingleApplication.h"
#include "shell/VantorelWindow.h"

#include <QStyleFactory>

#include <memory>

namespace {
const char kInstanceKeyPrefix[] = "3F9A61D0C27E4B85A1D6E09B7C42F5A8";
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    brandingSettings();
    const QString key = QLatin1String(kInstanceKeyPrefix) + brandingAppName();

    SingleApplication app(argc, argv, key);
    if (app.isSecondInstance())
        return 0;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    const QStringList directories = pluginDirectories();
    auto* window = new VantorelWindow(std::make_unique<NetworkDiscoveryFactory>());
    app.setActivationWindow(window);

    PluginLoader loader(window, [window](Family* family) { window->addFamily(family); });
    loader.bind(directories);
    if (window->families().isEmpty()) {
        new BadInstallDialog(window, QStringLiteral("Bad Install"),
                             QStringLiteral("Your software installation has become corrupted and is missing some "
                                            "components."),
                             QStringLiteral("Close"));
    }

    window->show();
    const int result = app.exec();
    delete window;
    return result;
}
