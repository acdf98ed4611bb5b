#pragma once

#include "converters/xmega/DeviceLoader.h"

#include <cstdint>
#include <memory>

namespace TWG {
namespace Converters {

class XmegaUSBDevice;

// Prepares a blank XMEGA device: gives it a uuid and the blank identity and leaves its
// application area erased. Takes the device through its bootloader, so a run may end pending.
class XmegaDeviceLoader : public DeviceLoader {
public:
    explicit XmegaDeviceLoader(std::shared_ptr<XmegaUSBDevice> device, DeviceLoaderDelegate* delegate = nullptr);
    ~XmegaDeviceLoader() override;

    // The device to go on with once the previous one re-enumerated.
    void setDevice(std::shared_ptr<XmegaUSBDevice> device) { device_ = std::move(device); }
    const std::shared_ptr<XmegaUSBDevice>& device() const { return device_; }

    bool run() override;
    bool isPending() const override { return pending_; }
    // The first four uuid bytes, big-endian, as last read.
    std::uint32_t identityWord() const { return identity_; }

protected:
    bool readIdentityWord();
    void setPending(bool pending) { pending_ = pending; }

private:
    std::shared_ptr<XmegaUSBDevice> device_;
    std::uint32_t identity_ = 0;
    bool pending_ = false;
};

} // namespace Converters
} // namespace TWG
