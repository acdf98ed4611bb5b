#include "tests/screenshots/driver/ShotDriver.h"

#include "platform/backend/UsbBackend.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "platform/sim/models/stm32/SimStm32Application.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollArea>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {
constexpr int kPollMs = 50;
constexpr int kDeadlineMs = 15000;
constexpr int kSettleMs = 400;
constexpr int kMaxGallerySteps = 32;
constexpr int kExitGrabFailed = 3;
constexpr int kExitNotShown = 4;
constexpr int kPartWayPercent = 60;
} // namespace

bool ShotDriver::startFromEnvironment(QWidget* hostWindow)
{
    if (!hostWindow || qEnvironmentVariable("TWG_SHOT_PATH").isEmpty())
        return false;
    auto* driver = new ShotDriver(hostWindow);
    // The families start detection on the event loop's first turn; the converters follow.
    QTimer::singleShot(0, driver, [driver] {
        driver->waitFor([driver] { return driver->galleryNameLabel() != nullptr; },
                        QStringLiteral("no device in the gallery"), [driver] { driver->selectDevice(); });
    });
    return true;
}

ShotDriver::ShotDriver(QWidget* hostWindow)
    : QObject(hostWindow), host_(hostWindow), shot_(qEnvironmentVariable("TWG_SHOT", QStringLiteral("gallery"))),
      path_(qEnvironmentVariable("TWG_SHOT_PATH")), device_(qEnvironmentVariable("TWG_SHOT_DEVICE")),
      product_(static_cast<std::uint16_t>(qEnvironmentVariable("TWG_SHOT_PRODUCT").toUInt(nullptr, 0))),
      tab_(qEnvironmentVariableIntValue("TWG_SHOT_TAB"))
{
}

void ShotDriver::waitFor(const std::function<bool()>& done, const QString& why, const std::function<void()>& next)
{
    auto* timer = new QTimer(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(kPollMs);
    connect(timer, &QTimer::timeout, this, [this, timer, clock, done, why, next] {
        if (done()) {
            timer->deleteLater();
            next();
        } else if (clock->elapsed() > kDeadlineMs) {
            timer->deleteLater();
            fail(why);
        }
    });
    timer->start();
}

QWidget* ShotDriver::galleryNameLabel() const
{
    auto* gallery = host_->findChild<QWidget*>(QStringLiteral("VisibleDevicesWidget"));
    if (!gallery)
        return nullptr;
    for (QLabel* label : gallery->findChildren<QLabel*>()) {
        if (label->inherits("ElidedLabel") && !label->text().isEmpty())
            return label;
    }
    return nullptr;
}

void ShotDriver::selectDevice()
{
    QWidget* gallery = host_->findChild<QWidget*>(QStringLiteral("VisibleDevicesWidget"));
    // The gallery stops at its ends: start from the first device, then step right.
    if (steps_ == 0) {
        for (int i = 0; i < kMaxGallerySteps; ++i)
            QMetaObject::invokeMethod(gallery, "onLeftClicked");
    }
    auto* label = static_cast<QLabel*>(galleryNameLabel());
    if (device_.isEmpty() || (label && label->text() == device_)) {
        QTimer::singleShot(kSettleMs, this, &ShotDriver::act);
        return;
    }
    if (++steps_ > kMaxGallerySteps) {
        fail(QStringLiteral("no device named \"%1\" in the gallery").arg(device_));
        return;
    }
    QMetaObject::invokeMethod(gallery, "onRightClicked");
    QTimer::singleShot(kPollMs, this, &ShotDriver::selectDevice);
}

void ShotDriver::act()
{
    if (shot_ == QLatin1String("gallery"))
        grabAndQuit();
    else if (shot_ == QLatin1String("power"))
        powerOn();
    else if (shot_ == QLatin1String("tab"))
        openTab([this] { QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit); });
    else if (shot_ == QLatin1String("lost"))
        openTab([this] { unplug([this] { QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit); }); });
    else if (shot_ == QLatin1String("replug"))
        openTab([this] { unplug([this] { replug(); }); });
    else if (shot_ == QLatin1String("build-details"))
        showBuildDetails();
    else if (shot_ == QLatin1String("update"))
        update();
    else if (shot_ == QLatin1String("connecting"))
        openConnecting();
    else if (shot_ == QLatin1String("factory-reset"))
        openTab([this] { askFactoryReset(); });
    else if (shot_ == QLatin1String("lut-transfer"))
        openTab([this] { importLut(); });
    else if (shot_ == QLatin1String("bootloader") && held_)
        update();
    else if (shot_ == QLatin1String("bootloader"))
        holdInBootloader([this] {
            // Back in the gallery as a new entry: step to it again.
            held_ = true;
            steps_ = 0;
            selectDevice();
        });
    else
        fail(QStringLiteral("unknown shot \"%1\"").arg(shot_));
}

std::vector<QWidget*> ShotDriver::tabButtons() const
{
    std::vector<QWidget*> buttons;
    for (QAbstractButton* button : host_->findChildren<QAbstractButton*>()) {
        // The kit's tab buttons, and the Zanthic plug-in's own.
        const bool tab = button->inherits("TabButton") || button->inherits("TWG::Zanthic::D2TabButton");
        if (tab && button->isVisible())
            buttons.push_back(button);
    }
    return buttons;
}

