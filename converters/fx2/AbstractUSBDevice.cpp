#include "converters/fx2/AbstractUSBDevice.h"

#include "converters/BoundedPoll.h"
#include "converters/fx2/Fx2Log.h"
#include "converters/fx2/Fx2RamImage.h"
#include "platform/Clock.h"
#include "protocol/Fx2Protocol.h"
#include "protocol/UsbChapter9.h"
#include "usb/IUSBDevice.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <vector>

namespace TWG {
namespace Converters {

using USB::kResultSuccess;

namespace {

constexpr std::uint32_t kConfigurationStateUnconfigured = 0;
constexpr std::uint32_t kConfigurationStateConfigured = 5;

void pause(int ms)
{
    platform::clock().sleepFor(platform::Clock::Duration(ms));
}

} // namespace

AbstractUSBDevice::AbstractUSBDevice(USB::IUSBDevice* device, const Fx2ProductEntry& product)
    : product_(product), device_(device), modePair_{fx2::kModeUnknown, fx2::kModeUnknown}
{
    if (device_)
        device_->addRef();
}

AbstractUSBDevice::~AbstractUSBDevice()
{
    if (interface_) {
        interface_->close();
        interface_->release();
    }
    if (device_)
        device_->release();
}

std::int32_t AbstractUSBDevice::addRef()
{
    return ++refCount_;
}

std::int32_t AbstractUSBDevice::release()
{
    const std::int32_t left = --refCount_;
    if (left == 0)
        delete this;
    return left;
}

bool AbstractUSBDevice::startUp()
{
    if (needsRamFirmware()) {
        downloadRamFirmware();
        // It re-enumerates with its firmware and is reported then.
        device_->release();
        device_ = nullptr;
        return false;
    }
    if (!openBulkInterface()) {
        device_->release();
        device_ = nullptr;
        return false;
    }
    return true;
}

bool AbstractUSBDevice::vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index, void* data,
                                 std::uint16_t length)
{
    if (!device_)
        return false;
    USB::USBControlRequest r = USB::USBControlRequest::deviceRequest(usbch9::kDirectionIn, request, value, index,
                                                                      length, data);
    r.timeoutA = r.timeoutB = fx2::kRequestTimeoutMs;
    return device_->controlTransfer(&r) == kResultSuccess;
}

bool AbstractUSBDevice::vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index, const void* data,
                                  std::uint16_t length)
{
    if (!device_)
        return false;
    USB::USBControlRequest r = USB::USBControlRequest::deviceRequest(usbch9::kDirectionOut, request, value, index,
                                                                      length, const_cast<void*>(data));
    r.timeoutA = r.timeoutB = fx2::kRequestTimeoutMs;
    return device_->controlTransfer(&r) == kResultSuccess;
}

bool AbstractUSBDevice::isPowered(bool* powered)
{
    if (!powered)
        return false;
    *powered = false;
    std::uint8_t b = 0;
    if (!vendorIn(fx2::kRequestPower, 0, 0, &b, 1))
        return false;
    *powered = b != 0;
    return true;
}

bool AbstractUSBDevice::probeReady(bool* ready)
{
    if (!ready)
        return false;
    *ready = false;
    std::uint8_t b = 0;
    if (!vendorIn(fx2::kRequestReadyProbe, 0, 0, &b, 1))
        return false;
    *ready = b != 0;
    return true;
}

std::uint32_t AbstractUSBDevice::queryUnsupportedA()
{
    return device_ ? device_->queryUnsupportedA() : USB::kResultDeviceGone;
}

std::uint32_t AbstractUSBDevice::queryUnsupportedB()
{
    return device_ ? device_->queryUnsupportedB() : USB::kResultDeviceGone;
}

bool AbstractUSBDevice::waitUntilReady()
{
    std::uint8_t v = 0;
    return readRegister(fx2::kRegisterPing, &v);
}

bool AbstractUSBDevice::getProductId(std::uint16_t* out)
{
    return out && device_ && device_->getProductId(out) == kResultSuccess;
}

bool AbstractUSBDevice::getVendorId(std::uint16_t* out)
{
    return out && device_ && device_->getVendorId(out) == kResultSuccess;
}

bool AbstractUSBDevice::getDeviceRelease(std::uint16_t* out)
{
    return out && device_ && device_->getDeviceRelease(out) == kResultSuccess;
}

bool AbstractUSBDevice::readRegister(std::uint8_t reg, std::uint8_t* value)
{
    if (!value)
        return false;
    std::uint8_t b = 0;
    if (!vendorIn(fx2::kRequestReadRegister, 0, static_cast<std::uint16_t>(reg << 8), &b, 1))
        return false;
    *value = b;
    return true;
}

