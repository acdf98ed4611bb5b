#pragma once

#include "platform/Export.h"
#include "platform/sim/SimDevice.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// An FX2 without firmware (device release 1): it answers only the standard requests and the
// chip's firmware-load request 0xA0 on its internal RAM. Writing 0 to CPUCS (0xE600) after a
// 1 releases the 8051: the device leaves the bus and comes back as its running persona.
class TWG_PLATFORM_API SimFx2Blank : public SimDevice {
public:
    static constexpr std::uint32_t kRamSize = 0x10000;
    using PersonaFactory = std::function<std::shared_ptr<SimDevice>()>;

    SimFx2Blank(std::uint16_t vendor, std::uint16_t product, PersonaFactory running, int reenumerateMs = 100);

    std::vector<std::uint8_t> ram() const;
    bool cpuHeld() const;
    int releases() const;
    // The CPUCS values written, in order.
    std::vector<std::uint8_t> cpucsWrites() const;
    std::vector<std::string> violations() const;

protected:
    UsbStatus classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;

private:
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> ram_;
    bool cpuHeld_ = true;
    int releases_ = 0;
    std::vector<std::uint8_t> cpucsWrites_;
    std::vector<std::string> violations_;
    PersonaFactory running_;
    int reenumerateMs_;
};

} // namespace platform