void ShotDriver::openTab(const std::function<void()>& next)
{
    QMetaObject::invokeMethod(host_->findChild<QWidget*>(QStringLiteral("VisibleDevicesWidget")), "onDeviceClicked");
    if (tab_ < 0) {
        // A page without tabs: its footer shows it is up.
        waitFor([this] { return visibleFooter(); }, QStringLiteral("no settings page"), next);
        return;
    }
    waitFor([this] { return static_cast<int>(tabButtons().size()) > tab_; },
            QStringLiteral("no settings tab %1").arg(tab_), [this, next] {
                static_cast<QAbstractButton*>(tabButtons()[static_cast<std::size_t>(tab_)])->click();
                next();
            });
}

bool ShotDriver::visibleFooter() const
{
    for (QWidget* widget : host_->findChildren<QWidget*>()) {
        if (widget->inherits("CardFooter") && widget->isVisible())
            return true;
    }
    return false;
}

platform::SimBackend* ShotDriver::bus() const
{
    return dynamic_cast<platform::SimBackend*>(&platform::usbBackend());
}

QWidget* ShotDriver::visibleLostDialog() const
{
    for (QWidget* widget : host_->findChildren<QWidget*>()) {
        const bool lost =
            widget->inherits("ConnectionLostDialog") || widget->inherits("TWG::Zanthic::ConnectionLostDialog");
        if (lost && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void ShotDriver::unplug(const std::function<void()>& next)
{
    platform::SimBackend* sim = bus();
    if (!sim) {
        fail(QStringLiteral("not on the simulated bus (TWG_USB_SIM)"));
        return;
    }
    for (const platform::UsbDeviceInfo& info : sim->listDevices()) {
        if (info.descriptor.idProduct != product_)
            continue;
        unplugged_.push_back(sim->device(info.path));
        sim->detach(info.path);
    }
    if (unplugged_.empty()) {
        fail(QStringLiteral("no simulated device 0x%1").arg(product_, 4, 16, QLatin1Char('0')));
        return;
    }
    waitFor([this] { return visibleLostDialog() != nullptr; }, QStringLiteral("no connection-lost dialog"), next);
}

void ShotDriver::replug()
{
    for (const std::shared_ptr<platform::SimDevice>& device : unplugged_)
        bus()->attach(device);
    waitFor([this] { return !visibleLostDialog() && static_cast<int>(tabButtons().size()) > tab_; },
            QStringLiteral("the settings page did not come back"),
            [this] { QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit); });
}

void ShotDriver::powerOn()
{
    platform::SimBackend* sim = bus();
    bool found = false;
    for (const platform::UsbDeviceInfo& info : sim ? sim->listDevices() : std::vector<platform::UsbDeviceInfo>()) {
        auto* fx2 = dynamic_cast<platform::SimFx2Running*>(sim->device(info.path).get());
        if (fx2 && info.descriptor.idProduct == product_) {
            fx2->setPowered(true);
            found = true;
        }
    }
    if (!found) {
        fail(QStringLiteral("no simulated FX2 0x%1 to power").arg(product_, 4, 16, QLatin1Char('0')));
        return;
    }
    const QString unpowered = static_cast<QLabel*>(galleryNameLabel())->text();
    waitFor([this, unpowered] {
                auto* label = static_cast<QLabel*>(galleryNameLabel());
                return label && label->text() != unpowered;
            },
            QStringLiteral("the gallery did not change after power"),
            [this] { QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit); });
}

QWidget* ShotDriver::buildDetailsDialog() const
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("BuildDetailsDialog") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void ShotDriver::showBuildDetails()
{
    // The dialog runs its own loop: ask for it from the next turn of this one.
    QMetaObject::invokeMethod(host_->window(), "showBuildDetails", Qt::QueuedConnection);
    waitFor([this] { return buildDetailsDialog() != nullptr; }, QStringLiteral("no build-details dialog"), [this] {
        QWidget* dialog = buildDetailsDialog();
        if (auto* tabs = dialog->findChild<QTabWidget*>())
            tabs->setCurrentIndex(tab_);
        grabbed_ = dialog;
        QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit);
    });
}

QAbstractButton* ShotDriver::visibleButton(const QString& text) const
{
    for (QAbstractButton* button : host_->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && button->text() == text)
            return button;
    }
    return nullptr;
}

void ShotDriver::update()
{
    QMetaObject::invokeMethod(host_->findChild<QWidget*>(QStringLiteral("VisibleDevicesWidget")), "onDeviceClicked");
    const QString accept = QStringLiteral("Update");
    waitFor([this, accept] { return visibleButton(accept) != nullptr; }, QStringLiteral("no update offered"),
            [this, accept] {
                if (tab_ == 0) {
                    QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit);
                    return;
                }
                visibleButton(accept)->click();
                waitFor([this] { return visibleButton(QStringLiteral("Done")) != nullptr; },
                        QStringLiteral("the update did not complete"),
                        [this] { QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit); });
            });
}

