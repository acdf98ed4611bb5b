#include "converters/xmega/ConverterXmegaNotifier.h"

#include "converters/xmega/PoweredXmegaDevice.h"
#include "converters/xmega/XmegaProtocol.h"

namespace TWG {
namespace Converters {

ConverterXmegaNotifier::ConverterXmegaNotifier(Delegate* delegate) : delegate_(delegate)
{
    for (std::uint16_t product : kProductIds) {
        if (isPoweredProduct(product))
            addProduct<PoweredXmegaDevice>(kVendorId, product);
        else
            addProduct(kVendorId, product);
    }
}

void ConverterXmegaNotifier::registerExtraIds() { addProduct(xmega::kBlankVendorId, xmega::kBlankProductId); }

void ConverterXmegaNotifier::handleDeviceArrived(std::shared_ptr<XmegaUSBDevice>& device)
{
    if (delegate_)
        delegate_->xmegaDeviceArrived(device);
}

void ConverterXmegaNotifier::handleDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& device)
{
    if (delegate_)
        delegate_->xmegaDeviceRemoved(device);
}

} // namespace Converters
} // namespace TWG
