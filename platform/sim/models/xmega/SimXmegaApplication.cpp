#include "platform/sim/models/xmega/SimXmegaApplication.h"

#include "protocol/XmegaProtocol.h"

namespace platform {

using namespace TWG::Converters::xmega;

namespace {

std::uint32_t get32(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return static_cast<std::uint32_t>(d[at]) | (static_cast<std::uint32_t>(d[at + 1]) << 8) |
           (static_cast<std::uint32_t>(d[at + 2]) << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

void put(std::vector<std::uint8_t>& d, std::size_t at, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        d[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::uint8_t kOutEndpoint = 0x02;

} // namespace

SimXmegaApplication::SimXmegaApplication(std::shared_ptr<SimXmegaState> state)
    : SimXmegaDevice(std::move(state), false)
{
}

UsbStatus SimXmegaApplication::personaRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    SimXmegaState& s = *state_;
    if (setup.bmRequestType == kVendorInterfaceOut && setup.bRequest == kSelectSegment) {
        if (setup.wValue > 0xFF)
            return UsbStatus::Stall;
        segment_ = setup.wValue;
        return UsbStatus::Success;
    }
    if (setup.bmRequestType == kVendorInterfaceOut && setup.bRequest == kWriteMemory) {
        const std::uint32_t base = (segment_ << 16) | setup.wValue;
        for (std::size_t i = 0; i < data.size(); ++i)
            s.writeRegister(base + static_cast<std::uint32_t>(i), data[i]);
        return UsbStatus::Success;
    }
    if (setup.bmRequestType == kVendorInterfaceIn && setup.bRequest == kReadMemory) {
        const std::uint32_t base = (segment_ << 16) | setup.wValue;
        data.resize(setup.wLength);
        s.readMemory(base, data);
        return UsbStatus::Success;
    }
    if (setup.bmRequestType == kVendorInterfaceIn && setup.bRequest == kIsPowered) {
        if (!s.hasPowerRequest)
            return UsbStatus::Stall;
        data = {static_cast<std::uint8_t>(s.powered ? 1 : 0)};
        return UsbStatus::Success;
    }
    return eepromRequest(setup, data);
}

UsbStatus SimXmegaApplication::eepromRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    SimXmegaState& s = *state_;
    SimXmegaEeprom* e = s.target >= 0 ? &s.eeproms[static_cast<std::size_t>(s.target)] : nullptr;
    if (setup.bmRequestType == kVendorInterfaceIn) {
        switch (setup.bRequest) {
        case kGetSessionStatus: {
            const std::uint8_t busy = s.writeBusy() ? 1 : 0;
            if (busy && s.writeStatusStalls)
                return UsbStatus::Stall;
            data = {static_cast<std::uint8_t>(s.sessionOpen ? 1 : 0), busy, 0, 0, 0, 0};
            return UsbStatus::Success;
        }
        case kGetEepromInfo:
            if (!e)
                return UsbStatus::Stall;
            data.assign(kEepromInfoLength, 0);
            put(data, kInfoOffSize, e->size, 8);
            put(data, kInfoOffSectorSize, e->sectorSize, 4);
            put(data, kInfoOffPageSize, e->pageSize, 4);
            return UsbStatus::Success;
        case kGetEepromProgress: {
            const bool busy = s.advanceErase();
            data.assign(kEepromProgressLength, 0);
            put(data, kProgressOffStart, s.eraseFirst, 4);
            put(data, kProgressOffTotal, busy && s.eraseTotalUnknown ? 0 : s.eraseCount, 4);
            put(data, kProgressOffCurrent, s.eraseFirst + s.eraseDone, 4);
            put(data, kProgressOffBusy, busy ? 1 : 0, 2);
            data[kProgressOffErasePhase] = busy ? 1 : 0;
            return UsbStatus::Success;
        }
        default:
            return UsbStatus::Stall;
        }
    }
    if (setup.bmRequestType != kVendorInterfaceOut)
        return UsbStatus::Stall;
    switch (setup.bRequest) {
    case kOpenSession:
        s.sessionOpen = true;
        s.tableWritten = false;
        s.fpgaImageWritten = false;
        return UsbStatus::Success;
    case kCloseSession:
        s.closeSession();
        return UsbStatus::Success;
    case kSetTargetEeprom:
        if (setup.wValue >= s.eeproms.size())
            return UsbStatus::Stall;
        s.target = setup.wValue;
        return UsbStatus::Success;
    case kEraseEeprom: {
        if (!s.sessionOpen || !e || data.size() != kEraseEepromLength) {
            s.violations.push_back("EEPROM erase outside a session");
            return UsbStatus::Stall;
        }
        const std::uint32_t first = get32(data, 0), count = get32(data, 4);
        if (e->sectorSize == 0 || (static_cast<std::uint64_t>(first) + count) * e->sectorSize > e->size)
            return UsbStatus::Stall;
        s.erasing = true;
        s.eraseFirst = first;
        s.eraseCount = count;
        s.eraseDone = 0;
        s.eraseStart = clock().now();
        return UsbStatus::Success;
    }
    case kWriteEepromData: {
        if (!s.sessionOpen || !e || data.size() != kWriteEepromDataLength) {
            s.violations.push_back("EEPROM write outside a session");
            return UsbStatus::Stall;
        }
        const std::uint64_t at = static_cast<std::uint64_t>(get32(data, 0)) * e->pageSize;
        if (at >= e->size)
            return UsbStatus::Stall;
        s.armed = true;
        s.writeAddress = at;
        s.streamStart = at;
        s.pageBuffer.clear();
        return UsbStatus::Success;
    }
    default:
        return UsbStatus::Stall;
    }
}

UsbStatus SimXmegaApplication::bulkOut(std::uint8_t endpoint, const std::vector<std::uint8_t>& data,
                                       std::uint32_t* taken)
{
    SimXmegaState& s = *state_;
    *taken = 0;
    if (endpoint != kOutEndpoint)
        return UsbStatus::Stall;
    if (data.empty()) {
        if (s.armed)
            s.endStream();
        return UsbStatus::Success;
    }
    if (!s.armed) {
        s.violations.push_back("EEPROM data with no target armed");
        return UsbStatus::Stall;
    }
    s.pageBuffer.insert(s.pageBuffer.end(), data.begin(), data.end());
    s.commitPages(false);
    *taken = static_cast<std::uint32_t>(data.size());
    // A short packet ends the transfer, and with it the stream.
    if (s.outPacketSize && data.size() % s.outPacketSize != 0)
        s.endStream();
    return UsbStatus::Success;
}

} // namespace platform
