#pragma once

#include "platform/Export.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The AT90 behind a simulated FX2, as the FX2's 0xB0-0xB9 requests reach it. Not locked: the
// FX2 model that owns it serialises the calls.
class TWG_PLATFORM_API SimAt90 {
public:
    static constexpr std::uint32_t kPageSize = 256;
    static constexpr std::uint32_t kPages = 512;

    struct Options {
        std::array<std::uint8_t, 3> signature{{0x1E, 0x97, 0x81}};
        int busyPolls = 1;           // 0xB1 answers busy this often after each enable
        bool busyForever = false;
        int erasedReadsAfterProgram = 0; // 0xB7 reads 0xFF this often after a page was programmed
        std::vector<std::uint8_t> flash;  // contents from address 0 at power-up (the rest erased)
    };

    explicit SimAt90(Options options);

    // A status or data request; false: stall. *answer is the byte sent back.
    bool request(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex, std::uint8_t* answer);
    // 0xB5 armed the page buffer; the bulk bytes that follow fill it.
    void loadBuffer(const std::vector<std::uint8_t>& data);

    const std::vector<std::uint8_t>& flash() const { return flash_; }
    const std::array<std::uint8_t, 3>& fuses() const { return fuses_; }
    bool programmingEnabled() const { return enabled_; }
    std::vector<std::string> takeViolations();
    const std::vector<std::string>& violations() const { return violations_; }

private:
    std::uint8_t programPage(std::uint16_t page);

    Options options_;
    std::vector<std::uint8_t> flash_;
    std::array<std::uint8_t, 3> fuses_{{0xFF, 0xFF, 0xFF}};
    std::vector<std::uint8_t> buffer_;
    bool bufferLoaded_ = false;
    bool enableRequested_ = false;
    bool enabled_ = false;
    int pollsLeft_ = 0;
    int erasedReadsLeft_ = 0;
    std::vector<std::string> violations_;
};

} // namespace platform
