#pragma once

#include "platform/Messages.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace TWG {
namespace USB {
class IUSBDevice;
class IUSBInterface;
} // namespace USB

namespace Converters {

class Progress;

// One EEPROM progress record (0x38).
struct XmegaEepromProgress {
    std::uint32_t start = 0;
    std::uint32_t total = 0;
    std::uint32_t current = 0;
    std::uint16_t busy = 1; // pessimistic until the device answered
    std::uint8_t erasePhase = 0;
    std::uint32_t done() const { return current > start ? current - start : 0; }
};

// The vendor-request channel of an XMEGA converter: identity, mode, versions, memory,
// restarts, application programming and EEPROM sessions with their bulk OUT stream.
// Every operation answers whether all its requests worked.
class XmegaUSBDevice {
public:
    using Uuid = std::array<std::uint8_t, 16>;

    // Opens the device (takes its own reference); null when it cannot be used.
    static std::shared_ptr<XmegaUSBDevice> create(USB::IUSBDevice* device);
    virtual ~XmegaUSBDevice();
    XmegaUSBDevice(const XmegaUSBDevice&) = delete;
    XmegaUSBDevice& operator=(const XmegaUSBDevice&) = delete;

    USB::IUSBDevice* usbDevice() const { return device_; }
    std::uint16_t vendorId() const;
    std::uint16_t productId() const;
    std::uint8_t interfaceNumber() const { return interfaceNumber_; }
    std::uint16_t outPacketSize() const { return outPacketSize_; }
    bool hasOutPipe() const { return outFound_; }
    bool hasInPipe() const { return inFound_; }

    bool setIdentity(std::uint16_t vendorId, std::uint16_t productId);
    bool programUuid(const Uuid& uuid);
    bool getBootloaderStatus(std::uint16_t* pageSize, std::uint16_t* pageCount);
    bool eraseApplication();
    // Erases the application area and writes the image from page 0 on.
    bool writeApplication(std::uint32_t length, const std::uint8_t* data);
    // Reads length bytes of the application area from page 0 on.
    bool readApplication(std::uint32_t length, std::uint8_t* data);
    // Whether the whole application area reads as erased (0xFF).
    bool isApplicationBlank(bool* blank);
    bool getUuid(Uuid* uuid);
    // Non-zero: the bootloader runs; 0: the application runs.
    bool getMode(std::uint8_t* mode);
    bool getVersions(std::uint32_t* first, std::uint32_t* second);
    bool restart();
    bool restartIntoBootloader();

    bool getSessionStatus(bool* open, bool* busy);
    // Closes a stale session first, then opens one.
    bool beginStagedProgramming();
    bool endStagedProgramming();
    bool setTargetEeprom(std::uint16_t target);
    // Fails when the sector or the page size is 0: nothing could be addressed.
    bool getEepromInfo(std::uint64_t* size, std::uint32_t* sectorSize, std::uint32_t* pageSize);
    bool eraseEeprom(std::uint32_t firstSector, std::uint32_t sectorCount);
    bool getEepromProgress(XmegaEepromProgress* progress);
    bool writeEepromData(std::uint32_t firstPage, std::uint32_t length, const std::uint8_t* data,
                         const Progress* progress);

    // 24-bit memory (registers) behind the segment selection.
    bool readMemory(std::uint32_t address, std::uint32_t length, void* data);
    bool writeMemory(std::uint32_t address, std::uint32_t length, const void* data);

    // The posted completions of the device's interfaces go to this window.
    bool setAsyncWindow(platform::WindowId window, std::uint32_t message);

protected:
    explicit XmegaUSBDevice(USB::IUSBDevice* device);
    bool open();
    bool request(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t length,
                 void* data);

    template <typename T>
    static std::shared_ptr<T> createAs(USB::IUSBDevice* device)
    {
        std::shared_ptr<T> d(new T(device));
        if (!d->open())
            return nullptr;
        return d;
    }

private:
    bool openInterface();
    void closeInterface();
    bool memoryAccess(bool write, std::uint32_t address, std::uint32_t length, std::uint8_t* data);
    bool applicationBlocks(std::uint32_t* blockSize, std::uint32_t* pagesPerBlock, std::uint32_t* areaSize);

    USB::IUSBDevice* device_ = nullptr;
    USB::IUSBInterface* interface_ = nullptr;
    std::uint8_t interfaceNumber_ = 0;
    // An absent pipe keeps the index one past the last endpoint.
    std::uint8_t outPipe_ = 0;
    std::uint16_t outPacketSize_ = 0;
    bool outFound_ = false;
    std::uint8_t inPipe_ = 0;
    std::uint16_t inPacketSize_ = 0;
    bool inFound_ = false;
    // The update thread and the GUI thread's settings may both reach memory: a segment
    // selection and its access must not interleave with another's.
    std::mutex memoryMutex_;
    int segment_ = -1;
};

} // namespace Converters
} // namespace TWG
