#include "converters/xmega/XmegaDeviceLoader.h"

#include "converters/xmega/XmegaUSBDevice.h"
#include "protocol/ConverterIds.h"
#include "protocol/XmegaProtocol.h"

#include <algorithm>
#include <random>

namespace TWG {
namespace Converters {

namespace {

// A version-4 random uuid, as a fresh GUID would be.
XmegaUSBDevice::Uuid freshUuid()
{
    std::random_device random;
    XmegaUSBDevice::Uuid uuid{};
    for (auto& b : uuid)
        b = static_cast<std::uint8_t>(random());
    uuid[6] = static_cast<std::uint8_t>((uuid[6] & 0x0F) | 0x40);
    uuid[8] = static_cast<std::uint8_t>((uuid[8] & 0x3F) | 0x80);
    return uuid;
}

} // namespace

XmegaDeviceLoader::XmegaDeviceLoader(std::shared_ptr<XmegaUSBDevice> device, DeviceLoaderDelegate* delegate)
    : DeviceLoader(delegate), device_(std::move(device))
{
}

XmegaDeviceLoader::~XmegaDeviceLoader() = default;

bool XmegaDeviceLoader::readIdentityWord()
{
    XmegaUSBDevice::Uuid uuid{};
    if (!device_ || !device_->getUuid(&uuid))
        return false;
    identity_ = (static_cast<std::uint32_t>(uuid[0]) << 24) | (static_cast<std::uint32_t>(uuid[1]) << 16) |
                (static_cast<std::uint32_t>(uuid[2]) << 8) | uuid[3];
    return true;
}

bool XmegaDeviceLoader::run()
{
    resetRun();
    pending_ = false;
    setStatus("Erasing device", -1);
    std::uint8_t mode = 0;
    if (!device_ || !device_->getMode(&mode)) {
        setError("ERROR: Unable to read bootloader status");
        return false;
    }
    if (mode == 0) {
        if (!device_->restartIntoBootloader()) {
            failStep();
            return false;
        }
        pending_ = true;
        return false;
    }
    XmegaUSBDevice::Uuid uuid{};
    if (!device_->getUuid(&uuid)) {
        setError("ERROR: Unable to read uuid");
        return false;
    }
    if (std::all_of(uuid.begin(), uuid.end(), [](std::uint8_t b) { return b == 0xFF; }) &&
        !device_->programUuid(freshUuid())) {
        setError("ERROR: Unable to program uuid");
        return false;
    }
    if (!readIdentityWord()) {
        setError("ERROR: Unable to read uuid");
        return false;
    }
    setStatus("Checking device", -1);
    bool blank = false;
    if (device_->vendorId() == ids::kVendorId && device_->productId() == ids::kXmegaBlankProductId &&
        device_->isApplicationBlank(&blank) && blank) {
        setStatus("Finished, remember to program device using the correct device loader", 100);
        return true;
    }
    setStatus("Erasing device", -1);
    if (!device_->eraseApplication()) {
        setError("ERROR: Unable to set erase app binary");
        return false;
    }
    if (!device_->setIdentity(ids::kVendorId, ids::kXmegaBlankProductId)) {
        setError("ERROR: Unable to set device identity");
        return false;
    }
    if (!device_->restartIntoBootloader()) {
        failStep();
        return false;
    }
    pending_ = true;
    return false;
}

} // namespace Converters
} // namespace TWG
