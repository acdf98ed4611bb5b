#pragma once

#include "converters/xmega/XmegaUSBNotifierTemplate.h"

#include <array>

namespace TWG {
namespace Converters {

// The XMEGA converters' notifier: the converter product ids, plus the identity a blank device
// gets from XmegaDeviceLoader. Arrivals and removals go to the delegate.
class ConverterXmegaNotifier : public XmegaUSBNotifierTemplate<XmegaUSBDevice> {
public:
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void xmegaDeviceArrived(std::shared_ptr<XmegaUSBDevice>& device) = 0;
        virtual void xmegaDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& device) = 0;
    };

    static constexpr std::uint16_t kVendorId = 0x7C5D;
    // Table order; 0xBDF2 and 0xBDF6 report external power.
    static constexpr std::array<std::uint16_t, 15> kProductIds = {0xBD91, 0xBD92, 0xBD95, 0xBDF2, 0xBD96,
                                                                  0xBDF6, 0xBD93, 0xBD94, 0xBDE7, 0xBDB8,
                                                                  0xBDC5, 0xBDC6, 0xBE00, 0xBE0C, 0xBE06};
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
