#pragma once

#include "plugins/zanthic/device/PotentialDevice.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace TWG {
namespace Converters {
class XmegaUSBDevice;
} // namespace Converters

namespace Zanthic {

// A text field of the register map (a name): the bytes up to the first zero byte, or all of
// them, as UTF-8; bytes that are not UTF-8 (a name an older tool wrote) read as Latin-1.
QString registerFieldText(const char* field, std::size_t length);

// An XMEGA converter (0xBE90, 0xBE91): known by its uuid, its identity in registers, reached
// through the XMEGA vendor-request channel. It reads its identity once, as it is made (in a
// running application only: a bootloader has none of those registers), and answers from that.
// The constructor throws "No device interface." for a device without the XMEGA interface, and
// DeviceNotIdentified ("No device interface.", "UUID read failure.") for one whose opening or
// uuid read failed at a request.
class XmegaUsbPotentialDevice : public UsbPotentialDevice {
public:
    XmegaUsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device);
    ~XmegaUsbPotentialDevice() override;

    // Never for a device found in its bootloader.
    bool isFirmwareCurrent(const QString& available) override;
    void readIdentity() override;

    const std::shared_ptr<Converters::XmegaUSBDevice>& channel() const { return channel_; }
    // Non-zero while the bootloader runs; false when the mode cannot be read.
    bool readBootState(std::uint8_t* state);
    bool reboot(bool intoBootloader);
    // Writes the application image; only while the bootloader runs.
    bool programBootloader(const std::uint8_t* data, std::uint32_t size);

    // Staged EEPROM programming: a session opens only while the application runs (a stale one
    // is closed first).
    bool beginStagedProgramming();
    bool endStagedProgramming();
    // Erases and writes one image to an EEPROM target within the open session. progress hears
    // 0 to 0.5 while the erase runs and 0.5 to 1 while the data goes out. Both waits on the
    // device are bounded and end early once *stop is set; each step's failure is logged.
    using ProgramProgress = std::function<void(float fraction)>;
    bool program(std::uint16_t target, std::uint32_t address, const std::uint8_t* data, std::uint32_t length,
                 ProgramProgress progress, const std::atomic<bool>* stop = nullptr);

private:
    // Register text as registerFieldText reads it; empty when unreadable.
    QString registerText(std::uint32_t address, std::uint32_t length, CreationReads& reads);
    // " fpga:" and, when known, " xmega:" versions, trimmed.
    QString readBuildId(CreationReads& reads);

    std::shared_ptr<Converters::XmegaUSBDevice> channel_;
    // The boot state as the identity was read; unknown when it did not read. Under the
    // identity lock.
    bool bootStateKnown_ = false;
    std::uint8_t bootState_ = 0;
};

} // namespace Zanthic
} // namespace TWG