bool AbstractUSBDevice::writeRegister(std::uint8_t reg, std::uint8_t value)
{
    if (!vendorOut(fx2::kRequestWriteRegister, 0, static_cast<std::uint16_t>(reg << 8 | value), nullptr, 0))
        return false;
    pause(fx2::kRegisterWritePauseMs);
    return true;
}

bool AbstractUSBDevice::reservedCheckA()
{
    return false;
}

bool AbstractUSBDevice::reservedCheckB()
{
    return false;
}

bool AbstractUSBDevice::readVersionRegister(std::uint8_t* value)
{
    return readRegister(fx2::kRegisterVersion, value);
}

bool AbstractUSBDevice::eraseFlash(std::uint32_t start, std::uint32_t length)
{
    if (!enterProgramming(start))
        return false;
    bool ok = true;
    switch (eraseMethod()) {
    case 0: ok = eraseBlocks(start, length); break;
    case 1: ok = waitFlashDone(); break;
    default: break;
    }
    return ok && sendModePair(fx2::kModeEraseDone[0], fx2::kModeEraseDone[1]);
}

bool AbstractUSBDevice::writeFlash(const std::uint8_t* data, std::uint32_t length)
{
    if (!programming_ || !data || length == 0)
        return false;
    switch (writeMethod()) {
    case 0: return writeFlashPages(data, length);
    case 1: return writeFlashAddressedPages(data, length);
    case 2: return writeFlashStream(data, length);
    default: return false;
    }
}

bool AbstractUSBDevice::restartAndWait(bool wait)
{
    if (writeMethod() == 2)
        pause(fx2::kRestartStreamPauseMs);
    bool ok = leaveProgramming();
    if (ok && wait) {
        ok = false;
        BoundedPoll poll(fx2::kRestartPolls, fx2::kRestartPollMs);
        while (poll.next()) {
            std::uint8_t v = 0;
            if (readRegister(fx2::kRegisterPing, &v) && v != 0) {
                ok = true;
                break;
            }
            poll.pause();
        }
    }
    pause(fx2::kRestartEndPauseMs);
    return ok;
}

bool AbstractUSBDevice::enterProgramming(std::uint32_t startAddress)
{
    if (at90ThroughFx2_ || !sendEnterProgramming())
        return false;
    nextWriteAddress_ = startAddress;
    programming_ = true;
    return true;
}

bool AbstractUSBDevice::leaveProgramming()
{
    const bool ok = sendLeaveProgramming();
    programming_ = false;
    at90ThroughFx2_ = false;
    return ok;
}

void AbstractUSBDevice::setAT90ThroughFX2(bool on)
{
    at90ThroughFx2_ = on;
}

bool AbstractUSBDevice::isAT90ThroughFX2()
{
    return at90ThroughFx2_;
}

bool AbstractUSBDevice::writeBootHeader()
{
    switch (eepromMethod()) {
    case 0: return writeC0Header();
    case 1: return writeC2Image();
    default: return false;
    }
}

bool AbstractUSBDevice::clearBootHeader()
{
    for (std::uint16_t a = 0; a < fx2::kBootClearLength; ++a)
        if (!updateEepromByte(a, fx2::kBootErased))
            return false;
    return true;
}

bool AbstractUSBDevice::sendModePair(std::uint8_t first, std::uint8_t second)
{
    if (first == modePair_[0] && second == modePair_[1] && second != fx2::kModeAlwaysSend)
        return true;
    const std::uint8_t pair[2] = {first, second};
    if (!vendorOut(fx2::kRequestModePair, 0, 0, pair, sizeof pair)) {
        modePair_[0] = modePair_[1] = fx2::kModeUnknown;
        return false;
    }
    modePair_[0] = first;
    modePair_[1] = second;
    return true;
}

bool AbstractUSBDevice::bulkWrite(const std::uint8_t* data, std::uint32_t length)
{
    if (!interface_ || (!data && length != 0))
        return false;
    return interface_->write(bulkPipe_, data, length, fx2::kBulkTimeoutMs, fx2::kBulkTimeoutMs) == kResultSuccess;
}

AtmelAT90HardwareAccess* AbstractUSBDevice::at90Programmer()
{
    return nullptr;
}

int AbstractUSBDevice::reservedValueA()
{
    return 0;
}

int AbstractUSBDevice::reservedValueB()
{
    return 0;
}

