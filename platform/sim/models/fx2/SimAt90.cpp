#include "platform/sim/models/fx2/SimAt90.h"

#include "protocol/At90Protocol.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace at90 = TWG::Converters::at90;

SimAt90::SimAt90(Options options)
    : options_(options), flash_(kPageSize * kPages, at90::kErased), buffer_(kPageSize, at90::kErased)
{
    std::copy_n(options_.flash.begin(), std::min<std::size_t>(options_.flash.size(), flash_.size()), flash_.begin());
}

std::vector<std::string> SimAt90::takeViolations()
{
    std::vector<std::string> v;
    v.swap(violations_);
    return v;
}

void SimAt90::loadBuffer(const std::vector<std::uint8_t>& data)
{
    std::fill(buffer_.begin(), buffer_.end(), at90::kErased);
    if (data.size() > kPageSize)
        violations_.push_back("AT90 page buffer overrun");
    std::copy(data.begin(), data.begin() + std::min<std::size_t>(data.size(), kPageSize), buffer_.begin());
    bufferLoaded_ = true;
}

std::uint8_t SimAt90::programPage(std::uint16_t page)
{
    if (!enabled_ || !bufferLoaded_ || page >= kPages)
        return at90::kStatusError;
    auto first = flash_.begin() + std::ptrdiff_t(page) * kPageSize;
    if (std::any_of(first, first + kPageSize, [](std::uint8_t b) { return b != at90::kErased; })) {
        char text[64];
        std::snprintf(text, sizeof text, "programming an unerased AT90 page %u", page);
        violations_.push_back(text);
    }
    std::transform(first, first + kPageSize, buffer_.begin(), first, [](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(a & b);
    });
    bufferLoaded_ = false;
    erasedReadsLeft_ = options_.erasedReadsAfterProgram;
    return at90::kStatusDone;
}

bool SimAt90::request(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex, std::uint8_t* answer)
{
    *answer = at90::kStatusDone;
    switch (bRequest) {
    case at90::kRequestEnable:
        // Each round of the host's enable sequence repeats this; the busy spell counts once.
        if (!enableRequested_)
            pollsLeft_ = options_.busyPolls;
        enableRequested_ = true;
        return true;
    case at90::kRequestPollEnable:
        if (!enableRequested_) {
            *answer = at90::kStatusError;
        } else if (options_.busyForever || pollsLeft_ > 0) {
            --pollsLeft_;
            *answer = at90::kStatusBusy;
        } else {
            enabled_ = true;
        }
        return true;
    case at90::kRequestLeave:
        enabled_ = enableRequested_ = false;
        return true;
    case at90::kRequestChipErase:
        if (!enabled_)
            *answer = at90::kStatusError;
        else
            std::fill(flash_.begin(), flash_.end(), at90::kErased);
        return true;
    case at90::kRequestProgramPage:
        *answer = programPage(wIndex);
        return true;
    case at90::kRequestWriteFuse:
        if (!enabled_ || wIndex >= fuses_.size())
            *answer = at90::kStatusError;
        else
            fuses_[wIndex] = static_cast<std::uint8_t>(wValue);
        return true;
    case at90::kRequestReadFlash: {
        const std::uint32_t address = std::uint32_t(wValue & 1) << 16 | wIndex;
        if (address >= flash_.size())
            return false;
        if (erasedReadsLeft_ > 0) {
            --erasedReadsLeft_;
            *answer = at90::kErased;
        } else {
            *answer = flash_[address];
        }
        return true;
    }
    case at90::kRequestSignature:
        if (wIndex >= options_.signature.size())
            return false;
        *answer = options_.signature[wIndex];
        return true;
    case at90::kRequestReadFuse:
        if (wIndex >= fuses_.size())
            return false;
        *answer = fuses_[wIndex];
        return true;
    default:
        return false;
    }
}

} // namespace platform
