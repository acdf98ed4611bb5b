#include "shell/VantorelWindow.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/VisibleDevice.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "shell/AboutBox.h"
#include "shell/AddByIpAddressController.h"
#include "shell/BuildDetails.h"
#include "shell/DiscoveryFactory.h"
#include "shell/DiscoveryHelper.h"
#include "shell/ShellBranding.h"
#include "shell/VisibleDevicesWidget.h"
#include "shell/WindowFooter.h"
#include "shell/WindowHeader.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QSet>
#include <QSettings>
#include <QStackedWidget>
#include <QTimer>

namespace {
constexpr int kMinimumWidth = 780;
constexpr int kMinimumContentHeight = 680;
const char kGeometryKey[] = "geometry";
} // namespace

VantorelWindow::VantorelWindow(std::unique_ptr<DiscoveryFactory> discovery)
    : QMainWindow(nullptr), deviceList_(this), discovery_(std::move(discovery))
{
    if (!discovery_)
        discovery_ = std::make_unique<DiscoveryFactory>();

    initKitFonts();
    setWindowTitle(brandingFullAppName());

    const int height = kMinimumContentHeight + menuBar()->height();
    setMinimumSize(kMinimumWidth, height);
    const QByteArray geometry =
        QSettings(brandingOrganisationName(), brandingAppName()).value(QLatin1String(kGeometryKey)).toByteArray();
    if (geometry.isNull())
        resize(kMinimumWidth, height);
    else
        restoreGeometry(geometry);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    connect(help->addAction(brandingAboutMenuText()), &QAction::triggered, this, &VantorelWindow::showAboutBox);

    auto* central = new QFrame(this);
    mainLayout_ = new TightVBoxLayout(central);
    mainLayout_->addWidget(new WindowHeader(central));
    auto* line = new QWidget(central);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("QWidget { background: black; }"));
    mainLayout_->addWidget(line);
    viewStack_ = new QStackedWidget(central);
    gallery_ = new VisibleDevicesWidget(&deviceList_, viewStack_);
    viewStack_->addWidget(gallery_);
    mainLayout_->addWidget(viewStack_, 1);
    setCentralWidget(central);

    addByIpController_ = discovery_->createAddByIpController(this, &families_);
    connect(addByIpController_, &AddByIpAddressController::deviceAddedByIP, this, &VantorelWindow::newDeviceAddedByIP);

    connect(gallery_, &VisibleDevicesWidget::addByIpClicked, this, &VantorelWindow::onAddByIpClicked);
    connect(gallery_, &VisibleDevicesWidget::requestFirmwareUpdate, this, &VantorelWindow::updateFirmware);
    connect(gallery_, &VisibleDevicesWidget::requestShowDevice, this, &VantorelWindow::showDevice);
    connect(gallery_, &VisibleDevicesWidget::requestShowControlApp, this, &VantorelWindow::showControlApp);

    QTimer::singleShot(0, this, &VantorelWindow::postShowStartup);
}

VantorelWindow::~VantorelWindow()
{
    for (Family* family : qAsConst(families_))
        family->shutdown();
}

void VantorelWindow::addFamily(Family* family)
{
    if (!family || families_.contains(family))
        return;
    families_.append(family);
    connect(family, &Family::badInstall, gallery_, &VisibleDevicesWidget::onBadInstall);
    family->setAccentColour(brandingAccentColour());
    if (family->usesBonjour())
        brandingSetUsesBonjour();
    if (family->listViewWidget(&deviceList_, this))
        brandingSetHasListView();
}

QWidget* VantorelWindow::familyListView()
{
    if (!brandingHasListView() || listView_)
        return nullptr;
    for (Family* family : qAsConst(families_)) {
        if (QWidget* view = family->listViewWidget(&deviceList_, this))
            return listView_ = view;
    }
    return nullptr;
}

