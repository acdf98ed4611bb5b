#include "tests/plugins/scripted/ScriptedAutomation.h"

#include "kit/framework/FirmwareUpdateController.h"
#include "kit/framework/SettingsTab.h"
#include "tests/plugins/scripted/ScriptedDevice.h"
#include "tests/plugins/scripted/ScriptedFamily.h"
#include "tests/plugins/scripted/ScriptedLog.h"
#include "tests/plugins/scripted/ScriptedProductCard.h"
#include "tests/plugins/scripted/ScriptedSettingsPage.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace {
constexpr int kDefaultDelayMs = 500;
constexpr int kSettleMs = 300;
constexpr int kProgressMs = 350;
constexpr int kExitGrabFailed = 3;
constexpr int kExitNothingToShow = 4;

// The host's widgets are found by class name: the host has a kit of its own, so its classes
// cannot be cast to here.
QWidget* hostWidgetOfClass(QWidget* window, const char* className, const char* parentClassName)
{
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (widget->inherits(className) && widget->parentWidget() && widget->parentWidget()->inherits(parentClassName))
            return widget;
    }
    return nullptr;
}

QAction* aboutAction(QWidget* window)
{
    auto* bar = window->findChild<QMenuBar*>();
    if (!bar)
        return nullptr;
    const QList<QAction*> menus = bar->actions();
    for (QAction* menuAction : menus) {
        if (!menuAction->menu())
            continue;
        const QList<QAction*> actions = menuAction->menu()->actions();
        for (QAction* action : actions) {
            if (action->text().startsWith(QLatin1String("About")))
                return action;
        }
    }
    return nullptr;
}
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

QWidget* ScriptedAutomation::hostWindow() const
{
    return family_->window() ? family_->window()->window() : nullptr;
}

void ScriptedAutomation::act()
{
    if (shot_ == QLatin1String("gallery")) {
        grabAndQuit();
        return;
    }
    if (shot_ == QLatin1String("about") || shot_ == QLatin1String("build-details")) {
        openHostDialog();
        return;
    }
    const QVector<ScriptedDevice*>& devices = family_->devices();
    ScriptedDevice* target = nullptr;
    const bool wantsUpdate = shot_.startsWith(QLatin1String("update")) || shot_ == QLatin1String("unplugged");
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
    } else if (card && shot_ == QLatin1String("unplugged")) {
        // Unplugged in the middle of its update.
        card->controller()->onAcceptClicked();
        QTimer::singleShot(kProgressMs, this, [this, target] { family_->unplug(target); });
        settle += kProgressMs;
    } else if (card && shot_ == QLatin1String("demo-tab") && card->settingsPage()) {
        const int demo = card->settingsPage()->demoTabIndex();
        if (demo < 0) {
            qCWarning(lcScripted) << "The demonstration tab is not built in";
            QCoreApplication::exit(kExitNothingToShow);
            return;
        }
        card->settingsPage()->setCurrentTab(demo);
    }
    QTimer::singleShot(settle, this, [this] { grabAndQuit(); });
}

// The about box (Help menu) and the build details (the footer's hidden hot spot) are the host's
// modal dialogs: the picture is taken from inside their event loop.
void ScriptedAutomation::openHostDialog()
{
    QWidget* window = hostWindow();
    const bool wantsAbout = shot_ == QLatin1String("about");
    QAction* about = window && wantsAbout ? aboutAction(window) : nullptr;
    QWidget* hotSpot = window && !wantsAbout ? hostWidgetOfClass(window, "SecretButton", "FooterLeftRegion") : nullptr;
    if (!about && !hotSpot) {
        qCWarning(lcScripted) << "Nothing to open for" << shot_;
        QCoreApplication::exit(kExitNothingToShow);
        return;
    }
    QTimer::singleShot(kSettleMs, this, [this] { grabAndQuit(QApplication::activeModalWidget()); });
    if (about) {
        about->trigger();
        return;
    }
    QMouseEvent shiftDoubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                                 Qt::ShiftModifier);
    QCoreApplication::sendEvent(hotSpot, &shiftDoubleClick);
}

void ScriptedAutomation::grabAndQuit(QWidget* widget)
{
    QWidget* shown = widget ? widget : hostWindow();
    bool saved = shown && shown->grab().save(path_, "PNG");
    // The window shows only the top of the demonstration tab; its whole column goes beside it.
    if (saved && shot_ == QLatin1String("demo-tab")) {
        const auto* tab = shown->findChild<SettingsTab*>(QStringLiteral("demoSettingsTab"));
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
    // Also ends the event loop of a modal dialog that is open.
    QCoreApplication::exit(saved ? 0 : kExitGrabFailed);
}
