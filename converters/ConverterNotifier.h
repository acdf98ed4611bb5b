#pragma once

#include "converters/IConverterNotifier.h"
#include "converters/fx2/GenericUSBNotificationDelegate.h"
#include "converters/xmega/ConverterXmegaNotifier.h"
#include "converters/xmega/XmegaBinaryLoader.h"

#include <map>
#include <memory>

namespace TWG {
namespace Converters {

class ConverterFX2Impl;
class ConverterNotifierInstance;
class ConverterXmegaImpl;

// The one hot-plug source of classic converters in a process: FX2 devices through the FX2
// notifier, XMEGA devices through the XMEGA notifier, each wrapped in its IConverter.
class ConverterNotifier : public IConverterNotifier,
                          private GenericUSBNotificationDelegate,
                          private ConverterXmegaNotifier::Delegate,
                          private XmegaBinaryLoader::Delegate {
public:
    // Null while another notifier exists in the process.
    static std::unique_ptr<ConverterNotifier> create();
    ~ConverterNotifier() override;
    ConverterNotifier(const ConverterNotifier&) = delete;
    ConverterNotifier& operator=(const ConverterNotifier&) = delete;

    BinaryLoad loadXmegaBinary(IConverter* converter, const std::uint8_t* data, std::uint32_t length,
                               std::uint32_t version, LoadXmegaBinaryDelegate* delegate) override;
    void stopXmegaBinaryLoad() override;
    bool start(NotificationDelegate* delegate, platform::WindowId window) override;
    bool handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam) override;

    bool isLoadingXmegaBinary() const override { return loader_ && loader_->isRunning(); }
    std::size_t converterCount() const { return fx2Converters_.size() + xmegaConverters_.size(); }

private:
    ConverterNotifier();

    void onUSBDeviceArrived(AbstractUSBDevice* device) override;
    void onUSBDeviceRemoved(AbstractUSBDevice* device) override;
    void xmegaDeviceArrived(std::shared_ptr<XmegaUSBDevice>& device) override;
    void xmegaDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& device) override;
    void xmegaBinaryLoadFinished(XmegaBinaryLoader* loader, bool ok) override;

    ConverterXmegaImpl* findXmega(IConverter* converter) const;
    // Forgets the converter and tells the family it is gone.
    void dropXmega(ConverterXmegaImpl* converter);
    void endLoad();

    NotificationDelegate* delegate_ = nullptr;
    std::unique_ptr<ConverterNotifierInstance> fx2Notifier_;
    std::unique_ptr<ConverterXmegaNotifier> xmegaNotifier_;
    std::map<AbstractUSBDevice*, ConverterFX2Impl*> fx2Converters_;
    std::map<XmegaUSBDevice*, ConverterXmegaImpl*> xmegaConverters_;
    bool started_ = false;

    std::unique_ptr<XmegaBinaryLoader> loader_;
    // A finished loader may still be on the stack that reported its end; it goes at the next
    // entry from outside.
    std::unique_ptr<XmegaBinaryLoader> retiredLoader_;
    ConverterXmegaImpl* loading_ = nullptr; // holds a reference while the load runs
    XmegaUSBDevice* loadingFiledUnder_ = nullptr;
    bool loadingDeviceLeft_ = false;
    LoadXmegaBinaryDelegate* loadDelegate_ = nullptr;
};

} // namespace Converters
} // namespace TWG
