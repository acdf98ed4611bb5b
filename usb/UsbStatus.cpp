#include "usb/UsbStatus.h"

#include "usb/UsbConstants.h"

namespace TWG {
namespace USB {

namespace {
struct StatusRow {
    std::uint32_t status;
    std::uint32_t result;
};
constexpr StatusRow kStatusMap[] = {
    {usbd::kBadArgument, kResultBadArgument},
    {usbd::kInvalidPipe, kResultInvalidPipeHandle},
    {usbd::kStall, kResultStall},
    {usbd::kNotResponding, kResultDeviceNotResponding},
    {usbd::kNoMemory, kResultInsufficientResources},
    {usbd::kInterfaceNotFound, kResultInterfaceNotFound},
    {usbd::kTimeout, kResultTimeout},
    {usbd::kDeviceGone, kResultDeviceGone},
};
} // namespace

std::uint32_t resultForUsbStatus(std::int32_t status)
{
    if (status >= 0)
        return kResultSuccess;
    for (const StatusRow& row : kStatusMap)
        if (row.status == static_cast<std::uint32_t>(status))
            return row.result;
    return kResultFailure;
}

} // namespace USB
} // namespace TWG
