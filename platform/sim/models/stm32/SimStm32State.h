#pragma once

#include "platform/Export.h"
#include "platform/sim/SimDescriptors.h"
#include "protocol/DfuProtocol.h"
#include "protocol/ZanthicIds.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The DFU side of a simulated STM32 converter: the functional descriptor's fields and the
// bootloader's behaviour, as knobs. bmAttributes picks the variant: without willDetach the
// application waits in appDETACH for a bus reset, and so does the bootloader once manifested;
// without manifestationTolerant the manifestation ends in dfuMANIFEST-WAIT-RESET.
struct TWG_PLATFORM_API SimStm32Dfu {
    bool runtimeInterface = true; // the application's run-time DFU interface
    std::uint8_t interfaceNumber = 1;
    std::uint8_t attributes = 0x0D; // willDetach, manifestationTolerant, canDnload
    std::uint16_t detachTimeoutMs = 1000;
    std::uint16_t transferSize = 2048;
    std::uint16_t version = 0x0110;
    std::uint32_t pollTimeoutMs = 5; // bwPollTimeout after a block and in manifestation
    int reenumerateDelayMs = 100;
    // How long a device with willDetach but without tolerance stays in dfuMANIFEST-WAIT-RESET
    // before it detaches by itself; a bus reset before then starts the application at once.
    int waitResetDetachMs = 500;
    std::uint32_t flashSize = 1u << 20;
    // Faults.
    bool rebootAtFinalDnload = false; // answers the empty DNLOAD by rebooting (no answer)
    int errorAfterBlock = -1;         // dfuERROR once this block has been written
    bool busyForever = false;         // never leaves dfuDNBUSY
    bool neverBack = false;           // leaves the bus after manifestation and stays away
    // A tolerant device that still ends its manifestation in dfuMANIFEST-WAIT-RESET, waiting
    // for a port reset (the standard has it in dfuIDLE).
    bool waitResetAfterManifest = false;
    // The errorAt-th status answer in bState errorState carries bStatus errorStatus, with the
    // state unchanged (not as the standard has it: dfuERROR), and the device is in dfuERROR from
    // then on. -1: never. Counted over the device's life, so it strikes once.
    int errorState = -1;
    int errorAt = 1;
    std::uint8_t errorStatus = TWG::Dfu::kStatusErrUnknown;
};

// What a simulated STM32 Zanthic converter keeps across its personas: identity, the control
// interface's shape, the boot mode and the properties with the protocol's handle table, the
// DFU knobs and the flash. Tests read and change it between requests.
struct TWG_PLATFORM_API SimStm32State {
    SimStm32State();

    // Identity the device enumerates with; bcdDevice is the hardware revision.
    std::uint16_t vendorId = TWG::Zanthic::ids::kVendorId;
    std::uint16_t productId = 0xBE6F;
    std::uint16_t release = 0x0100;
    std::string serial = "5A4E0001ABCD";
    // Answered in place of the serial-number string descriptor (bytes as sent, bLength and all).
    std::optional<std::vector<std::uint8_t>> rawSerialDescriptor;

    // The vendor-class control interface (FF/03/00) and its functional descriptor (type 0x21).
    bool controlInterface = true;
    std::uint8_t controlInterfaceNumber = 0;
    bool answersIdentity = true;        // attribute bit 0
    std::uint8_t functionalLength = 10; // below 10: too short for the host
    std::uint8_t bootMode = 1;          // of the application

    // Property values by key. A key never set reads as a get failure (stall).
    std::map<std::string, std::vector<std::uint8_t>> properties;
    int factoryResets = 0;
    // How long the device takes to store each piece of a "LutData" value: a LUT upload slow
    // enough to watch.
    int lutPieceMs = 0;

    // The handle table: each get-handle request makes a new handle; a key and a value reach
    // it in pieces, and a piece shorter than the chunk size ends either.
    std::uint16_t nextHandle = 1;
    std::map<std::uint16_t, std::string> handleKeys;
    std::map<std::uint16_t, std::vector<std::uint8_t>> pendingKeys;
    std::map<std::uint16_t, std::vector<std::uint8_t>> pendingValues;
    std::vector<std::string> violations;

    SimStm32Dfu dfu;
    // The image the bootloader received, byte for byte (the flash from its start).
    std::vector<std::uint8_t> flash;
    // The flash holds a whole application: false from a download's first block until its final
    // empty one, or once the bootloader reported an error in the download or manifestation.
    // Decides what a reset of the bootloader and a power-up start.
    bool applicationValid = true;
    int detaches = 0;
    int manifestations = 0;
    int errorAnswers = 0; // status answers seen in dfu.errorState

    SimDescriptors descriptors(bool bootloader = false) const;
    std::string text(const std::string& key) const;
    void setText(const std::string& key, const std::string& value);
    // What a factory reset gives the settings.
    void restoreFactorySettings();
    // The application starts from the flash: "BuildId" becomes the build id its image names.
    void startApplicationFromFlash();
};

} // namespace platform
