#include "converters/fx2/ConverterNotifierInstance.h"

#include "converters/BoundedPoll.h"
#include "converters/fx2/ConverterInstance.h"
#include "converters/fx2/GenericUSBNotificationDelegate.h"
#include "platform/Clock.h"
#include "protocol/Fx2Protocol.h"

namespace TWG {
namespace Converters {

ConverterNotifierInstance::ConverterNotifierInstance(GenericUSBNotificationDelegate* delegate)
    : delegate_(delegate)
{
}

ConverterNotifierInstance::~ConverterNotifierInstance()
{
    destroy();
}

std::vector<std::uint32_t> ConverterNotifierInstance::vendorIdList()
{
    const std::vector<std::uint16_t>& ids = Fx2ProductTable::vendorIds();
    return std::vector<std::uint32_t>(ids.begin(), ids.end());
}

std::vector<std::uint32_t> ConverterNotifierInstance::productIdList()
{
    const std::vector<std::uint16_t>& ids = Fx2ProductTable::productIds();
    return std::vector<std::uint32_t>(ids.begin(), ids.end());
}

bool ConverterNotifierInstance::findProduct(std::uint16_t productId, Fx2ProductEntry* entry)
{
    return Fx2ProductTable::find(productId, entry);
}

void ConverterNotifierInstance::handleArrival(AbstractUSBDevice* device)
{
    std::uint16_t productId = 0;
    if (device->getProductId(&productId) && !ConverterInstance::isConverterProductId(productId)) {
        BoundedPoll probes(fx2::kArrivalReadyProbes, fx2::kArrivalReadyProbeMs);
        while (probes.next()) {
            bool ready = false;
            if (device->probeReady(&ready) && ready)
                break;
            probes.pause();
        }
        platform::clock().sleepFor(platform::Clock::Duration(fx2::kArrivalReadySettleMs));
    }
    if (delegate_)
        delegate_->onUSBDeviceArrived(device);
}

void ConverterNotifierInstance::handleRemoval(AbstractUSBDevice* device)
{
    if (delegate_)
        delegate_->onUSBDeviceRemoved(device);
}

} // namespace Converters
} // namespace TWG
