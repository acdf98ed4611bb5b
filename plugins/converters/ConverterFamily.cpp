#include "plugins/converters/ConverterFamily.h"

#include "converters/ConverterNotifier.h"
#include "plugins/converters/BuildInformationReport.h"
#include "plugins/converters/ConverterProductCard.h"
#include "plugins/converters/VisibleConverter.h"

namespace {
constexpr int kPowerPollIntervalMs = 1000;
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
    // The notifier goes first so that no removal arrives while the converters are deleted;
    // converters still listed are deleted here, so their device references and updaters do
    // not outlive the family.
    notifier_.reset();
    const QList<VisibleConverter*> remaining = converters_;
    converters_.clear();
    qDeleteAll(remaining);
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