void VantorelWindow::postShowStartup()
{
    if (started_)
        return;
    started_ = true;

    QWidget* listView = familyListView();
    if (listView) {
        viewStack_->addWidget(listView);
        // By name: the widget comes from a plug-in, whose classes cannot be cast to here.
        connect(listView, SIGNAL(requestShowDevice(VisibleDevice*)), this, SLOT(showDevice(VisibleDevice*)));
    }

    footer_ = new WindowFooter(&deviceList_, this, listView != nullptr);
    mainLayout_->addWidget(footer_);
    connect(footer_, &WindowFooter::crossMenuOptionSelected, this, &VantorelWindow::onCrossMenuOptionSelected);
    connect(footer_, &WindowFooter::easterEggClicked, this, &VantorelWindow::showBuildDetails);
    connect(footer_, &WindowFooter::galleryViewSelected, this, &VantorelWindow::onGalleryViewSelected);
    connect(footer_, &WindowFooter::listViewSelected, this, &VantorelWindow::onListViewSelected);

    for (Family* family : qAsConst(families_)) {
        connect(family, &Family::deviceArrived, &deviceList_, &DeviceList::onDeviceAdded);
        connect(family, &Family::deviceRemoved, &deviceList_, &DeviceList::onDeviceRemoved);
        connect(family, &Family::deviceInfoChanged, &deviceList_, &DeviceList::onDeviceInfoChanged);
        connect(family, &Family::crossMenuChanged, this, &VantorelWindow::onCrossMenuChanged);
        connect(&deviceList_, &DeviceList::deviceListSelected, family, &Family::onDeviceSelected);
        family->startDeviceDetection();
    }

    if (brandingUsesBonjour()) {
        registerBonjourInfoMetaType();
        QSet<QString> types{QString()};
        for (Family* family : qAsConst(families_)) {
            connect(family, &Family::bonjourResolveRequested, this, &VantorelWindow::onBonjourResolveRequested);
            connect(family, &Family::bonjourResolveRequestedWithPort, this,
                    &VantorelWindow::onBonjourResolveRequestedWithPort);
            types.unite(family->bonjourServiceTypes());
        }
        for (const QString& type : qAsConst(types)) {
            DiscoveryHelper* helper = discovery_->createHelper(type, this);
            helpers_.append(helper);
            connect(helper, &DiscoveryHelper::deviceArrived, this, &VantorelWindow::onBonjourDeviceAdded);
            connect(helper, &DiscoveryHelper::deviceRemoved, this, &VantorelWindow::onBonjourDeviceRemoved);
            connect(helper, &DiscoveryHelper::deviceUpdated, this, &VantorelWindow::onBonjourDeviceUpdated);
        }
    }

    onCrossMenuChanged();
}

void VantorelWindow::onBonjourDeviceAdded(BonjourInfo info)
{
    for (Family* family : qAsConst(families_)) {
        if (family->onBonjourDeviceAdded(info))
            return;
    }
}

void VantorelWindow::newDeviceAddedByIP(BonjourInfo info)
{
    onBonjourDeviceAdded(info);
}

void VantorelWindow::onBonjourDeviceRemoved(BonjourInfo info)
{
    for (Family* family : qAsConst(families_)) {
        if (family->onBonjourDeviceRemoved(info))
            return;
    }
}

void VantorelWindow::onBonjourDeviceUpdated(BonjourInfo info)
{
    for (Family* family : qAsConst(families_)) {
        if (family->onBonjourDeviceUpdated(info))
            return;
    }
}

void VantorelWindow::onBonjourResolveRequested(BonjourInfo info)
{
    discovery_->resolve(info, this, [this, info](int error, std::string hostName, int port) {
        onBonjourDeviceHaveHostName(info, error == 0, hostName, port);
    });
}

void VantorelWindow::onBonjourResolveRequestedWithPort(BonjourInfo info, int port)
{
    discovery_->resolve(info, this, [this, info, port](int error, std::string hostName, int) {
        onBonjourDeviceHaveHostName(info, error == 0, hostName, port);
    });
}

void VantorelWindow::onBonjourDeviceHaveHostName(BonjourInfo info, bool success, std::string hostName, int port)
{
    if (!success) {
        onBonjourDeviceResolved(info, false, QString(), QString(), 0);
        return;
    }
    const QString host = QString::fromStdString(hostName);
    discovery_->lookup(host, port, this, [this, info, host, port](int error, QString address) {
        if (error != 0)
            onBonjourDeviceResolved(info, false, QString(), QString(), 0);
        else
            onBonjourDeviceResolved(info, true, host, address, port);
    });
}

