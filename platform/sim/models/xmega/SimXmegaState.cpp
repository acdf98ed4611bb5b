#include "platform/sim/models/xmega/SimXmegaState.h"

#include "protocol/ConverterFirmware.h"
#include "protocol/XmegaAddresses.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "protocol/ZanthicRegisters.h"

#include <algorithm>

namespace platform {

namespace {
namespace addr = TWG::Converters::xmegaaddr;
namespace zreg = TWG::Zanthic::xmegareg;
namespace zids = TWG::Zanthic::firmwareids;

bool covers(std::uint32_t base, std::size_t length, std::uint32_t address)
{
    return address >= base && address - base < length;
}

std::uint32_t word(const std::vector<std::uint8_t>& bytes, std::uint64_t at)
{
    std::uint32_t w = 0;
    for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
        w |= static_cast<std::uint32_t>(bytes[static_cast<std::size_t>(at) + i]) << (8 * i);
    return w;
}

bool startsWithImageTable(const SimXmegaEeprom& e, std::uint64_t at)
{
    if (at + 4 > e.bytes.size())
        return false;
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4; ++i)
        word |= static_cast<std::uint32_t>(e.bytes[static_cast<std::size_t>(at) + i]) << (8 * i);
    return word == FirmwareFormat::Table::kMagic;
}
} // namespace

SimXmegaState::SimXmegaState()
{
    for (std::size_t i = 0; i < uuid.size(); ++i)
        uuid[i] = static_cast<std::uint8_t>(0x10 + i);
    application.assign(static_cast<std::size_t>(pageSize) * pageCount, 0xFF);
    eeproms.emplace_back(8u << 20, 64u << 10, 256);
}

bool SimXmegaState::applicationPresent() const
{
    return std::any_of(application.begin(), application.end(), [](std::uint8_t b) { return b != 0xFF; });
}

SimDescriptors SimXmegaState::descriptors(bool bootloader) const
{
    SimDescriptors d;
    d.device.idVendor = vendorId;
    d.device.idProduct = productId;
    d.device.bcdDevice = bootloader ? 0x0001 : 0x0100;
    SimInterface i;
    if (!bootloader)
        i.endpoints = {{0x02, usbch9::kEndpointBulk, outPacketSize, 0}, {0x81, usbch9::kEndpointBulk, 64, 0}};
    d.configurations[0].interfaces = {i};
    return d;
}

std::uint8_t SimXmegaState::readRegister(std::uint32_t address) const
{
    if (registerMap == RegisterMap::Zanthic) {
        if (address < zreg::kFpgaVersionLength)
            return powered ? static_cast<std::uint8_t>(fpgaVersion >> (8 * address)) : 0x00;
        const auto found = memory.find(address);
        return found == memory.end() ? 0 : found->second;
    }
    if (address == 0)
        return powered ? versionByte : 0x00;
    for (std::size_t slot = 0; slot < 2; ++slot) {
        const std::uint32_t base = addr::kLutNameBase[slot];
        if (address >= base && address < base + addr::kLutNameField && !eeproms.empty()) {
            const std::uint64_t at = addr::kLutOffsetBase + slot * addr::kLutSlotSize + (address - base);
            return at < eeproms[0].bytes.size() ? eeproms[0].bytes[static_cast<std::size_t>(at)] : 0xFF;
        }
    }
    const auto found = memory.find(address);
    return found == memory.end() ? 0 : found->second;
}

void SimXmegaState::writeRegister(std::uint32_t address, std::uint8_t value)
{
    if (registerMap == RegisterMap::Zanthic) {
        if (address == zreg::kFactoryReset && value == zreg::kFactoryResetCommand) {
            resetPending = true;
            resetReads = 0;
        }
        // The load command takes the LUT under the name written for it: the device then
        // reports that name.
        if (address == zreg::kLutCommand && value == zreg::kLutCommandLoaded)
            for (std::uint32_t i = 0; i < zreg::kTextLength; ++i)
                memory[zreg::kLutName + i] = readRegister(zreg::kLutNameWritten + i);
        memory[address] = value;
        // The device loads the LUT it was sent and reports it under the name written with it.
        if (address == zreg::kLutCommand && value == zreg::kLutCommandLoaded)
            for (std::uint32_t i = 0; i < zreg::kTextLength; ++i)
                memory[zreg::kLutName + i] = readRegister(zreg::kLutNameWritten + i);
        return;
    }
    // The downconversion register takes a command and answers with its status.
    if (address == addr::kDownconversion)
        value = static_cast<std::uint8_t>(addr::kDownconversionOn | ((value & 3) << 2));
    memory[address] = value;
}