int AbstractUSBDevice::reservedValueC()
{
    return 0;
}

bool AbstractUSBDevice::resetDevice()
{
    return device_ && device_->reset() == kResultSuccess;
}

bool AbstractUSBDevice::configure()
{
    if (!device_)
        return false;
    std::uint8_t count = 0;
    if (device_->getConfigurationCount(&count) != kResultSuccess || count == 0)
        return false;
    if (configuredOnce_)
        return device_->selectConfiguration(0) == kResultSuccess;
    const std::uint32_t state = device_->getConfigurationState();
    bool ok = false;
    if (state == kConfigurationStateUnconfigured)
        ok = device_->selectConfiguration(0) == kResultSuccess;
    else if (state == kConfigurationStateConfigured)
        ok = count == 1;
    configuredOnce_ = ok;
    return ok;
}

bool AbstractUSBDevice::openBulkInterface()
{
    if (opening_)
        return false;
    opening_ = true;
    const bool ok = openBulkInterfaceOnce(true);
    opening_ = false;
    return ok;
}

bool AbstractUSBDevice::openBulkInterfaceOnce(bool mayConfigure)
{
    if (!device_)
        return false;
    const std::uint32_t any[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    USB::IUSBInterfaceIterator* it = nullptr;
    USB::IUSBInterface* found = nullptr;
    if (device_->createInterfaceIterator(any, &it) == kResultSuccess && it) {
        if (!it->next(&found))
            found = nullptr;
        it->release();
    }
    if (!found)
        return mayConfigure && configure() && openBulkInterfaceOnce(false);
    if (found->open() != kResultSuccess) {
        found->release();
        return false;
    }
    std::uint8_t count = 0;
    if (found->getEndpointCount(&count) == kResultSuccess) {
        for (std::uint8_t e = 1; e <= count; ++e) {
            std::uint8_t direction = 0xFF, type = 0, extra = 0;
            std::uint16_t maxPacket = 0;
            if (found->getEndpointInfo(e, &direction, &type, &maxPacket, &extra) != kResultSuccess)
                continue;
            if (type == usbch9::kEndpointBulk && direction == usbch9::kDirectionOut) {
                if (found->enablePipe(e) != kResultSuccess)
                    break;
                interface_ = found;
                bulkPipe_ = e;
                return true;
            }
        }
    }
    found->close();
    found->release();
    return false;
}

bool AbstractUSBDevice::needsRamFirmware()
{
    std::uint16_t release = 0;
    return getDeviceRelease(&release) && release == fx2::kReleaseWithoutFirmware;
}

bool AbstractUSBDevice::downloadRamFirmware()
{
    if (!product_.ramImage) {
        qCInfo(lcTwgFx2, "No FX2 RAM image for product %04x: nothing downloaded", product_.productId);
        return false;
    }
    if (!configure())
        return false;
    const std::uint8_t reset = fx2::kCpucsReset;
    if (!writeRam(fx2::kCpucsAddress, &reset, 1, fx2::kRamWriteAttempts))
        return false;
    const bool loaded = walkFx2DataRecords(*product_.ramImage, [this](std::uint16_t a, const std::uint8_t* d,
                                                                      std::uint8_t n) {
        return writeRam(a, d, n, fx2::kRamWriteAttempts);
    });
    if (!loaded) {
        qCWarning(lcTwgFx2, "FX2 RAM download of product %04x failed", product_.productId);
        return false;
    }
    const std::uint8_t run = fx2::kCpucsRun;
    return writeRam(fx2::kCpucsAddress, &run, 1, fx2::kRamWriteAttempts);
}

bool AbstractUSBDevice::writeRam(std::uint16_t address, const std::uint8_t* data, std::uint16_t length, int attempts)
{
    if (!data && length != 0)
        return false;
    for (int i = 0; i < attempts; ++i)
        if (vendorOut(fx2::kRequestRamWrite, address, 0, data, length))
            return true;
    return false;
}

bool AbstractUSBDevice::readEepromByte(std::uint16_t address, std::uint8_t* value)
{
    if (!value)
        return false;
    std::uint8_t b = *value; // a short answer leaves the caller's preset
    if (!vendorIn(fx2::kRequestEepromRead, 0, address, &b, 1))
        return false;
    *value = b;
    return true;
}

bool AbstractUSBDevice::writeEepromByte(std::uint16_t address, std::uint8_t value)
{
    if (!vendorOut(fx2::kRequestEepromWrite, 0, address, &value, 1))
        return false;
    pause(fx2::kEepromWritePauseMs);
    return true;
}

bool AbstractUSBDevice::updateEepromByte(std::uint16_t address, std::uint8_t value)
{
    // Presets that differ from the value: a byte that never arrives is written, and fails.
    std::uint8_t current = static_cast<std::uint8_t>(~value);
    if (!readEepromByte(address, &current))
        return false;
    if (current != value && !writeEepromByte(address, value))
        return false;
    std::uint8_t back = static_cast<std::uint8_t>(~value);
    return readEepromByte(address, &back) && back == value;
}

bool AbstractUSBDevice::usesAltConfigByte() const
{
    return false;
}

std::uint32_t AbstractUSBDevice::pageSize() const
{
    return fx2::kPageSize;
}

std::uint32_t AbstractUSBDevice::maxBlockCount() const
{
    return fx2::kMaxBlockCount;
}

std::uint32_t AbstractUSBDevice::blockSize() const
{
    return fx2::kBlockSize;
}

std::uint32_t AbstractUSBDevice::addressWidth() const
{
    return fx2::kAddressWidth;
}

bool AbstractUSBDevice::sendAddress(std::uint8_t request, std::uint32_t address)
{
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
                                   static_cast<std::uint8_t>(address)};
    return vendorOut(request, 0, 0, bytes, sizeof bytes);
}