void ShotDriver::openConnecting()
{
    // The card shows its connecting page at once; the device's answer comes on a later turn.
    QMetaObject::invokeMethod(host_->findChild<QWidget*>(QStringLiteral("VisibleDevicesWidget")), "onDeviceClicked");
    for (QLabel* label : host_->findChildren<QLabel*>()) {
        if (label->isVisible() && label->text() == QLatin1String("Connecting...")) {
            grabAndQuit();
            return;
        }
    }
    fail(QStringLiteral("no \"Connecting...\" page"));
}

void ShotDriver::holdInBootloader(const std::function<void()>& next)
{
    platform::SimBackend* sim = bus();
    bool held = false;
    for (const platform::UsbDeviceInfo& info : sim ? sim->listDevices() : std::vector<platform::UsbDeviceInfo>()) {
        auto* app = dynamic_cast<platform::SimStm32Application*>(sim->device(info.path).get());
        if (!app || info.descriptor.idProduct != product_)
            continue;
        const std::shared_ptr<platform::SimStm32State> state = app->state();
        sim->detach(info.path);
        sim->attach(platform::SimStm32Application::persona(state, true));
        held = true;
    }
    if (!held) {
        fail(QStringLiteral("no simulated STM32 0x%1 to hold").arg(product_, 4, 16, QLatin1Char('0')));
        return;
    }
    // The gallery entry goes with the application and comes back with the bootloader.
    QTimer::singleShot(kSettleMs, this, [this, next] {
        waitFor([this] { return galleryNameLabel() != nullptr; }, QStringLiteral("the held device is not shown"), next);
    });
}

QWidget* ShotDriver::visibleDialog(const char* className) const
{
    for (QWidget* widget : host_->findChildren<QWidget*>()) {
        if (widget->inherits(className) && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void ShotDriver::askFactoryReset()
{
    QAbstractButton* reset = visibleButton(QStringLiteral("Factory Reset"));
    if (!reset) {
        fail(QStringLiteral("no \"Factory Reset\" button"));
        return;
    }
    // The button is at the foot of the tab: scrolled to, as the technician would.
    for (QWidget* up = reset->parentWidget(); up; up = up->parentWidget()) {
        if (auto* scroll = qobject_cast<QScrollArea*>(up)) {
            scroll->ensureWidgetVisible(reset);
            break;
        }
    }
    reset->click();
    waitFor([this] { return visibleDialog("TWG::Zanthic::FactoryResetDialog") != nullptr; },
            QStringLiteral("no factory-reset question"),
            [this] { QTimer::singleShot(kSettleMs, this, &ShotDriver::grabAndQuit); });
}

QString ShotDriver::writeLutFile() const
{
    // An identity LUT of the large cube, as a grading tool writes it.
    constexpr int kPoints = 33;
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("Day Exterior.cube"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    QTextStream out(&file);
    out << "LUT_3D_SIZE " << kPoints << "\n";
    for (int b = 0; b < kPoints; ++b)
        for (int g = 0; g < kPoints; ++g)
            for (int r = 0; r < kPoints; ++r)
                out << QString::asprintf("%.6f %.6f %.6f\n", r / double(kPoints - 1), g / double(kPoints - 1),
                                         b / double(kPoints - 1));
    out.flush();
    return file.error() == QFile::NoError ? path : QString();
}

void ShotDriver::importLut()
{
    const QString path = writeLutFile();
    QAbstractButton* import = visibleButton(QStringLiteral("Import"));
    if (path.isEmpty() || !import) {
        fail(path.isEmpty() ? QStringLiteral("could not write the LUT file") : QStringLiteral("no \"Import\" button"));
        return;
    }
    import->click();
    auto chooser = [] () -> QFileDialog* {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
                return dialog;
        }
        return nullptr;
    };
    waitFor([chooser] { return chooser() != nullptr; }, QStringLiteral("no file chooser"), [this, chooser, path] {
        QFileDialog* dialog = chooser();
        // Typed into its name field: a file chosen while the field has the focus is not shown there.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) {
            fail(QStringLiteral("no file name field in the chooser"));
            return;
        }
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept(); // as its Open button does
        // Part-way, past a turn of the device poll: the bar has moved and the upload still runs.
        waitFor(
            [this] {
                QWidget* transfer = visibleDialog("TWG::Zanthic::TransferProgressDialog");
                auto* bar = transfer ? transfer->findChild<QProgressBar*>() : nullptr;
                return bar && bar->isVisible() && bar->value() >= kPartWayPercent;
            },
            QStringLiteral("no upload in progress"), [this] { grabAndQuit(); });
    });
}

void ShotDriver::grabAndQuit()
{
    QWidget* window = grabbed_ ? grabbed_.data() : host_->window();
    const bool saved = window && window->grab().save(path_, "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path_));
    QCoreApplication::exit(saved ? 0 : kExitGrabFailed);
}

void ShotDriver::fail(const QString& why)
{
    std::fprintf(stderr, "shot \"%s\" failed: %s\n", qPrintable(shot_), qPrintable(why));
    QCoreApplication::exit(kExitNotShown);
}
