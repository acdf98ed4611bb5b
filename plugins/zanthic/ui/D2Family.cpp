#include "plugins/zanthic/ui/D2Family.h"

#include "plugins/zanthic/ui/LutTransferThread.h"

#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/ZanthicModels.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/FirmwareUpdateController.h"
#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"
#include "plugins/zanthic/ui/InfoText.h"

#include <QEventLoop>
#include <QObject>

namespace TWG {
namespace Zanthic {

D2Family::D2Family(const QString& name, const QSet<QString>& serviceTypes, QWidget* hostWindow)
    : Family(hostWindow), name_(name), serviceTypes_(serviceTypes), hostWindow_(hostWindow)
{
}

D2Family::~D2Family()
{
    // Normally done already by the window; no update thread may outlive the family.
    shutdown();
    // The managers' threads end before the devices they told of go.
    managers_.clear();
    // No event loop turns after the family: the controller goes now, not later, and with it
    // its hold on the device, whose update task joins its worker as it goes.
    if (FirmwareUpdateController* controller = controller_.data()) {
        controller_.reset();
        delete controller;
    }
}

void D2Family::startDeviceDetection()
{
    for (const auto& manager : managers_)
        manager->start();
}

bool D2Family::isUpdating() const { return controller_ && controller_->isUpdating(); }

bool D2Family::canClose()
{
    if (isUpdating()) {
        showCloseRefusal(hostWindow_, tr("Software Update"), tr("Update in Progress!"),
                         tr("Please wait for the Converter software update to finish before closing."));
        return false;
    }
    if (LutTransferThread::anyRunning()) {
        showCloseRefusal(hostWindow_, tr("Loading LUT"), tr("Loading LUT"),
                         tr("Please wait for the LUT to finish loading before closing."));
        return false;
    }
    return true;
}

void D2Family::shutdown()
{
    // A LUT upload holds its device and deletes itself: it ends before the program does.
    LutTransferThread::waitForAll();
    if (isUpdating()) {
        // The task's end arrives queued from its thread; the loop turns until it has.
        QEventLoop loop;
        QObject::connect(controller_.data(), &FirmwareUpdateController::updateEnded, &loop, &QEventLoop::quit);
        QObject::connect(controller_.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
        if (isUpdating())
            loop.exec();
    }
    // Last, as the waits above let polls run: a poll read of a device that does not answer
    // holds it until its time-out, and ends before the devices do.
    ZanthicConvertersConnectedDevice::waitForPollReads();
}

// This deliverable has no network manager: no DNS-SD event is ever taken.
bool D2Family::onBonjourDeviceAdded(const BonjourInfo&) { return false; }
bool D2Family::onBonjourDeviceRemoved(const BonjourInfo&) { return false; }
bool D2Family::onBonjourDeviceUpdated(const BonjourInfo&) { return false; }
bool D2Family::onBonjourDeviceResolved(const BonjourInfo&, bool, QString, QString, int) { return false; }

void D2Family::showDevice(VisibleDevice* device) { openDeviceCard(device, true); }

void D2Family::showControlApp(VisibleDevice* device)
{
    const auto visible = findVisibleDevice(device);
    if (visible && visible->activeDevice())
        visible->activeDevice()->showControlApp(visible.get());
}

void D2Family::updateFirmware(VisibleDevice* device) { startFirmwareUpdate(device, false, true); }

void D2Family::setBuildInfo(const QString& time, const QString& release, const QString& tag, const QString& revision)
{
    buildTime_ = time;
    releaseVersion_ = release;
    releaseCandidateTag_ = tag;
    revision_ = revision;
}

void D2Family::addConnectionManager(std::shared_ptr<ConnectionManager> manager)
{
    if (manager)
        managers_.append(std::move(manager));
}

std::shared_ptr<D2VisibleDevice> D2Family::findVisibleDevice(const PotentialDevice& device) const
{
    // An unread serial says nothing about which device it is.
    const QString serial = device.serial();
    if (serial.isEmpty())
        return nullptr;
    for (const auto& visible : devices_)
        if (visible->serial() == serial)
            return visible;
    return nullptr;
}

std::shared_ptr<D2VisibleDevice> D2Family::findVisibleDevice(const VisibleDevice* device) const
{
    for (const auto& visible : devices_)
        if (static_cast<const VisibleDevice*>(visible.get()) == device)
            return visible;
    return nullptr;
}

void D2Family::onPotentialDeviceArrived(std::shared_ptr<PotentialDevice> device)
{
    if (!device)
        return;
    if (const auto visible = findVisibleDevice(*device))
        addPotentialDevice(visible, device);
    else
        createVisibleDevice(device);
    device->onArrival();
}

void D2Family::onPotentialDeviceRemoved(std::shared_ptr<PotentialDevice> device)
{
    if (!device)
        return;
    auto visible = findVisibleDevice(*device);
    if (!visible && device->serial().isEmpty()) {
        for (const auto& candidate : devices_)
            if (candidate->holds(device.get()))
                visible = candidate;
    }
    if (visible)
        removePotentialDevice(visible, device);
}

void D2Family::addPotentialDevice(const std::shared_ptr<D2VisibleDevice>& visible, std::shared_ptr<PotentialDevice> device)
{
    visible->addPotentialDevice(std::move(device));
}

void D2Family::removePotentialDevice(const std::shared_ptr<D2VisibleDevice>& visible,
                                     const std::shared_ptr<PotentialDevice>& device)
{
    visible->removePotentialDevice(device);
    if (visible->activeDevice())
        return;
    // Listeners still find the device while they hear of its removal.
    emit deviceRemoved(visible.get());
    devices_.removeAll(visible);
}

void D2Family::createVisibleDevice(std::shared_ptr<PotentialDevice> device)
{
    auto visible = std::make_shared<D2VisibleDevice>(this, std::move(device));
    devices_.append(visible);
    emit deviceArrived(visible.get());
}

void D2Family::openDeviceCard(VisibleDevice* device, bool checkFirmware)
{
    const auto visible = findVisibleDevice(device);
    if (!visible)
        return;
    const auto& active = visible->activeDevice();
    if (checkFirmware && active && active->offersFirmwareUpdate() && visible->isFirmwareUpdateAvailable()) {
        startFirmwareUpdate(device, true, visible->isReady());
        return;
    }
    auto* card = new D2ProductCard(visible.get(), hostWindow_);
    QObject::connect(card, &D2ProductCard::firmwareUpdateRequested, this,
                     [this, device](bool confirm) { startFirmwareUpdate(device, confirm, true); });
    card->show();
}

void D2Family::startFirmwareUpdate(VisibleDevice* device, bool prompt, bool required)
{
    const auto visible = findVisibleDevice(device);
    if (!visible)
        return;
    // One update at a time: a running one is never let go of.
    if (isUpdating()) {
        controller_->dialog()->show();
        controller_->dialog()->raise();
        return;
    }
    controller_ = QSharedPointer<FirmwareUpdateController>(new FirmwareUpdateController(hostWindow_, visible),
                                                           &QObject::deleteLater);
    QObject::connect(controller_.data(), &FirmwareUpdateController::firmwareUpdated, this,
                     &D2Family::onFirmwareUpdateFinish);
    controller_->start(prompt, required);
}

void D2Family::onFirmwareUpdateFinish(bool openCard)
{
    auto* finished = qobject_cast<FirmwareUpdateController*>(sender());
    if (!controller_ || (finished && finished != controller_.data()))
        return;
    const std::shared_ptr<D2VisibleDevice> device = controller_->device();
    controller_.reset();
    if (openCard && device)
        openDeviceCard(device.get(), false);
}

QString D2Family::buildInformation()
{
    QString text = QStringLiteral("** Plugin Build information\n\n");
    text += infoLine(QStringLiteral("Time"), buildTime_);
    text += infoLine(QStringLiteral("RC Tag"), QStringLiteral("%1%2").arg(releaseVersion_, releaseCandidateTag_));
    text += infoLine(QStringLiteral("Revision"), revision_);
    text += QLatin1Char('\n');

    text += QStringLiteral("** Discovered Devices:\n\n");
    for (const auto& visible : devices_) {
        const auto& active = visible->activeDevice();
        if (!active)
            continue;
        const ModelInfo* info = active->findModelInfo();
        text += QStringLiteral("\t%1\n").arg(info ? info->fullName : QString());
        text += infoLine(QStringLiteral("Device Name"), active->deviceName());
        text += infoLine(QStringLiteral("Unique ID"), active->serial());
        text += infoLine(QStringLiteral("Product Id"), hex4(active->productId()));
        text += infoLine(QStringLiteral("Hardware Revision"), hex4(active->hardwareId()));
        text += infoLine(QStringLiteral("Firmware Build"), active->buildId());
        text += infoLine(QStringLiteral("Release Version"), active->releaseVersion());
        text += infoLine(QStringLiteral("Connection Type"), connectionTypeText(active->connectionType()));
        text += QLatin1Char('\n');
    }

    text += QStringLiteral("** Available Firmware:\n\n");
    for (const auto& manager : managers_) {
        text += QStringLiteral("%1 Supported Devices:\n\n").arg(QString::fromStdString(manager->typeName()));
        // The manager's rows, in ascending product id.
        for (const auto& row : modelTable()) {
            const std::uint16_t productId = row.first;
            const ModelInfo* found = manager->findModelInfo(productId);
            if (!found)
                continue;
            const ModelInfo& info = *found;
            text += QStringLiteral("\t%1\n").arg(info.fullName);
            text += infoLine(QStringLiteral("Product Id"), hex4(productId));
            text += infoLine(QStringLiteral("Hardware Revision"), hex4(info.hardwareRevision));
            text += infoLine(QStringLiteral("Firmware Build"), info.firmwareVersion);
            text += infoLine(QStringLiteral("Release Version"), info.releaseVersion);
            text += QLatin1Char('\n');
        }
    }
    return text;
}

} // namespace Zanthic
} // namespace TWG
