#include "converters/xmega/XmegaUSBDevice.h"

#include "converters/BoundedPoll.h"
#include "converters/xmega/Progress.h"
#include "converters/xmega/XmegaLog.h"
#include "platform/Clock.h"
#include "protocol/UsbChapter9.h"
#include "protocol/XmegaProtocol.h"
#include "usb/IUSBDevice.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/USBControlRequest.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace TWG {
namespace Converters {

using namespace xmega;

namespace {

std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t get32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t get64(const std::uint8_t* p) { return get32(p) | (static_cast<std::uint64_t>(get32(p + 4)) << 32); }
void put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

XmegaUSBDevice::XmegaUSBDevice(USB::IUSBDevice* device) : device_(device)
{
    if (device_)
        device_->addRef();
}

XmegaUSBDevice::~XmegaUSBDevice()
{
    closeInterface();
    if (device_) {
        device_->reserved();
        device_->release();
    }
}

std::shared_ptr<XmegaUSBDevice> XmegaUSBDevice::create(USB::IUSBDevice* device)
{
    return createAs<XmegaUSBDevice>(device);
}

void XmegaUSBDevice::closeInterface()
{
    if (interface_) {
        interface_->close();
        interface_->release();
        interface_ = nullptr;
    }
}

bool XmegaUSBDevice::openInterface()
{
    std::uint8_t configurations = 0;
    if (device_->getConfigurationState() != USB::kResultSuccess ||
        device_->getConfigurationCount(&configurations) != USB::kResultSuccess || configurations == 0 ||
        device_->selectConfiguration(0) != USB::kResultSuccess)
        return false;
    const std::uint32_t filter[2] = {kInterfaceFilterWord0, kInterfaceFilterWord1};
    USB::IUSBInterfaceIterator* it = nullptr;
    if (device_->createInterfaceIterator(filter, &it) != USB::kResultSuccess || !it)
        return false;
    const bool found = it->next(&interface_);
    it->release();
    if (!found || !interface_) {
        interface_ = nullptr;
        return false;
    }
    std::uint8_t endpoints = 0;
    if (interface_->open() != USB::kResultSuccess ||
        interface_->getInterfaceNumber(&interfaceNumber_) != USB::kResultSuccess ||
        interface_->getEndpointCount(&endpoints) != USB::kResultSuccess)
        return false;
    outPipe_ = inPipe_ = static_cast<std::uint8_t>(endpoints + 1);
    for (unsigned e = 1; e <= endpoints; ++e) {
        std::uint8_t direction = 0, type = 0, extra = 0;
        std::uint16_t maxPacket = 0;
        const auto index = static_cast<std::uint8_t>(e);
        if (interface_->getEndpointInfo(index, &direction, &type, &maxPacket, &extra) != USB::kResultSuccess ||
            type != usbch9::kEndpointBulk)
            continue;
        if (interface_->enablePipe(index) != USB::kResultSuccess)
            return false;
        if (direction == usbch9::kDirectionOut && !outFound_) {
            outPipe_ = index;
            outPacketSize_ = maxPacket;
            outFound_ = true;
        } else if (direction == usbch9::kDirectionIn && !inFound_) {
            inPipe_ = index;
            inPacketSize_ = maxPacket;
            inFound_ = true;
        }
    }
    return true;
}

bool XmegaUSBDevice::open()
{
    if (!device_ || !openInterface()) {
        qCDebug(lcXmega) << "XMEGA interface could not be opened";
        return false;
    }
    std::uint8_t mode = 0;
    if (!getMode(&mode))
        return false;
    if (mode != 0)
        return true;
    if (!outFound_ || !inFound_) {
        qCDebug(lcXmega) << "XMEGA application without its bulk pipes";
        return false;
    }
    return true;
}

std::uint16_t XmegaUSBDevice::vendorId() const
{
    std::uint16_t id = 0;
    if (!device_ || device_->getVendorId(&id) != USB::kResultSuccess)
        return 0;
    return id;
}

std::uint16_t XmegaUSBDevice::productId() const
{
    std::uint16_t id = 0;
    if (!device_ || device_->getProductId(&id) != USB::kResultSuccess)
        return 0;
    return id;
}

bool XmegaUSBDevice::request(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                             std::uint16_t length, void* data)
{
    if (!device_)
        return false;
    USB::USBControlRequest r;
    r.bmRequestType = requestType;
    r.bRequest = request;
    r.wValue = value;
    r.wIndex = interfaceNumber_;
    r.wLength = length;
    r.data = length ? data : nullptr;
    r.timeoutA = kRequestTimeoutMs;
    r.timeoutB = kRequestTimeoutMs;
    const std::uint32_t result = device_->controlTransfer(&r);
    if (result != USB::kResultSuccess) {
        qCDebug(lcXmega, "request 0x%02X/0x%02X wValue %u failed: %u", requestType, request, value, result);
        return false;
    }
    return true;
}

bool XmegaUSBDevice::setIdentity(std::uint16_t vendorId, std::uint16_t productId)
{
    std::uint8_t b[kSetIdentityLength];
    put16(b, vendorId);
    put16(b + 2, productId);
    std::memcpy(b + 4, kIdentityField, kIdentityFieldLength);
    return request(kVendorInterfaceOut, kSetIdentity, 0, sizeof b, b);
}

bool XmegaUSBDevice::programUuid(const Uuid& uuid)
{
    std::uint8_t b[kProgramUuidLength];
    std::memcpy(b, uuid.data(), kUuidLength);
    std::memcpy(b + kUuidLength, kIdentityField, kIdentityFieldLength);
    return request(kVendorInterfaceOut, kProgramUuid, 0, sizeof b, b);
}

bool XmegaUSBDevice::getBootloaderStatus(std::uint16_t* pageSize, std::uint16_t* pageCount)
{
    std::uint8_t b[kBootloaderStatusLength] = {};
    if (!request(kVendorInterfaceIn, kGetBootloaderStatus, 0, sizeof b, b))
        return false;
    if (pageSize)
        *pageSize = get16(b);
    if (pageCount)
        *pageCount = get16(b + 2);
    return true;
}

bool XmegaUSBDevice::eraseApplication() { return request(kVendorInterfaceOut, kEraseApplication, 0, 0, nullptr); }

bool XmegaUSBDevice::applicationBlocks(std::uint32_t* blockSize, std::uint32_t* pagesPerBlock,
                                       std::uint32_t* areaSize)
{
    std::uint16_t page = 0, count = 0;
    if (!getBootloaderStatus(&page, &count))
        return false;
    // A page of 0 or beyond one block leaves no block to walk with.
    if (page == 0 || page > kApplicationBlockLimit) {
        qCWarning(lcXmega) << "XMEGA bootloader reports an unusable page size" << page;
        return false;
    }
    *pagesPerBlock = kApplicationBlockLimit / page;
    *blockSize = page * *pagesPerBlock;
    *areaSize = static_cast<std::uint32_t>(page) * count;
    return true;
}

bool XmegaUSBDevice::writeApplication(std::uint32_t length, const std::uint8_t* data)
{
    if (length && !data)
        return false;
    std::uint32_t block = 0, pages = 0, area = 0;
    if (!applicationBlocks(&block, &pages, &area))
        return false;
    // An image the area cannot hold would only cost the application it replaces.
    if (length > area) {
        qCWarning(lcXmega) << "XMEGA application image of" << length << "bytes exceeds the area of" << area;
        return false;
    }
    if (!eraseApplication())
        return false;
    std::vector<std::uint8_t> piece;
    for (std::uint32_t offset = 0, first = 0; offset < length; offset += block, first += pages) {
        if (first > 0xFFFF)
            return false;
        const std::uint32_t n = std::min(length - offset, block);
        piece.assign(data + offset, data + offset + n);
        if (!request(kVendorInterfaceOut, kWriteApplication, static_cast<std::uint16_t>(first),
                     static_cast<std::uint16_t>(n), piece.data()))
            return false;
    }
    return request(kVendorInterfaceOut, kWriteApplication, 0, 0, nullptr);
}

bool XmegaUSBDevice::readApplication(std::uint32_t length, std::uint8_t* data)
{
    if (length && !data)
        return false;
    std::uint32_t block = 0, pages = 0, area = 0;
    if (!applicationBlocks(&block, &pages, &area))
        return false;
    for (std::uint32_t offset = 0, first = 0; offset < length; offset += block, first += pages) {
        if (first > 0xFFFF)
            return false;
        const std::uint32_t n = std::min(length - offset, block);
        if (!request(kVendorInterfaceIn, kReadApplication, static_cast<std::uint16_t>(first),
                     static_cast<std::uint16_t>(n), data + offset))
            return false;
    }
    return true;
}

bool XmegaUSBDevice::isApplicationBlank(bool* blank)
{
    std::uint32_t block = 0, pages = 0, area = 0;
    if (!blank || !applicationBlocks(&block, &pages, &area))
        return false;
    *blank = false;
    std::vector<std::uint8_t> b(block);
    for (std::uint32_t offset = 0, first = 0; offset < area; offset += block, first += pages) {
        if (first > 0xFFFF)
            return false;
        const std::uint32_t n = std::min(area - offset, block);
        std::fill(b.begin(), b.end(), 0);
        if (!request(kVendorInterfaceIn, kReadApplication, static_cast<std::uint16_t>(first),
                     static_cast<std::uint16_t>(n), b.data()))
            return false;
        if (!std::all_of(b.begin(), b.begin() + n, [](std::uint8_t v) { return v == 0xFF; }))
            return true;
    }
    *blank = true;
    return true;
}

bool XmegaUSBDevice::getUuid(Uuid* uuid)
{
    Uuid b{};
    if (!request(kVendorDeviceIn, kGetUuid, 0, kUuidLength, b.data()))
        return false;
    if (uuid)
        *uuid = b;
    return true;
}

bool XmegaUSBDevice::getMode(std::uint8_t* mode)
{
    std::uint8_t b = 0;
    if (!request(kVendorInterfaceIn, kGetMode, 0, kModeLength, &b))
        return false;
    if (mode)
        *mode = b;
    return true;
}

bool XmegaUSBDevice::getVersions(std::uint32_t* first, std::uint32_t* second)
{
    // Unequal defaults: a short answer never passes for a matching pair.
    std::uint8_t b[kVersionsLength] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    if (!request(kVendorInterfaceIn, kGetVersions, 0, sizeof b, b))
        return false;
    if (first)
        *first = get32(b);
    if (second)
        *second = get32(b + 4);
    return true;
}

bool XmegaUSBDevice::restart() { return request(kVendorInterfaceOut, kRestart, kRestartApplication, 0, nullptr); }

bool XmegaUSBDevice::restartIntoBootloader()
{
    return request(kVendorInterfaceOut, kRestart, kRestartBootloader, 0, nullptr);
}

bool XmegaUSBDevice::getSessionStatus(bool* open, bool* busy)
{
    // Open and busy until the device says otherwise.
    std::uint8_t b[kSessionStatusLength] = {1, 1, 1, 0, 0, 0};
    if (!request(kVendorInterfaceIn, kGetSessionStatus, 0, sizeof b, b))
        return false;
    if (open)
        *open = b[kSessionOffOpen] != 0;
    if (busy)
        *busy = b[kSessionOffBusyA] != 0 || b[kSessionOffBusyB] != 0;
    return true;
}

bool XmegaUSBDevice::beginStagedProgramming()
{
    bool open = false;
    if (!getSessionStatus(&open, nullptr))
        return false;
    if (open) {
        if (!endStagedProgramming())
            return false;
        BoundedPoll poll(kStaleSessionPolls, kStaleSessionPollMs);
        while (open) {
            if (!poll.next()) {
                qCWarning(lcXmega) << "XMEGA EEPROM session did not close";
                return false;
            }
            // A failed read ends the wait: the open request then tells.
            if (!getSessionStatus(&open, nullptr))
                break;
            if (open)
                poll.pause();
        }
    }
    return request(kVendorInterfaceOut, kOpenSession, 0, 0, nullptr);
}

bool XmegaUSBDevice::endStagedProgramming() { return request(kVendorInterfaceOut, kCloseSession, 0, 0, nullptr); }

bool XmegaUSBDevice::setTargetEeprom(std::uint16_t target)
{
    return request(kVendorInterfaceOut, kSetTargetEeprom, target, 0, nullptr);
}

bool XmegaUSBDevice::getEepromInfo(std::uint64_t* size, std::uint32_t* sectorSize, std::uint32_t* pageSize)
{
    std::uint8_t b[kEepromInfoLength] = {};
    if (!request(kVendorInterfaceIn, kGetEepromInfo, 0, sizeof b, b))
        return false;
    const std::uint32_t sector = get32(b + kInfoOffSectorSize);
    const std::uint32_t page = get32(b + kInfoOffPageSize);
    if (sector == 0 || page == 0) {
        qCWarning(lcXmega) << "XMEGA EEPROM reports sector size" << sector << "and page size" << page;
        return false;
    }
    if (size)
        *size = get64(b + kInfoOffSize);
    if (sectorSize)
        *sectorSize = sector;
    if (pageSize)
        *pageSize = page;
    return true;
}

bool XmegaUSBDevice::eraseEeprom(std::uint32_t firstSector, std::uint32_t sectorCount)
{
    std::uint8_t b[kEraseEepromLength];
    put32(b, firstSector);
    put32(b + 4, sectorCount);
    return request(kVendorInterfaceOut, kEraseEeprom, 0, sizeof b, b);
}

bool XmegaUSBDevice::getEepromProgress(XmegaEepromProgress* progress)
{
    std::uint8_t b[kEepromProgressLength] = {};
    b[kProgressOffBusy] = 1;
    if (!request(kVendorInterfaceIn, kGetEepromProgress, 0, sizeof b, b))
        return false;
    if (progress) {
        progress->start = get32(b + kProgressOffStart);
        progress->total = get32(b + kProgressOffTotal);
        progress->current = get32(b + kProgressOffCurrent);
        progress->busy = get16(b + kProgressOffBusy);
        progress->erasePhase = b[kProgressOffErasePhase];
    }
    return true;
}

bool XmegaUSBDevice::writeEepromData(std::uint32_t firstPage, std::uint32_t length, const std::uint8_t* data,
                                     const Progress* progress)
{
    if ((length && !data) || !outFound_ || !interface_)
        return false;
    std::uint8_t b[kWriteEepromDataLength];
    put32(b, firstPage);
    if (!request(kVendorInterfaceOut, kWriteEepromData, 0, sizeof b, b))
        return false;
    std::uint32_t page = 0;
    if (!getEepromInfo(nullptr, nullptr, &page))
        return false;
    const std::uint32_t packet = outPacketSize_;
    if (packet == 0)
        return false;
    const std::uint64_t rounded = (static_cast<std::uint64_t>(page) + packet - 1) / packet * packet;
    if (rounded % page != 0 || rounded > kEepromChunkLimit) {
        qCWarning(lcXmega) << "XMEGA EEPROM page" << page << "does not fit packets of" << packet;
        return false;
    }
    const std::uint32_t chunk = kEepromChunkLimit - kEepromChunkLimit % static_cast<std::uint32_t>(rounded);
    const std::uint32_t count = (length + chunk - 1) / chunk;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (progress)
            progress->report(i, count);
        const std::uint32_t offset = i * chunk;
        const std::uint32_t n = std::min(chunk, length - offset);
        if (interface_->write(outPipe_, data + offset, n, kEepromChunkTimeoutMs, kEepromChunkTimeoutMs) !=
            USB::kResultSuccess)
            return false;
        // A transfer of whole packets does not end a partial page: the device needs the ZLP.
        if (n % page != 0 && n % packet == 0 &&
            interface_->write(outPipe_, nullptr, 0, kEepromChunkTimeoutMs, kEepromChunkTimeoutMs) !=
                USB::kResultSuccess)
            return false;
    }
    if (progress)
        progress->report(count, count);
    return interface_->write(outPipe_, nullptr, 0, kEepromFinalTimeoutMs, kEepromFinalTimeoutMs) ==
           USB::kResultSuccess;
}

bool XmegaUSBDevice::memoryAccess(bool write, std::uint32_t address, std::uint32_t length, std::uint8_t* data)
{
    if (length && !data)
        return false;
    if (static_cast<std::uint64_t>(address) + length > (static_cast<std::uint64_t>(0xFFFF) + 1) * kSegmentSize)
        return false;
    std::lock_guard<std::mutex> lock(memoryMutex_);
    while (length > 0) {
        const std::uint32_t offset = address & (kSegmentSize - 1);
        const std::uint32_t n = std::min({length, kSegmentSize - offset, kMaxMemoryPiece});
        const int segment = static_cast<int>(address >> 16);
        if (segment != segment_) {
            if (!request(kVendorInterfaceOut, kSelectSegment, static_cast<std::uint16_t>(segment), 0, nullptr)) {
                segment_ = -1;
                return false;
            }
            segment_ = segment;
        }
        if (!request(write ? kVendorInterfaceOut : kVendorInterfaceIn, write ? kWriteMemory : kReadMemory,
                     static_cast<std::uint16_t>(offset), static_cast<std::uint16_t>(n), data))
            return false;
        address += n;
        data += n;
        length -= n;
    }
    return true;
}

bool XmegaUSBDevice::readMemory(std::uint32_t address, std::uint32_t length, void* data)
{
    return memoryAccess(false, address, length, static_cast<std::uint8_t*>(data));
}

bool XmegaUSBDevice::writeMemory(std::uint32_t address, std::uint32_t length, const void* data)
{
    // The request only reads the buffer; a copy keeps the caller's const promise.
    std::vector<std::uint8_t> copy(static_cast<const std::uint8_t*>(data),
                                   static_cast<const std::uint8_t*>(data) + (data ? length : 0));
    if (length && !data)
        return false;
    return memoryAccess(true, address, length, copy.data());
}

bool XmegaUSBDevice::setAsyncWindow(platform::WindowId window, std::uint32_t message)
{
    return device_ && device_->setAsyncWindow(window, message) == USB::kResultSuccess;
}

} // namespace Converters
} // namespace TWG
