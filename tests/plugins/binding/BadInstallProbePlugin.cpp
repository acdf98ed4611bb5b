// Drives the real program's bad-install path from inside it: it refuses to initialise (so no
// family is added), keeps its code loaded, and once the event loop runs prints the dialog's
// visible texts and presses its button.
#include "kit/framework/VantorelPlugin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLibrary>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

void probe(QWidget* window)
{
    std::printf("title:%s\n", qPrintable(window->windowTitle()));
    QAbstractButton* close = nullptr;
    for (QWidget* dialog : window->findChildren<QWidget*>(QStringLiteral("vantorelDialogBackground"))) {
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->isVisible() && !label->text().isEmpty())
                std::printf("label:%s\n", qPrintable(label->text()));
        }
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && !button->text().isEmpty()) {
                std::printf("button:%s\n", qPrintable(button->text()));
                close = button;
            }
        }
    }
    std::fflush(stdout);
    if (close)
        close->click();
}

} // namespace

class BadInstallProbePlugin : public QObject, public VantorelPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.BadInstallProbePlugin")
    Q_INTERFACES(VantorelPlugin)
public:
    bool initialise(QDir pluginDir, QWidget* hostWindow) override
    {
        // The host unloads a refusing library; a second reference keeps this code mapped.
        static QLibrary self(pluginDir.absoluteFilePath(QStringLiteral("libbinding_probe.so")));
        self.load();
        QTimer::singleShot(200, qApp, [hostWindow]() { probe(hostWindow); });
        return false;
    }
    const QVector<Family*>& families() override { return families_; }

private:
    QVector<Family*> families_;
};

#include "BadInstallProbePlugin.moc"
