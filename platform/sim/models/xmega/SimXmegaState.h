#pragma once

#include "platform/Clock.h"
#include "platform/Export.h"
#include "platform/sim/SimDescriptors.h"
#include "platform/sim/models/xmega/SimXmegaEeprom.h"
#include "protocol/ConverterIds.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// What a simulated XMEGA converter keeps across restarts: identity, uuid, application area,
// versions, registers, EEPROM targets with their session, power. Both personas (application
// and bootloader) work on one state; tests read and change it between requests.
struct TWG_PLATFORM_API SimXmegaState {
    SimXmegaState();

    // Identity the device enumerates with.
    std::uint16_t vendorId = TWG::Converters::ids::kVendorId;
    std::uint16_t productId = 0xBD91;
    std::array<std::uint8_t, 16> uuid{};

    // Application area of the bootloader.
    std::uint16_t pageSize = 256;
    std::uint16_t pageCount = 128;
    std::vector<std::uint8_t> application; // pageSize x pageCount bytes
    std::uint32_t versions[2] = {1, 1};
    // Versions once a write has ended (empty 0x05); unset: they stay, but for the Zanthic map,
    // whose application names its version in its first four bytes (little-endian), both numbers.
    std::function<std::pair<std::uint32_t, std::uint32_t>(const std::vector<std::uint8_t>&)> versionsAfterWrite;

    // Registers: sparse 24-bit memory, unset bytes read 0.
    std::map<std::uint32_t, std::uint8_t> memory;
    // Classic: address 0 is one version byte, the LUT names mirror their EEPROM slots and the
    // downconversion register answers with its status. Zanthic (0xBE90, 0xBE91): plain bytes,
    // but for the 4-byte FPGA version at 0, the factory reset register, and the LUT command
    // (3, loaded), which makes the name written with the LUT (1040) the one reported (784).
    enum class RegisterMap { Classic, Zanthic };
    RegisterMap registerMap = RegisterMap::Classic;
    std::uint32_t fpgaVersion = 0x1A; // Zanthic register 0 while powered
    // Zanthic: a session that wrote the FPGA image (its first four bytes the version) loads it
    // when it closes, and register 0 then reports that version.
    bool fpgaImageWritten = false;
    int fpgaZeroReads = 0;            // reads of register 0 that still give 0
    // Zanthic register 10 reads 0 again on this read after a reset command; 0: never.
    int resetDoneOnRead = 1;
    bool resetPending = false;
    int resetReads = 0;
    int factoryResets = 0;
    std::uint8_t versionByte = 1; // address 0 while powered
    // The version byte once an EEPROM session that wrote an image table has closed: the FPGA
    // then runs the image that table names. Unset: it stays.
    std::optional<std::uint8_t> versionByteAfterUpdate;
    bool powered = true;
    bool hasPowerRequest = false; // answers 0xA0

    // EEPROM.
    std::vector<SimXmegaEeprom> eeproms;
    std::uint16_t outPacketSize = 64;
    bool sessionOpen = false;
    bool sessionSticks = false; // a close never takes effect
    int target = -1;
    bool armed = false;
    std::uint64_t writeAddress = 0;
    std::uint64_t streamStart = 0;
    bool tableWritten = false; // by the open session
    std::vector<std::uint8_t> pageBuffer;
    bool erasing = false;
    std::uint32_t eraseFirst = 0, eraseCount = 0, eraseDone = 0;
    Clock::TimePoint eraseStart{};
    int eraseMsPerSector = 5;
    bool eraseForever = false;
    bool eraseTotalUnknown = false; // the progress record gives a total of 0 while the erase runs
    Clock::TimePoint busyUntil{};
    int writeBusyMs = 600;
    bool busyForever = false;

    int restartDelayMs = 100;
    bool neverBack = false; // a restart leaves the bus for good
    bool writeStatusStalls = false; // the session status stalls while a write is busy
    int restarts = 0;
    std::vector<std::string> violations;

    bool applicationPresent() const;
    SimDescriptors descriptors(bool bootloader) const;
    // The byte a register read gives (LUT names mirror their EEPROM slot).
    std::uint8_t readRegister(std::uint32_t address) const;
    void writeRegister(std::uint32_t address, std::uint8_t value);
    // One memory read request of data.size() bytes from base: the register bytes, and what
    // reading changes (the Zanthic reset's progress, the FPGA version's start-up zeros).
    void readMemory(std::uint32_t base, std::vector<std::uint8_t>& data);
    // Erases the sectors due by now; true while the erase still runs.
    bool advanceErase();
    bool writeBusy() const;
    // The EEPROM stream ended (short packet or zero-length packet).
    void endStream();
    // A close request (0x32).
    void closeSession();
    // An application write has ended: the versions the written application carries.
    void applicationWritten();
    // The Zanthic converters' EEPROM targets: the FPGA and LUT target, and a small second one.
    static std::vector<SimXmegaEeprom> zanthicEeproms();
    void commitPages(bool partial);
    // Power off and on (a replug): what lives only while powered is lost, the memories stay.
    void powerCycle();
};

} // namespace platform
