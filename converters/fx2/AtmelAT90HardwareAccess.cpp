#include "converters/fx2/AtmelAT90HardwareAccess.h"

#include "converters/BoundedPoll.h"
#include "converters/fx2/AbstractUSBDevice.h"
#include "converters/fx2/Fx2Log.h"
#include "platform/Clock.h"
#include "protocol/Fx2Protocol.h"
#include "protocol/UsbChapter9.h"
#include "usb/IUSBDevice.h"
#include "usb/UsbConstants.h"

#include <algorithm>

namespace TWG {
namespace Converters {

namespace {

void pause(int ms)
{
    platform::clock().sleepFor(platform::Clock::Duration(ms));
}

} // namespace

AtmelAT90HardwareAccess::AtmelAT90HardwareAccess(AbstractUSBDevice* device, USB::IUSBDevice* usbDevice)
    : device_(device), usbDevice_(usbDevice)
{
}

AtmelAT90HardwareAccess::~AtmelAT90HardwareAccess() = default;

std::uint32_t AtmelAT90HardwareAccess::controlTransfer(USB::USBControlRequest* request)
{
    // The device object drops its USB device when it never started; so does the programmer.
    if (!device_->usbDevice())
        return USB::kResultDeviceGone;
    return usbDevice_->controlTransfer(request);
}

bool AtmelAT90HardwareAccess::readByte(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                       std::uint8_t* out)
{
    USB::USBControlRequest r = USB::USBControlRequest::deviceRequest(usbch9::kDirectionIn, request, value, index, 1, out);
    r.timeoutA = r.timeoutB = fx2::kRequestTimeoutMs;
    return controlTransfer(&r) == USB::kResultSuccess;
}

at90::Status AtmelAT90HardwareAccess::statusRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index)
{
    std::uint8_t status = at90::kStatusPreset;
    if (!readByte(request, value, index, &status))
        return at90::Status::Failure;
    switch (status) {
    case at90::kStatusDone: return at90::Status::Done;
    case at90::kStatusBusy: return at90::Status::Busy;
    case at90::kStatusError: return at90::Status::Error;
    default: return at90::Status::Failure;
    }
}

bool AtmelAT90HardwareAccess::enterProgramming()
{
    // The FX2's own entry refuses while the AT90 is reached through it, so ask it directly.
    if (device_->isAT90ThroughFX2() && !device_->sendEnterProgramming())
        return false;
    bool enabled = false;
    BoundedPoll rounds(at90::kEnableRounds, at90::kEnablePauseMs);
    while (!enabled && rounds.next()) {
        if (statusRequest(at90::kRequestEnable, 0, 0) != at90::Status::Done)
            return false;
        pause(at90::kEnablePauseMs);
        const at90::Status s = statusRequest(at90::kRequestPollEnable, 0, 0);
        if (s == at90::Status::Done)
            enabled = true;
        else if (s != at90::Status::Busy)
            return false;
    }
    if (!enabled) {
        qCWarning(lcTwgFx2, "AT90 did not enter programming");
        return false;
    }
    std::uint8_t vendor = 0, part = 0;
    if (!readByte(at90::kRequestSignature, 0, at90::kSignatureIndexVendor, &vendor) ||
        !readByte(at90::kRequestSignature, 0, at90::kSignatureIndexPart, &part))
        return false;
    for (const at90::Signature& s : at90::kAcceptedSignatures)
        if (s.vendor == vendor && s.part == part)
            return true;
    qCWarning(lcTwgFx2, "AT90 signature %02x %02x refused", vendor, part);
    return false;
}

bool AtmelAT90HardwareAccess::leaveProgramming()
{
    const bool left = statusRequest(at90::kRequestLeave, 0, 0) == at90::Status::Done;
    bool fx2Left = true;
    if (device_->isAT90ThroughFX2())
        fx2Left = device_->leaveProgramming();
    return left && fx2Left;
}

bool AtmelAT90HardwareAccess::writeAndVerify()
{
    return false;
}

bool AtmelAT90HardwareAccess::writeFuses()
{
    bool ok = true;
    for (int fuse = 0; fuse < at90::kFuseCount; ++fuse) {
        const std::uint8_t value = at90::kFuseValues[fuse];
        bool written = statusRequest(at90::kRequestWriteFuse, value, static_cast<std::uint16_t>(fuse)) ==
                       at90::Status::Done;
        pause(at90::kFusePauseMs);
        std::uint8_t back = static_cast<std::uint8_t>(~value);
        written = written && readByte(at90::kRequestReadFuse, 0, static_cast<std::uint16_t>(fuse), &back) &&
                  back == value;
        ok = ok && written;
    }
    return ok;
}

bool AtmelAT90HardwareAccess::writeLockBits()
{
    return false;
}

bool AtmelAT90HardwareAccess::chipErase()
{
    if (statusRequest(at90::kRequestChipErase, 0, 0) != at90::Status::Done)
        return false;
    pause(at90::kChipErasePauseMs);
    return true;
}

bool AtmelAT90HardwareAccess::preparePages()
{
    return device_->sendModePair(fx2::kModeAt90Pages[0], fx2::kModeAt90Pages[1]);
}

bool AtmelAT90HardwareAccess::writePage(std::uint32_t page, const std::uint8_t* data, std::uint32_t count,
                                        std::uint32_t* written)
{
    if (page > at90::kMaxPage || count == 0 || !data)
        return false;
    const std::uint32_t n = std::min(count, at90::kPageSize);
    USB::USBControlRequest load =
        USB::USBControlRequest::deviceRequest(usbch9::kDirectionOut, at90::kRequestLoadBuffer, 0, 0, 0, nullptr);
    load.timeoutA = load.timeoutB = fx2::kRequestTimeoutMs;
    if (controlTransfer(&load) != USB::kResultSuccess || !device_->bulkWrite(data, n))
        return false;
    pause(at90::kBufferPauseMs);
    if (statusRequest(at90::kRequestProgramPage, 0, static_cast<std::uint16_t>(page)) != at90::Status::Done)
        return false;
    pause(at90::kProgramPauseMs);

    // One byte tells whether the page took: the first programmed one from offset 5 on.
    bool verify = true;
    std::uint32_t offset = 0;
    if (n < at90::kVerifyFromOffset + 1) {
        verify = count == at90::kVerifyFromOffset;
    } else {
        for (std::uint32_t i = at90::kVerifyFromOffset; i < n; ++i) {
            if (data[i] != at90::kErased) {
                offset = i;
                break;
            }
        }
    }
    if (verify) {
        const std::uint32_t address = page * at90::kPageSize + offset;
        const std::uint16_t high = static_cast<std::uint16_t>((address >> 16) & 1);
        const std::uint16_t low = static_cast<std::uint16_t>(address & 0xFFFF);
        // Preset to differ from the byte, so an answer that never arrives does not verify.
        const std::uint8_t absent = static_cast<std::uint8_t>(~data[offset]);
        std::uint8_t back = absent;
        if (!readByte(at90::kRequestReadFlash, high, low, &back))
            return false;
        for (int retry = 0; back != data[offset] && back == at90::kErased && retry < at90::kVerifyRereads; ++retry) {
            pause(at90::kVerifyRereadMs);
            back = absent;
            if (!readByte(at90::kRequestReadFlash, high, low, &back))
                return false;
        }
        if (back != data[offset]) {
            qCWarning(lcTwgFx2, "AT90 page %u did not verify", page);
            return false;
        }
    }
    if (written)
        *written = n;
    return true;
}

USB::IUSBDevice* AtmelAT90HardwareAccess::getDevice()
{
    return usbDevice_;
}

USB::IUSBDevice* AtmelAT90HardwareAccess::getHostDevice()
{
    return usbDevice_;
}

bool AtmelAT90HardwareAccess::reservedCheckA()
{
    return false;
}

int AtmelAT90HardwareAccess::reservedValue()
{
    return 0;
}

bool AtmelAT90HardwareAccess::reservedCheckB()
{
    return false;
}

bool AtmelAT90HardwareAccess::reservedCheckC()
{
    return false;
}

bool AtmelAT90HardwareAccess::reservedCheckD()
{
    return false;
}

bool AtmelAT90HardwareAccess::reservedCheckE()
{
    return false;
}

} // namespace Converters
} // namespace TWG