void VantorelWindow::onBonjourDeviceResolved(BonjourInfo info, bool success, QString hostName, QString ipAddress,
                                             int port)
{
    for (Family* family : qAsConst(families_)) {
        if (family->onBonjourDeviceResolved(info, success, hostName, ipAddress, port))
            return;
    }
}

void VantorelWindow::onAddByIpClicked()
{
    addByIpController_->showDialog();
}

void VantorelWindow::onGalleryViewSelected()
{
    viewStack_->setCurrentWidget(gallery_);
    if (footer_)
        footer_->setDotsVisible(true);
}

void VantorelWindow::onListViewSelected()
{
    if (listView_)
        viewStack_->setCurrentWidget(listView_);
    if (footer_)
        footer_->setDotsVisible(false);
}

void VantorelWindow::showDevice(VisibleDevice* device)
{
    if (Family* family = device ? deviceList_.familyOf(device) : nullptr)
        family->showDevice(device);
}

void VantorelWindow::showControlApp(VisibleDevice* device)
{
    if (Family* family = device ? deviceList_.familyOf(device) : nullptr)
        family->showControlApp(device);
}

void VantorelWindow::updateFirmware(VisibleDevice* device)
{
    if (Family* family = device ? deviceList_.familyOf(device) : nullptr)
        family->updateFirmware(device);
}

QStringList VantorelWindow::crossMenuTexts() const
{
    QStringList texts;
    for (const auto& entry : crossMenuEntries_)
        texts << entry.first;
    return texts;
}

void VantorelWindow::onCrossMenuChanged()
{
    crossMenuEntries_.clear();
    if (brandingUsesBonjour())
        crossMenuEntries_.append(qMakePair(tr("Add by IP address"), static_cast<Family*>(nullptr)));
    for (Family* family : qAsConst(families_)) {
        const QStringList options = family->crossMenuOptions();
        for (const QString& option : options)
            crossMenuEntries_.append(qMakePair(option, family));
    }
    if (footer_)
        footer_->setCrossMenuOptions(crossMenuTexts());
}

void VantorelWindow::onCrossMenuOptionSelected(QString text)
{
    for (const auto& entry : qAsConst(crossMenuEntries_)) {
        if (entry.first != text)
            continue;
        if (entry.second)
            entry.second->onCrossMenuOptionSelected(text);
        else
            addByIpController_->showDialog();
        return;
    }
}

void VantorelWindow::showAboutBox()
{
    AboutBox box(this);
    box.setPixmap(brandingAboutIcon());
    box.setAppName(brandingAppName());
    box.setReleaseYear(brandingReleaseYear());
    box.setVersion(brandingReleaseVersion());
    box.exec();
}

void VantorelWindow::showBuildDetails()
{
    BuildDetailsDialog dialog(this, families_);
    dialog.exec();
}

bool VantorelWindow::handleNativeMessage(MSG* message, long* result)
{
    if (!message || message->message != platform::WM_DEVICECHANGE)
        return false;
    for (Family* family : qAsConst(families_)) {
        if (family->handleDeviceChange(message)) {
            *result = 1;
            return true;
        }
    }
    return false;
}

bool VantorelWindow::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    // Only this layer's messages are MSGs; X11 hands xcb events through here too.
    if (eventType != platform::kMessageEventType)
        return QMainWindow::nativeEvent(eventType, message, result);
    return handleNativeMessage(static_cast<MSG*>(message), result);
}

void VantorelWindow::closeEvent(QCloseEvent* event)
{
    for (Family* family : qAsConst(families_)) {
        if (!family->canClose()) {
            event->ignore();
            return;
        }
    }
    QSettings(brandingOrganisationName(), brandingAppName()).setValue(QLatin1String(kGeometryKey), saveGeometry());
    QMainWindow::closeEvent(event);
}