void SimXmegaState::readMemory(std::uint32_t base, std::vector<std::uint8_t>& data)
{
    const bool zanthic = registerMap == RegisterMap::Zanthic;
    if (zanthic && resetPending && covers(base, data.size(), zreg::kFactoryReset)) {
        ++resetReads;
        if (resetDoneOnRead > 0 && resetReads >= resetDoneOnRead) {
            resetPending = false;
            ++factoryResets;
            for (std::uint32_t r : {zreg::kFactoryReset, zreg::kHdmiClamp, zreg::kHdmiRxCh34Swap, zreg::kHdmiTxCh34Swap,
                                    zreg::kSdiLevelA, zreg::kLutSelection, zreg::kLutLoop})
                memory.erase(r);
        }
    }
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = readRegister(base + static_cast<std::uint32_t>(i));
    if (zanthic && fpgaZeroReads > 0 && covers(base, data.size(), zreg::kFpgaVersion)) {
        --fpgaZeroReads;
        for (std::uint32_t a = zreg::kFpgaVersion; a < zreg::kFpgaVersionLength; ++a)
            if (covers(base, data.size(), a))
                data[a - base] = 0;
    }
}

bool SimXmegaState::advanceErase()
{
    if (!erasing || target < 0)
        return false;
    std::uint32_t due = eraseCount;
    if (eraseForever)
        due = 0;
    else if (eraseMsPerSector > 0)
        due = static_cast<std::uint32_t>(
            std::min<std::int64_t>(eraseCount, clock().elapsedMs(eraseStart) / eraseMsPerSector));
    SimXmegaEeprom& e = eeproms[static_cast<std::size_t>(target)];
    for (; eraseDone < due; ++eraseDone)
        e.eraseSector(eraseFirst + eraseDone);
    erasing = eraseDone < eraseCount;
    return erasing;
}

bool SimXmegaState::writeBusy() const { return busyForever || clock().now() < busyUntil; }

void SimXmegaState::commitPages(bool partial)
{
    if (target < 0)
        return;
    SimXmegaEeprom& e = eeproms[static_cast<std::size_t>(target)];
    const std::size_t page = e.pageSize ? e.pageSize : 1;
    std::size_t used = 0;
    while (pageBuffer.size() - used >= page || (partial && used < pageBuffer.size())) {
        const std::size_t n = std::min(page, pageBuffer.size() - used);
        std::string violation;
        if (!e.program(writeAddress, pageBuffer.data() + used, n, &violation))
            violations.push_back(violation);
        writeAddress += n;
        used += n;
    }
    pageBuffer.erase(pageBuffer.begin(), pageBuffer.begin() + static_cast<std::ptrdiff_t>(used));
}

void SimXmegaState::endStream()
{
    commitPages(true);
    armed = false;
    busyUntil = clock().now() + Clock::Duration(writeBusyMs);
    if (registerMap == RegisterMap::Zanthic && target == zids::kXmegaFpgaImageTarget &&
        streamStart == zids::kXmegaFpgaImageAddress)
        fpgaImageWritten = true;
    // Only the classic converters keep an image table at the stream's start.
    if (registerMap == RegisterMap::Classic && target >= 0 &&
        startsWithImageTable(eeproms[static_cast<std::size_t>(target)], streamStart))
        tableWritten = true;
}

void SimXmegaState::closeSession()
{
    armed = false;
    pageBuffer.clear();
    if (sessionSticks)
        return;
    sessionOpen = false;
    // The table comes last: an update that failed before it leaves the old FPGA version.
    if (tableWritten && versionByteAfterUpdate)
        versionByte = *versionByteAfterUpdate;
    tableWritten = false;
    if (fpgaImageWritten && !eeproms.empty())
        fpgaVersion = word(eeproms[zids::kXmegaFpgaImageTarget].bytes, zids::kXmegaFpgaImageAddress);
    fpgaImageWritten = false;
}

void SimXmegaState::applicationWritten()
{
    if (versionsAfterWrite) {
        const auto v = versionsAfterWrite(application);
        versions[0] = v.first;
        versions[1] = v.second;
    } else if (registerMap == RegisterMap::Zanthic) {
        versions[0] = versions[1] = word(application, 0);
    }
}

std::vector<SimXmegaEeprom> SimXmegaState::zanthicEeproms()
{
    std::vector<SimXmegaEeprom> targets;
    targets.emplace_back(8u << 20, 64u << 10, 256);
    targets.emplace_back(1u << 20, 4u << 10, 256);
    return targets;
}

void SimXmegaState::powerCycle()
{
    sessionOpen = false;
    target = -1;
    armed = false;
    writeAddress = streamStart = 0;
    tableWritten = false;
    pageBuffer.clear();
    erasing = false;
    busyUntil = {};
}

} // namespace platform
