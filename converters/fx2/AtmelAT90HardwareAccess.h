#pragma once

#include "protocol/At90Protocol.h"

#include <cstdint>

namespace TWG {
namespace USB {
class IUSBDevice;
struct USBControlRequest;
} // namespace USB
namespace Converters {

class AbstractUSBDevice;

// Programs the AT90 microcontroller behind an FX2 through the FX2's vendor requests.
class AtmelAT90HardwareAccess {
public:
    // Neither is owned: the programmer lives inside the device object.
    AtmelAT90HardwareAccess(AbstractUSBDevice* device, USB::IUSBDevice* usbDevice);
    virtual ~AtmelAT90HardwareAccess();
    AtmelAT90HardwareAccess(const AtmelAT90HardwareAccess&) = delete;
    AtmelAT90HardwareAccess& operator=(const AtmelAT90HardwareAccess&) = delete;

    virtual bool enterProgramming();
    virtual bool leaveProgramming();
    virtual bool writeAndVerify();
    virtual bool writeFuses();
    virtual bool writeLockBits();
    virtual bool chipErase();
    virtual bool preparePages();
    // Writes min(count, 256) bytes as the page and verifies one of them; *written = the count.
    virtual bool writePage(std::uint32_t page, const std::uint8_t* data, std::uint32_t count,
                           std::uint32_t* written);
    virtual USB::IUSBDevice* getDevice();
    virtual USB::IUSBDevice* getHostDevice();
    virtual bool reservedCheckA();
    virtual int reservedValue();
    virtual std::uint32_t controlTransfer(USB::USBControlRequest* request);
    virtual bool reservedCheckB();
    virtual bool reservedCheckC();
    virtual bool reservedCheckD();
    virtual bool reservedCheckE();

    // The status request's outcome; the status byte is preset so a short answer fails.
    at90::Status statusRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index);
    bool readByte(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::uint8_t* out);

private:
    AbstractUSBDevice* device_;
    USB::IUSBDevice* usbDevice_;
};

} // namespace Converters
} // namespace TWG
