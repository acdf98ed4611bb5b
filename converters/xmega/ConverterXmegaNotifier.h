#pragma once

#include "converters/xmega/XmegaUSBNotifierTemplate.h"

namespace TWG {
namespace Converters {

// The XMEGA converters' notifier: the XMEGA product ids of protocol/ConverterIds.h, plus the
// identity a blank device gets from XmegaDeviceLoader. Arrivals and removals go to the delegate.
class ConverterXmegaNotifier : public XmegaUSBNotifierTemplate<XmegaUSBDevice> {
public:
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void xmegaDeviceArrived(std::shared_ptr<XmegaUSBDevice>& device) = 0;
        virtual void xmegaDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& device) = 0;
    };

    // 0xBDF2 and 0xBDF6 report external power.
    static bool isPoweredProduct(std::uint16_t productId) { return productId == 0xBDF2 || productId == 0xBDF6; }

    explicit ConverterXmegaNotifier(Delegate* delegate);

    void registerExtraIds() override;
    void handleDeviceArrived(std::shared_ptr<XmegaUSBDevice>& device) override;
    void handleDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& device) override;

private:
    Delegate* delegate_;
};

} // namespace Converters
} // namespace TWG
