#pragma once

#include "converters/fx2/Fx2ProductTable.h"

#include <atomic>
#include <cstdint>

namespace TWG {
namespace USB {
class IUSBDevice;
class IUSBInterface;
} // namespace USB
namespace Converters {

class AtmelAT90HardwareAccess;

// An EZ-USB FX2 controller reached through its vendor requests: RAM download, registers,
// flash through the FX2, boot EEPROM and the bulk OUT pipe. Reference-counted (starts at 1).
// Operations block the calling thread; every pause goes through the process clock.
class AbstractUSBDevice {
public:
    // Takes a reference on the device.
    AbstractUSBDevice(USB::IUSBDevice* device, const Fx2ProductEntry& product);
    AbstractUSBDevice(const AbstractUSBDevice&) = delete;
    AbstractUSBDevice& operator=(const AbstractUSBDevice&) = delete;

    // Run on arrival. A controller without firmware gets its RAM image and is dropped (false):
    // it comes back with its firmware. Otherwise the bulk interface is opened.
    virtual bool startUp();
    virtual ~AbstractUSBDevice();

    std::int32_t addRef();
    std::int32_t release();

    virtual bool isPowered(bool* powered);
    virtual bool probeReady(bool* ready);
    virtual std::uint32_t queryUnsupportedA();
    virtual std::uint32_t queryUnsupportedB();
    virtual bool waitUntilReady();
    virtual bool getProductId(std::uint16_t* out);
    virtual bool getVendorId(std::uint16_t* out);
    virtual bool getDeviceRelease(std::uint16_t* out);
    virtual bool readRegister(std::uint8_t reg, std::uint8_t* value);
    virtual bool writeRegister(std::uint8_t reg, std::uint8_t value);
    virtual bool reservedCheckA();
    virtual bool reservedCheckB();
    virtual bool readVersionRegister(std::uint8_t* value);
    virtual bool eraseFlash(std::uint32_t start, std::uint32_t length);
    virtual bool writeFlash(const std::uint8_t* data, std::uint32_t length);
    virtual bool restartAndWait(bool wait);
    virtual bool enterProgramming(std::uint32_t startAddress);
    virtual bool leaveProgramming();
    virtual void setAT90ThroughFX2(bool on);
    virtual bool isAT90ThroughFX2();
    virtual bool writeBootHeader();
    virtual bool clearBootHeader();
    virtual bool sendModePair(std::uint8_t first, std::uint8_t second);
    virtual bool bulkWrite(const std::uint8_t* data, std::uint32_t length);
    virtual AtmelAT90HardwareAccess* at90Programmer();
    virtual int reservedValueA();
    virtual int reservedValueB();
    virtual int reservedValueC();
    virtual bool resetDevice();
    virtual bool configure();
    virtual bool openBulkInterface();
    virtual bool needsRamFirmware();
    virtual bool downloadRamFirmware();
    virtual bool writeRam(std::uint16_t address, const std::uint8_t* data, std::uint16_t length, int attempts);
    virtual bool readEepromByte(std::uint16_t address, std::uint8_t* value);
    virtual bool writeEepromByte(std::uint16_t address, std::uint8_t value);
    virtual int eraseMethod() const = 0;
    virtual int writeMethod() const = 0;
    virtual int eepromMethod() const = 0;
    virtual bool usesAltConfigByte() const;
    virtual std::uint32_t pageSize() const;
    virtual std::uint32_t maxBlockCount() const;
    virtual std::uint32_t blockSize() const;
    virtual std::uint32_t addressWidth() const;
    virtual bool eraseBlocks(std::uint32_t start, std::uint32_t length);
    virtual bool waitFlashDone();
    virtual bool writeFlashPages(const std::uint8_t* data, std::uint32_t length);
    virtual bool writeFlashAddressedPages(const std::uint8_t* data, std::uint32_t length);
    virtual bool writeFlashStream(const std::uint8_t* data, std::uint32_t length);
    virtual bool writeC2Image();
    virtual bool writeC0Header();
    virtual bool canProgramFX2();
    virtual bool sendEnterProgramming();
    virtual bool sendLeaveProgramming();

    USB::IUSBDevice* usbDevice() const { return device_; }
    const Fx2ProductEntry& product() const { return product_; }
    bool isProgramming() const { return programming_; }

protected:
    // One vendor request to the device with the FX2 time-outs; IN data is preset by the caller.
    bool vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index, void* data, std::uint16_t length);
    bool vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index, const void* data,
                   std::uint16_t length);
    // Polls 0xDF until it answers non-zero.
    bool pollFlashDone(int tries, int intervalMs);
    bool sendAddress(std::uint8_t request, std::uint32_t address);
    // Reads the byte, writes it only when it differs, reads it back.
    bool updateEepromByte(std::uint16_t address, std::uint8_t value);

private:
    bool openBulkInterfaceOnce(bool mayConfigure);

    bool programming_ = false;
    std::uint32_t nextWriteAddress_ = 0;
    Fx2ProductEntry product_;
    USB::IUSBDevice* device_;
    USB::IUSBInterface* interface_ = nullptr;
    std::uint8_t bulkPipe_ = 0;
    std::uint8_t modePair_[2];
    bool at90ThroughFx2_ = false;
    std::atomic<std::int32_t> refCount_{1};
    bool opening_ = false;
    bool configuredOnce_ = false;
};

} // namespace Converters
} // namespace TWG
