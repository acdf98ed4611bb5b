#include "plugins/converters/ConverterFamily.h"

#include "converters/ConverterNotifier.h"
#include "plugins/converters/BuildInformationReport.h"
#include "plugins/converters/ConverterProductCard.h"
#include "plugins/converters/VisibleConverter.h"
#include "plugins/converters/firmware/FirmwareUpdateThread.h"
#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int kPowerPollIntervalMs = 1000;
constexpr int kShutdownCheckMs = 20;

// Loading an application, programming, or its thread still winding down.
bool busy(VisibleUSBFirmwareUpdater* updater)
{
    return updater->isUpdating() || updater->thread()->isRunning();
}
} // namespace

ConverterFamily::ConverterFamily(QWidget* hostWindow, NotifierFactory notifierFactory)
    : Family(hostWindow), hostWindow_(hostWindow), notifierFactory_(std::move(notifierFactory)), pollTimer_(this)
{
    if (!notifierFactory_)
        notifierFactory_ = [] { return std::unique_ptr<TWG::Converters::IConverterNotifier>(
                                    TWG::Converters::ConverterNotifier::create()); };
    pollTimer_.setInterval(kPowerPollIntervalMs);
    pollTimer_.setSingleShot(false);
    connect(&pollTimer_, &QTimer::timeout, this, &ConverterFamily::checkUnpoweredDevices);
}

ConverterFamily::~ConverterFamily()
{
    // Normally done already by the window; no update thread may outlive the family.
    shutdown();
    // The notifier goes first so that no removal arrives while the converters are deleted;
    // converters still listed are deleted here, so their device references and updaters do
    // not outlive the family.
    notifier_.reset();
    const QList<VisibleConverter*> remaining = converters_;
    converters_.clear();
    qDeleteAll(remaining);
}

QList<VisibleUSBFirmwareUpdater*> ConverterFamily::knownUpdaters() const
{
    QList<VisibleUSBFirmwareUpdater*> updaters;
    for (VisibleConverter* converter : converters_)
        if (VisibleUSBFirmwareUpdater* updater = converter->createdFirmwareUpdater())
            updaters.append(updater);
    for (const QPointer<VisibleUSBFirmwareUpdater>& updater : retiring_)
        if (updater)
            updaters.append(updater);
    return updaters;
}

bool ConverterFamily::isUpdating() const
{
    const QList<VisibleUSBFirmwareUpdater*> updaters = knownUpdaters();
    return std::any_of(updaters.begin(), updaters.end(), busy);
}

bool ConverterFamily::canClose()
{
    if (!isUpdating())
        return true;
    showCloseRefusal(hostWindow_, tr("Software Update"), tr("Update in Progress!"),
                     tr("Please wait for the Converter software update to finish before closing."));
    return false;
}

void ConverterFamily::shutdown()
{
    if (!isUpdating())
        return;
    // An XMEGA application load has no thread to wait for: the notifier drives it from the
    // device changes this loop hands it, and when it succeeds it starts the programming thread
    // without a signal of its own. So the loop looks again on a short tick until no updater is
    // loading or programming.
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (!isUpdating())
            loop.quit();
    });
    tick.start(kShutdownCheckMs);
    loop.exec();
}

QString ConverterFamily::familyName()
{
    return tr("Converters");
}

void ConverterFamily::startDeviceDetection()
{
    if (notifier_)
        return;
    notifier_ = notifierFactory_();
    if (notifier_)
        notifier_->start(this, static_cast<platform::WindowId>(eventWindowId()));
}

bool ConverterFamily::handleDeviceChange(MSG* message)
{
    if (!notifier_ || !message)
        return false;
    return notifier_->handleDeviceChange(message->wParam, message->lParam);
}

void ConverterFamily::onConverterArrived(TWG::Converters::IConverter* device)
{
    auto* converter = new VisibleConverter(this, device, notifier_.get());
    converters_.append(converter);
    emit deviceArrived(converter);
    if (!converter->isPowered())
        startPolling();
}

void ConverterFamily::onConverterRemoved(TWG::Converters::IConverter* device)
{
    const QList<VisibleConverter*> snapshot = converters_;
    for (VisibleConverter* converter : snapshot) {
        if (!converter->matches(device))
            continue;
        converters_.removeAll(converter);
        emit deviceRemoved(converter);
        retiring_.removeAll(nullptr);
        VisibleUSBFirmwareUpdater* updater = converter->createdFirmwareUpdater();
        if (updater && busy(updater))
            retiring_.append(updater);
        delete converter;
        return;
    }
}

void ConverterFamily::checkUnpoweredDevices()
{
    bool stillUnpowered = false;
    const QList<VisibleConverter*> snapshot = converters_;
    for (VisibleConverter* converter : snapshot) {
        if (converter->isPowered())
            continue;
        converter->refreshPoweredState();
        if (converter->isPowered())
            emit deviceInfoChanged(converter);
        else
            stillUnpowered = true;
    }
    if (!stillUnpowered)
        pollTimer_.stop();
}

void ConverterFamily::showDevice(VisibleDevice* device)
{
    auto* converter = dynamic_cast<VisibleConverter*>(device);
    if (!converter)
        return;
    converter->refreshPoweredState();
    if (!converter->isPowered()) {
        emit deviceInfoChanged(converter);
        startPolling();
        return;
    }
    auto* card = new ConverterProductCard(converter, hostWindow_);
    connect(this, &Family::deviceArrived, card, &ConverterProductCard::onDeviceArrived);
    connect(this, &Family::deviceRemoved, card, &ConverterProductCard::onDeviceRemoved);
    card->show();
}

QString ConverterFamily::buildInformation()
{
    return converterBuildInformation();
}

void ConverterFamily::startPolling()
{
    if (!pollTimer_.isActive())
        pollTimer_.start();
}
