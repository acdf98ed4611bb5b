#include "converters/xmega/ConverterXmegaNotifier.h"

#include "converters/xmega/PoweredXmegaDevice.h"
#include "protocol/ConverterIds.h"
#include "protocol/XmegaProtocol.h"

namespace TWG {
namespace Converters {

ConverterXmegaNotifier::ConverterXmegaNotifier(Delegate* delegate) : delegate_(delegate)
{
    for (std::uint16_t product : ids::kXmegaProductIds) {
        if (isPoweredProduct(product))
            addProduct<PoweredXmegaDevice>(ids::kVendorId, product);
        else
            addProduct(ids::kVendorId, product);
    }
}

void ConverterXmegaNotifier::registerExtraIds() { addProduct(ids::kVendorId, ids::kXmegaBlankProductId); }

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
