#include "converters/ConverterNotifier.h"

#include "converters/ConverterLog.h"
#include "converters/fx2/ConverterFX2Impl.h"
#include "converters/fx2/ConverterInstance.h"
#include "converters/fx2/ConverterNotifierInstance.h"
#include "converters/xmega/ConverterXmegaImpl.h"

#include <atomic>

namespace TWG {
namespace Converters {

namespace {

std::atomic<bool> notifierExists{false};

} // namespace

std::unique_ptr<ConverterNotifier> ConverterNotifier::create()
{
    bool expected = false;
    if (!notifierExists.compare_exchange_strong(expected, true)) {
        qCWarning(lcConverters) << "A converter notifier exists already";
        return nullptr;
    }
    return std::unique_ptr<ConverterNotifier>(new ConverterNotifier());
}

ConverterNotifier::ConverterNotifier() = default;

ConverterNotifier::~ConverterNotifier()
{
    loader_.reset();
    retiredLoader_.reset();
    if (loading_)
        loading_->release();
    // The notifiers release their devices without reporting removals.
    xmegaNotifier_.reset();
    fx2Notifier_.reset();
    for (auto& entry : fx2Converters_)
        entry.second->release();
    for (auto& entry : xmegaConverters_)
        entry.second->release();
    notifierExists = false;
}

bool ConverterNotifier::start(NotificationDelegate* delegate, platform::WindowId window)
{
    if (started_ || !delegate)
        return false;
    started_ = true;
    delegate_ = delegate;
    xmegaNotifier_ = std::make_unique<ConverterXmegaNotifier>(static_cast<ConverterXmegaNotifier::Delegate*>(this));
    // Every converter is reported, whatever runs on it: a converter in its bootloader needs
    // its application loaded.
    xmegaNotifier_->setRestartOnce(false);
    const bool xmegaCreated = xmegaNotifier_->create(window, 0);
    fx2Notifier_ = std::make_unique<ConverterNotifierInstance>(static_cast<GenericUSBNotificationDelegate*>(this));
    const bool fx2Created = fx2Notifier_->create(window, 0);
    if (!xmegaCreated || !fx2Created)
        qCWarning(lcConverters) << "Converter hot-plug incomplete: XMEGA" << xmegaCreated << "FX2" << fx2Created;
    return xmegaCreated && fx2Created;
}

bool ConverterNotifier::handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam)
{
    retiredLoader_.reset();
    // The XMEGA notifier hears only what the FX2 notifier did not take: it would otherwise
    // open a path the FX2 notifier holds.
    if (fx2Notifier_ && fx2Notifier_->handleDeviceChange(wParam, lParam))
        return true;
    return xmegaNotifier_ && xmegaNotifier_->handleDeviceChange(wParam, lParam);
}

void ConverterNotifier::onUSBDeviceArrived(AbstractUSBDevice* device)
{
    auto* instance = dynamic_cast<ConverterInstance*>(device);
    if (!instance || fx2Converters_.count(device))
        return;
    auto* converter = new ConverterFX2Impl(instance);
    fx2Converters_[device] = converter;
    if (delegate_)
        delegate_->onConverterArrived(converter);
}

void ConverterNotifier::onUSBDeviceRemoved(AbstractUSBDevice* device)
{
    auto it = fx2Converters_.find(device);
    if (it == fx2Converters_.end())
        return;
    ConverterFX2Impl* converter = it->second;
    fx2Converters_.erase(it);
    if (delegate_)
        delegate_->onConverterRemoved(converter);
    converter->release();
}

void ConverterNotifier::xmegaDeviceArrived(std::shared_ptr<XmegaUSBDevice>& device)
{
    if (!device)
        return;
    if (loader_ && loader_->handleArrival(device)) {
        // Still the load's, or filed by its success. A load that gave up on the device let it
        // go, most likely in its bootloader: it is a converter like any other, whose update
        // loads its application.
        if (loader_ || xmegaConverters_.count(device.get()))
            return;
    }
    if (xmegaConverters_.count(device.get()))
        return;
    auto* converter = new ConverterXmegaImpl(device);
    xmegaConverters_[device.get()] = converter;
    if (delegate_)
        delegate_->onConverterArrived(converter);
}

void ConverterNotifier::xmegaDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& device)
{
    if (!device)
        return;
    if (loader_ && loader_->handleRemoval(device)) {
        // The converter's trip into its bootloader: the load's business, not a removal.
        if (device.get() == loadingFiledUnder_)
            loadingDeviceLeft_ = true;
        return;
    }
    auto it = xmegaConverters_.find(device.get());
    if (it != xmegaConverters_.end())
        dropXmega(it->second);
}