bool AbstractUSBDevice::pollFlashDone(int tries, int intervalMs)
{
    BoundedPoll poll(tries, intervalMs);
    while (poll.next()) {
        std::uint8_t done = 0;
        if (vendorIn(fx2::kRequestFlashDone, 0, 0, &done, 1) && done != 0)
            return true;
        poll.pause();
    }
    return false;
}

bool AbstractUSBDevice::eraseBlocks(std::uint32_t start, std::uint32_t length)
{
    const std::uint32_t size = blockSize();
    if (size == 0 || start % size != 0)
        return false;
    const std::uint64_t first = start / size;
    const std::uint64_t count = (std::uint64_t(length) + size - 1) / size;
    // The last block erased must be one the flash has.
    if (count != 0 && first + count - 1 >= maxBlockCount()) {
        qCWarning(lcTwgFx2, "Erase of %u bytes from %06x passes the flash's end", length, start);
        return false;
    }
    for (std::uint64_t b = first; b < first + count; ++b) {
        bool erased = false;
        for (int attempt = 0; attempt < fx2::kEraseAttempts && !erased; ++attempt)
            erased = sendAddress(fx2::kRequestEraseBlock, static_cast<std::uint32_t>(b * size)) &&
                     pollFlashDone(fx2::kErasePolls, fx2::kErasePollMs);
        if (!erased) {
            qCWarning(lcTwgFx2, "Erase of flash block %u did not finish", static_cast<unsigned>(b));
            return false;
        }
    }
    return true;
}

bool AbstractUSBDevice::waitFlashDone()
{
    return pollFlashDone(fx2::kWaitFlashDonePolls, fx2::kWaitFlashDonePollMs);
}

namespace {

// The write must stay inside the flash, so the 3-byte page addresses never wrap.
bool fitsFlash(std::uint32_t start, std::uint32_t length, std::uint32_t flashSize)
{
    return std::uint64_t(start) + length <= flashSize;
}

} // namespace

bool AbstractUSBDevice::writeFlashPages(const std::uint8_t* data, std::uint32_t length)
{
    const std::uint32_t page = pageSize();
    if (page == 0 || !fitsFlash(nextWriteAddress_, length, maxBlockCount() * blockSize()))
        return false;
    const std::uint32_t base = nextWriteAddress_;
    nextWriteAddress_ += length;
    std::vector<std::uint8_t> buffer(page);
    for (std::uint32_t at = 0; at < length; at += page) {
        const std::uint32_t n = std::min(page, length - at);
        std::fill(std::copy(data + at, data + at + n, buffer.begin()), buffer.end(), 0);
        if (!sendAddress(fx2::kRequestFlashAddress, base + at) || !bulkWrite(buffer.data(), page) ||
            !pollFlashDone(fx2::kPageDonePolls, fx2::kPageDonePollMs))
            return false;
    }
    return true;
}

