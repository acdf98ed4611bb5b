#include "tests/plugins/scripted/ScriptedAutomation.h"

#include "kit/framework/FirmwareUpdateController.h"
#include "kit/framework/SettingsTab.h"
#include "tests/plugins/scripted/ScriptedDevice.h"
#include "tests/plugins/scripted/ScriptedFamily.h"
#include "tests/plugins/scripted/ScriptedLog.h"
#include "tests/plugins/scripted/ScriptedProductCard.h"
#include "tests/plugins/scripted/ScriptedSettingsPage.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace {
constexpr int kDefaultDelayMs = 500;
constexpr int kSettleMs = 300;
constexpr int kProgressMs = 350;
constexpr int kExitGrabFailed = 3;
constexpr int kExitNothingToShow = 4;
} // namespace

void ScriptedAutomation::startFromEnvironment(ScriptedFamily* family)
{
    const QString path = qEnvironmentVariable("TWG_SCRIPTED_SHOT_PATH");
    if (path.isEmpty())
        return;
    const QString shot = qEnvironmentVariable("TWG_SCRIPTED_SHOT", QStringLiteral("gallery"));
    auto* automation = new ScriptedAutomation(family, shot, path);
    bool ok = false;
    const int delay = qEnvironmentVariableIntValue("TWG_SCRIPTED_SHOT_DELAY_MS", &ok);
    QTimer::singleShot(ok ? delay : kDefaultDelayMs, automation, &ScriptedAutomation::act);
}

ScriptedAutomation::ScriptedAutomation(ScriptedFamily* family, const QString& shot, const QString& path)
    : QObject(family), family_(family), shot_(shot), path_(path)
{
}

void ScriptedAutomation::act()
{
    if (shot_ == QLatin1String("gallery")) {
        grabAndQuit();
        return;
    }
    const QVector<ScriptedDevice*>& devices = family_->devices();
    ScriptedDevice* target = nullptr;
    const bool wantsUpdate = shot_.startsWith(QLatin1String("update"));
    for (ScriptedDevice* device : devices) {
        if (device->isFirmwareUpdateAvailable() == wantsUpdate) {
            target = device;
            break;
        }
    }
    if (!target) {
        qCWarning(lcScripted) << "Nothing to show for" << shot_;
        QCoreApplication::exit(kExitNothingToShow);
        return;
    }
    family_->showDevice(target);
    ScriptedProductCard* card = family_->openCard();
    int settle = kSettleMs;
    if (card && shot_ == QLatin1String("update-progress")) {
        card->controller()->onAcceptClicked();
        settle = kProgressMs;
    } else if (card && shot_ == QLatin1String("demo-tab") && card->settingsPage()) {
        const int demo = card->settingsPage()->demoTabIndex();
        if (demo < 0) {
            qCWarning(lcScripted) << "The demonstration tab is not built in";
            QCoreApplication::exit(kExitNothingToShow);
            return;
        }
        card->settingsPage()->setCurrentTab(demo);
    }
    QTimer::singleShot(settle, this, &ScriptedAutomation::grabAndQuit);
}

void ScriptedAutomation::grabAndQuit()
{
    QWidget* window = family_->window() ? family_->window()->window() : nullptr;
    bool saved = window && window->grab().save(path_, "PNG");
    // The window shows only the top of the demonstration tab; its whole column goes beside it.
    if (saved && shot_ == QLatin1String("demo-tab")) {
        const auto* tab = window->findChild<SettingsTab*>(QStringLiteral("demoSettingsTab"));
        QString columnPath = path_;
        if (columnPath.endsWith(QLatin1String(".png")))
            columnPath.chop(4);
        columnPath += QLatin1String("-column.png");
        saved = tab && tab->content()->grab().save(columnPath, "PNG");
    }
    if (saved)
        qCInfo(lcScripted) << "Saved" << path_;
    else
        qCWarning(lcScripted) << "Could not save" << path_;
    QCoreApplication::exit(saved ? 0 : kExitGrabFailed);
}
