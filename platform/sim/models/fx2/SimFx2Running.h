#pragma once

#include "platform/Export.h"
#include "platform/sim/SimDevice.h"
#include "platform/sim/models/fx2/SimAt90.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// An FX2 converter running its firmware: byte registers, the flash of 64 blocks of 64 KiB
// behind the FX2 (block erase, page programming), the boot EEPROM, power and readiness, and
// optionally an AT90 behind it. Programming an unerased page and requests out of order are
// recorded as violations. Erase, restart and page completion take time on the process clock.
class TWG_PLATFORM_API SimFx2Running : public SimDevice {
public:
    static constexpr std::uint32_t kFlashSize = 64 * 0x10000;
    static constexpr std::uint32_t kEepromSize = 0x10000;

    struct Options {
        std::uint8_t version = 1;           // register 1
        bool powered = true;                // 0xE1
        int readyAfterProbes = 0;           // 0xD5 answers 0 this often first
        int eraseMs = 50;                   // per block
        bool eraseNeverDone = false;        // busy for ever
        int restartMs = 200;                // register 0 reads 0 this long after 0xDC
        // After a restart register 1 takes the flash byte here (the firmware's version byte).
        std::optional<std::uint32_t> versionAddress;
        std::optional<SimAt90::Options> at90;
        // Register values at power-up, before the status and version registers are set.
        std::map<std::uint8_t, std::uint8_t> registers;
        // Flash and boot EEPROM contents from address 0 at power-up (the rest erased): what an
        // earlier firmware left, or what a device kept across a replug.
        std::vector<std::uint8_t> flash;
        std::vector<std::uint8_t> eeprom;
    };

    // Descriptors with interface 0 (FF/FF/FF), bulk OUT 0x02 and bulk IN 0x86.
    static SimDescriptors descriptors(std::uint16_t vendor, std::uint16_t product, std::uint16_t release = 0x0100);
    static std::shared_ptr<SimFx2Running> create(SimDescriptors descriptors, Options options);

    SimFx2Running(SimDescriptors descriptors, Options options);
    ~SimFx2Running() override;

    std::vector<std::uint8_t> flash() const;
    std::vector<std::uint8_t> eeprom() const;
    std::uint8_t reg(std::uint8_t index) const;
    void setPowered(bool on);
    bool programming() const;
    std::vector<std::vector<std::uint8_t>> modePairs() const;
    std::vector<std::string> violations() const;
    bool hasAt90() const;
    std::vector<std::uint8_t> at90Flash() const;
    std::array<std::uint8_t, 3> at90Fuses() const;

protected:
    UsbStatus classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;
    UsbStatus bulkOut(std::uint8_t endpoint, const std::vector<std::uint8_t>& data, std::uint32_t* taken) override;

private:
    struct State;
    UsbStatus vendorRequest(State& s, const UsbSetup& setup, std::vector<std::uint8_t>& data);
    void violation(State& s, const std::string& text);

    std::shared_ptr<State> state_;
};

} // namespace platform
