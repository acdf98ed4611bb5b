#pragma once

#include "converters/fx2/AbstractUSBDeviceNotifier.h"

namespace TWG {
namespace Converters {

class GenericUSBNotificationDelegate;

// The FX2 converters' notifier: the two vendor ids and the products of the FX2 product table,
// each made as a ConverterInstance. A product outside the converter set is told to the
// delegate only once its firmware answers the readiness probe (or the wait ran out).
class ConverterNotifierInstance : public AbstractUSBDeviceNotifier {
public:
    explicit ConverterNotifierInstance(GenericUSBNotificationDelegate* delegate);
    ~ConverterNotifierInstance() override;

    std::vector<std::uint32_t> vendorIdList() override;
    std::vector<std::uint32_t> productIdList() override;
    bool findProduct(std::uint16_t productId, Fx2ProductEntry* entry) override;
    void handleArrival(AbstractUSBDevice* device) override;
    void handleRemoval(AbstractUSBDevice* device) override;

private:
    GenericUSBNotificationDelegate* delegate_;
};

} // namespace Converters
} // namespace TWG
