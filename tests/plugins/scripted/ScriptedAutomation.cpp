#include "tests/plugins/scripted/ScriptedAutomation.h"

#include "kit/framework/FirmwareUpdateController.h"
#include "kit/framework/SettingsTab.h"
#include "tests/plugins/scripted/ScriptedDevice.h"
#include "tests/plugins/scripted/ScriptedFamily.h"
#include "tests/plugins/scripted/ScriptedLog.h"
#include "tests/plugins/scripted/ScriptedNetworkFamily.h"
#include "tests/plugins/scripted/ScriptedProductCard.h"
#include "tests/plugins/scripted/ScriptedSettingsPage.h"
#include "tests/plugins/scripted/ScriptedWidgetLookup.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <string>

namespace {
constexpr int kDefaultDelayMs = 500;
constexpr int kSettleMs = 300;
constexpr int kProgressMs = 350;
constexpr int kExitGrabFailed = 3;
constexpr int kExitNothingToShow = 4;
constexpr int kExitNotReached = 5;
constexpr int kPollMs = 50;
// Long enough for the default type and a family type to fail by time-out (2000 ms each).
constexpr int kAddWaitMs = 15000;
// Well inside the host's limits for a resolve (5000 ms) and a look-up (1000 ms).
constexpr int kQuitPendingMs = 200;

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

using scriptedlookup::showsLabel;
using scriptedlookup::visibleButton;
using scriptedlookup::visibleWidgetOfClass;

// The name under the gallery's picture of the current device.
QString galleryName(QWidget* window)
{
    QWidget* gallery = visibleWidgetOfClass(window, "VisibleDevicesWidget");
    QWidget* name = gallery ? visibleWidgetOfClass(gallery, "ElidedLabel") : nullptr;
    auto* label = qobject_cast<QLabel*>(name);
    return label ? label->text() : QString();
}

// The cross menu's entries, read without popping it up.
QStringList crossMenuTexts(QWidget* window)
{
    QStringList texts;
    const QList<QMenu*> menus = window->findChildren<QMenu*>();
    for (QMenu* menu : menus) {
        if (!menu->inherits("CrossMenu"))
            continue;
        const QList<QAction*> actions = menu->actions();
        for (const QAction* action : actions)
            texts << action->text();
    }
    return texts;
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
    if (shot_.startsWith(QLatin1String("add-by-ip"))) {
        addByIp();
        return;
    }
    if (shot_ == QLatin1String("browsed")) {
        showBrowsed();
        return;
    }
    if (shot_ == QLatin1String("quit-resolving")) {
        quitResolving();
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

ScriptedNetworkFamily* ScriptedAutomation::networkFamily()
{
    auto* network = family_->window()
                        ? family_->window()->findChild<ScriptedNetworkFamily*>(QString(), Qt::FindDirectChildrenOnly)
                        : nullptr;
    if (!hostWindow() || !network) {
        qCWarning(lcScripted) << "No network family: TWG_SCRIPTED_SERVICE_TYPE is not set";
        QCoreApplication::exit(kExitNothingToShow);
        return nullptr;
    }
    return network;
}

void ScriptedAutomation::showBrowsed()
{
    const ScriptedNetworkFamily* network = networkFamily();
    if (!network)
        return;
    pollUntil([network] { return !network->devices().isEmpty(); }, QStringLiteral("a browsed device"), [this] {
        QTimer::singleShot(kSettleMs, this, [this] {
            qCInfo(lcScripted).noquote() << "Gallery shows:" << galleryName(hostWindow());
            grabAndQuit();
        });
    });
}

// The network family asks the host to resolve an instance nobody answers for; the host's next
// step, the look-up of the host name a resolve gives, is taken with a name nobody answers for
// either. The program then ends with both pending: no answer may come after that, and the end
// must be clean.
void ScriptedAutomation::quitResolving()
{
    ScriptedNetworkFamily* network = networkFamily();
    if (!network)
        return;
    BonjourInfo info;
    info.name = "Nobody";
    info.type = network->serviceType().toStdString() + '.';
    info.domain = "local.";
    const std::string hostName = "nobody.local.";
    emit network->bonjourResolveRequested(info);
    if (!QMetaObject::invokeMethod(hostWindow(), "onBonjourDeviceHaveHostName", Q_ARG(BonjourInfo, info),
                                   Q_ARG(bool, true), Q_ARG(std::string, hostName), Q_ARG(int, 0))) {
        qCWarning(lcScripted) << "The host has no look-up step to take";
        QCoreApplication::exit(kExitNothingToShow);
        return;
    }
    qCInfo(lcScripted).noquote() << "Resolving Nobody, looking up" << QString::fromStdString(hostName);
    QTimer::singleShot(kQuitPendingMs, this, [] {
        qCInfo(lcScripted) << "Quitting";
        QCoreApplication::exit(0);
    });
}

// The add-by-IP dialog opens through the window's own slot, as the gallery's link opens it: a
// grab would miss the popped-up cross menu. Its states are told by their texts.
void ScriptedAutomation::addByIp()
{
    QWidget* window = hostWindow();
    const ScriptedNetworkFamily* network = networkFamily();
    if (!network)
        return;
    qCInfo(lcScripted).noquote() << "Cross menu:" << crossMenuTexts(window).join(QStringLiteral("; "));
    QWidget* dialog = nullptr;
    if (QMetaObject::invokeMethod(window, "onAddByIpClicked"))
        dialog = visibleWidgetOfClass(window, "AddByIpAddressDialog");
    auto* field = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
    if (!field) {
        qCWarning(lcScripted) << "The add-by-IP dialog did not open";
        QCoreApplication::exit(kExitNothingToShow);
        return;
    }
    qCInfo(lcScripted) << "Add by IP dialog: input";
    const QString address = qEnvironmentVariable("TWG_SCRIPTED_ADD_ADDRESS");
    if (!address.isEmpty())
        field->setText(address);
    if (shot_ == QLatin1String("add-by-ip")) {
        QTimer::singleShot(kSettleMs, this, [this] { grabAndQuit(); });
        return;
    }
    QAbstractButton* add = visibleButton(dialog, QStringLiteral("Add"));
    if (!add || !add->isEnabled()) {
        qCWarning(lcScripted) << "Add is not offered for" << field->text();
        QCoreApplication::exit(kExitNothingToShow);
        return;
    }
    add->click();
    const QString checking = QStringLiteral("Checking address...");
    if (showsLabel(dialog, checking))
        qCInfo(lcScripted) << "Add by IP dialog: checking";
    if (shot_ == QLatin1String("add-by-ip-checking")) {
        QTimer::singleShot(kSettleMs, this, [this] { grabAndQuit(); });
        return;
    }
    // Not found: the Close button without the checking text.
    const auto notFound = [dialog, checking] {
        return dialog->isVisible() && !showsLabel(dialog, checking) && visibleButton(dialog, QStringLiteral("Close"));
    };
    const auto added = [dialog, network] { return !dialog->isVisible() && !network->devices().isEmpty(); };
    pollUntil([=] { return notFound() || added(); }, QStringLiteral("the end of the check"), [=] {
        const bool wasAdded = !notFound();
        qCInfo(lcScripted) << (wasAdded ? "Add by IP dialog: closed" : "Add by IP dialog: not found");
        if (shot_ != QLatin1String(wasAdded ? "add-by-ip-added" : "add-by-ip-not-found")) {
            QCoreApplication::exit(kExitNotReached);
            return;
        }
        QTimer::singleShot(kSettleMs, this, [this, window, wasAdded] {
            if (wasAdded)
                qCInfo(lcScripted).noquote() << "Gallery shows:" << galleryName(window);
            grabAndQuit();
        });
    });
}

void ScriptedAutomation::pollUntil(std::function<bool()> done, const QString& waitingFor, std::function<void()> then)
{
    auto* timer = new QTimer(this);
    QElapsedTimer clock;
    clock.start();
    connect(timer, &QTimer::timeout, this, [=] {
        const bool reached = done();
        if (!reached && clock.elapsed() < kAddWaitMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (reached) {
            then();
            return;
        }
        qCWarning(lcScripted).noquote() << "Gave up waiting for" << waitingFor;
        QCoreApplication::exit(kExitNotReached);
    });
    timer->start(kPollMs);
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