ConverterXmegaImpl* ConverterNotifier::findXmega(IConverter* converter) const
{
    for (const auto& entry : xmegaConverters_) {
        if (entry.second == converter)
            return entry.second;
    }
    return nullptr;
}

void ConverterNotifier::dropXmega(ConverterXmegaImpl* converter)
{
    for (auto it = xmegaConverters_.begin(); it != xmegaConverters_.end(); ++it) {
        if (it->second == converter) {
            xmegaConverters_.erase(it);
            if (delegate_)
                delegate_->onConverterRemoved(converter);
            converter->release();
            return;
        }
    }
}

XmegaLoaderNotifier::BinaryLoad ConverterNotifier::loadXmegaBinary(IConverter* converter, const std::uint8_t* data,
                                                                   std::uint32_t length, std::uint32_t version,
                                                                   LoadXmegaBinaryDelegate* delegate)
{
    retiredLoader_.reset();
    if (loader_)
        return BinaryLoad::Failed;
    ConverterXmegaImpl* target = findXmega(converter);
    if (!target || !target->device())
        return BinaryLoad::Failed;
    // Without an image the bootloader would erase the application and write nothing.
    if (!data || length == 0) {
        qCWarning(lcConverters) << "XMEGA application load without an image refused";
        return BinaryLoad::Failed;
    }
    // A converter in its bootloader needs the load even when the image there is current: only
    // its end restarts the application.
    std::uint8_t mode = 0;
    if (!target->device()->getMode(&mode)) {
        qCWarning(lcConverters) << "XMEGA application load: the converter's mode is unreadable";
        return BinaryLoad::Failed;
    }
    std::uint32_t first = 0, second = 0;
    if (mode == 0 && target->device()->getVersions(&first, &second) && first == second && first == version)
        return BinaryLoad::NotNeeded;
    loader_ = std::make_unique<XmegaBinaryLoader>(data, length, version,
                                                  static_cast<XmegaBinaryLoader::Delegate*>(this));
    loading_ = target;
    loading_->addRef();
    loadingFiledUnder_ = target->device().get();
    loadingDeviceLeft_ = false;
    loadDelegate_ = delegate;
    if (!loader_->start(target->device()) || !loader_->isRunning()) {
        qCWarning(lcConverters) << "XMEGA application load could not start";
        endLoad();
        return BinaryLoad::Failed;
    }
    return BinaryLoad::Started;
}

void ConverterNotifier::xmegaBinaryLoadFinished(XmegaBinaryLoader* loader, bool ok)
{
    if (loader != loader_.get())
        return;
    ConverterXmegaImpl* converter = loading_;
    converter->addRef();
    LoadXmegaBinaryDelegate* delegate = loadDelegate_;
    const bool deviceLeft = loadingDeviceLeft_;
    std::shared_ptr<XmegaUSBDevice> back = ok ? loader->device() : nullptr;
    if (back) {
        xmegaConverters_.erase(loadingFiledUnder_);
        converter->rebind(back);
        xmegaConverters_[back.get()] = converter;
    }
    endLoad();
    if (delegate)
        delegate->onXmegaBinaryLoaded(converter, back != nullptr);
    // A converter whose device never left is still there: keep it.
    if (!back && deviceLeft)
        dropXmega(converter);
    converter->release();
}

void ConverterNotifier::stopXmegaBinaryLoad()
{
    if (!loader_)
        return;
    ConverterXmegaImpl* converter = loading_;
    converter->addRef();
    const bool deviceLeft = loadingDeviceLeft_;
    endLoad();
    if (deviceLeft)
        dropXmega(converter);
    converter->release();
}

void ConverterNotifier::endLoad()
{
    retiredLoader_ = std::move(loader_);
    if (loading_)
        loading_->release();
    loading_ = nullptr;
    loadingFiledUnder_ = nullptr;
    loadingDeviceLeft_ = false;
    loadDelegate_ = nullptr;
}

} // namespace Converters
} // namespace TWG
