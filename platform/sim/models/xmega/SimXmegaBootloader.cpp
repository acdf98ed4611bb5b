#include "platform/sim/models/xmega/SimXmegaBootloader.h"

#include "protocol/XmegaProtocol.h"

#include <algorithm>
#include <cstring>

namespace platform {

using namespace TWG::Converters::xmega;

SimXmegaBootloader::SimXmegaBootloader(std::shared_ptr<SimXmegaState> state) : SimXmegaDevice(std::move(state), true)
{
}

UsbStatus SimXmegaBootloader::personaRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    SimXmegaState& s = *state_;
    const std::size_t area = s.application.size();
    const std::size_t page = s.pageSize;
    if (setup.bmRequestType == kVendorInterfaceOut) {
        switch (setup.bRequest) {
        case kSetIdentity:
            if (data.size() != kSetIdentityLength ||
                std::memcmp(data.data() + 4, kIdentityField, kIdentityFieldLength) != 0)
                return UsbStatus::Stall;
            s.vendorId = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
            s.productId = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
            return UsbStatus::Success;
        case kProgramUuid:
            if (data.size() != kProgramUuidLength ||
                std::memcmp(data.data() + kUuidLength, kIdentityField, kIdentityFieldLength) != 0)
                return UsbStatus::Stall;
            std::copy(data.begin(), data.begin() + kUuidLength, s.uuid.begin());
            return UsbStatus::Success;
        case kEraseApplication:
            std::fill(s.application.begin(), s.application.end(), 0xFF);
            return UsbStatus::Success;
        case kWriteApplication: {
            if (data.empty()) {
                s.applicationWritten();
                return UsbStatus::Success;
            }
            const std::size_t at = static_cast<std::size_t>(setup.wValue) * page;
            if (at + data.size() > area)
                return UsbStatus::Stall;
            if (!std::all_of(s.application.begin() + static_cast<std::ptrdiff_t>(at),
                             s.application.begin() + static_cast<std::ptrdiff_t>(at + data.size()),
                             [](std::uint8_t b) { return b == 0xFF; }))
                s.violations.push_back("programming an unerased application page " + std::to_string(setup.wValue));
            for (std::size_t i = 0; i < data.size(); ++i)
                s.application[at + i] &= data[i];
            return UsbStatus::Success;
        }
        default:
            return UsbStatus::Stall;
        }
    }
    if (setup.bmRequestType == kVendorInterfaceIn) {
        switch (setup.bRequest) {
        case kGetBootloaderStatus:
            data = {static_cast<std::uint8_t>(s.pageSize), static_cast<std::uint8_t>(s.pageSize >> 8),
                    static_cast<std::uint8_t>(s.pageCount), static_cast<std::uint8_t>(s.pageCount >> 8)};
            return UsbStatus::Success;
        case kReadApplication: {
            const std::size_t at = static_cast<std::size_t>(setup.wValue) * page;
            if (at + setup.wLength > area)
                return UsbStatus::Stall;
            data.assign(s.application.begin() + static_cast<std::ptrdiff_t>(at),
                        s.application.begin() + static_cast<std::ptrdiff_t>(at + setup.wLength));
            return UsbStatus::Success;
        }
        default:
            return UsbStatus::Stall;
        }
    }
    return UsbStatus::Stall;
}

} // namespace platform
