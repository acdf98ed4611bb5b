#pragma once

#include "converters/xmega/XmegaUSBNotifierBase.h"

namespace TWG {
namespace Converters {

// A notifier whose table entries make devices of type T (an XmegaUSBDevice by default).
template <typename T>
class XmegaUSBNotifierTemplate : public XmegaUSBNotifierBase {
protected:
    // Entries made as another XmegaUSBDevice type (a PoweredXmegaDevice, say).
    template <typename D = T>
    void addProduct(std::uint16_t vendorId, std::uint16_t productId)
    {
        addEntry(vendorId, productId, [](USB::IUSBDevice* device) -> std::shared_ptr<XmegaUSBDevice> {
            return D::create(device);
        });
    }
};

} // namespace Converters
} // namespace TWG