bool AbstractUSBDevice::writeFlashAddressedPages(const std::uint8_t* data, std::uint32_t length)
{
    const std::uint32_t page = pageSize();
    const std::uint32_t width = addressWidth();
    if (page == 0 || width == 0 || width > 4 || !fitsFlash(nextWriteAddress_, length, maxBlockCount() * blockSize()))
        return false;
    std::vector<std::uint8_t> buffer(width + page);
    for (std::uint32_t at = 0; at < length; at += page) {
        const std::uint32_t n = std::min(page, length - at);
        const std::uint32_t address = nextWriteAddress_;
        for (std::uint32_t i = 0; i < width; ++i)
            buffer[i] = static_cast<std::uint8_t>(address >> (8 * (width - 1 - i)));
        std::fill(std::copy(data + at, data + at + n, buffer.begin() + width), buffer.end(), 0);
        if (!bulkWrite(buffer.data(), static_cast<std::uint32_t>(buffer.size())) ||
            !pollFlashDone(fx2::kAddressedPageDonePolls, fx2::kAddressedPageDonePollMs))
            return false;
        nextWriteAddress_ += page;
    }
    return true;
}

bool AbstractUSBDevice::writeFlashStream(const std::uint8_t* data, std::uint32_t length)
{
    for (std::uint32_t at = 0; at < length; at += fx2::kStreamPieceSize) {
        const std::uint32_t n = std::min(fx2::kStreamPieceSize, length - at);
        if (!bulkWrite(data + at, n))
            return false;
    }
    nextWriteAddress_ += length;
    return true;
}

bool AbstractUSBDevice::writeC0Header()
{
    std::uint16_t vendor = 0, productId = 0;
    if (!getVendorId(&vendor) || !getProductId(&productId))
        return false;
    const std::uint8_t header[fx2::kBootHeaderLength] = {
        fx2::kBootC0,
        static_cast<std::uint8_t>(vendor), static_cast<std::uint8_t>(vendor >> 8),
        static_cast<std::uint8_t>(productId), static_cast<std::uint8_t>(productId >> 8),
        static_cast<std::uint8_t>(fx2::kBootDeviceId), static_cast<std::uint8_t>(fx2::kBootDeviceId >> 8),
        0, 0, 0, 0};
    for (std::uint16_t a = 0; a < fx2::kBootHeaderLength; ++a)
        if (!updateEepromByte(a, header[a]))
            return false;
    return true;
}

bool AbstractUSBDevice::writeC2Image()
{
    std::uint16_t vendor = 0, productId = 0;
    if (!product_.ramImage || !getVendorId(&vendor) || !getProductId(&productId))
        return false;
    // Byte 0 stays "C0" until the load is complete, so an interrupted write boots plainly.
    std::vector<std::uint8_t> load = {
        static_cast<std::uint8_t>(vendor), static_cast<std::uint8_t>(vendor >> 8),
        static_cast<std::uint8_t>(productId), static_cast<std::uint8_t>(productId >> 8),
        static_cast<std::uint8_t>(fx2::kBootDeviceId), static_cast<std::uint8_t>(fx2::kBootDeviceId >> 8)};
    const bool parsed = walkFx2DataRecords(*product_.ramImage, [&load](std::uint16_t a, const std::uint8_t* d,
                                                                       std::uint8_t n) {
        load.insert(load.end(), {0, n, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a)});
        load.insert(load.end(), d, d + n);
        return true;
    });
    load.insert(load.end(), std::begin(fx2::kBootEndRecord), std::end(fx2::kBootEndRecord));
    if (!parsed || fx2::kBootRecordsAddress + load.size() - 6 > fx2::kEepromSize)
        return false;
    if (!writeEepromByte(0, fx2::kBootC0))
        return false;
    for (std::uint16_t a = 0; a < 6; ++a)
        if (!writeEepromByte(static_cast<std::uint16_t>(1 + a), load[a]))
            return false;
    if (!writeEepromByte(fx2::kBootConfigAddress, usesAltConfigByte() ? fx2::kBootConfigAlt : fx2::kBootConfig))
        return false;
    for (std::size_t i = 6; i < load.size(); ++i)
        if (!writeEepromByte(static_cast<std::uint16_t>(fx2::kBootRecordsAddress + i - 6), load[i]))
            return false;
    std::uint8_t back = 0;
    return writeEepromByte(0, fx2::kBootC2) && readEepromByte(0, &back) && back == fx2::kBootC2;
}

bool AbstractUSBDevice::canProgramFX2()
{
    return !at90ThroughFx2_;
}

bool AbstractUSBDevice::sendEnterProgramming()
{
    return vendorOut(fx2::kRequestEnterProgramming, 0, 0, nullptr, 0);
}

bool AbstractUSBDevice::sendLeaveProgramming()
{
    return vendorOut(fx2::kRequestLeaveProgramming, 0, 0, nullptr, 0);
}

} // namespace Converters
} // namespace TWG
