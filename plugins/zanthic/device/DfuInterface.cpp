#include "plugins/zanthic/device/DfuInterface.h"

#include "platform/Clock.h"
#include "protocol/DfuProtocol.h"
#include "usb/IUSBDevice.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <system_error>

namespace TWG {
namespace Zanthic {

namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(platform::clock().now().time_since_epoch()).count();
}

} // namespace

DFUInterface::DFUInterface(USB::IUSBDevice* device, const std::atomic<bool>* stop) : device_(device), stop_(stop)
{
    const std::uint32_t filter[2] = {Dfu::kFilterWord0, Dfu::kFilterWord1};
    USB::IUSBInterfaceIterator* iterator = nullptr;
    if (!device || device->createInterfaceIterator(filter, &iterator) != 0 || !iterator)
        throw std::runtime_error("Unable to create iterator");
    const bool found = iterator->next(&interface_) && interface_;
    iterator->release();
    if (!found)
        throw std::runtime_error("Unable to find interface");
    const std::uint8_t* functional = interface_->getDescriptor(nullptr, Dfu::kFunctionalDescriptorType);
    if (!functional || functional[0] < Dfu::kFunctionalDescriptorLength) {
        interface_->release();
        throw std::runtime_error("Unable to find associated functional descriptor");
    }
    interface_->getInterfaceNumber(&interfaceNumber_);
    const std::uint8_t attributes = functional[Dfu::kFunctionalAttributesOffset];
    willDetach_ = (attributes & Dfu::kAttributeWillDetach) != 0;
    manifestationTolerant_ = (attributes & Dfu::kAttributeManifestationTolerant) != 0;
    canUpload_ = (attributes & Dfu::kAttributeCanUpload) != 0;
    canDnload_ = (attributes & Dfu::kAttributeCanDnload) != 0;
    detachTimeout_ = le16(functional + Dfu::kFunctionalDetachTimeoutOffset);
    transferSize_ = le16(functional + Dfu::kFunctionalTransferSizeOffset);
    dfuVersion_ = le16(functional + Dfu::kFunctionalVersionOffset);
    device_->addRef();
}

DFUInterface::~DFUInterface()
{
    interface_->close();
    interface_->release();
    device_->release();
}

std::uint32_t DFUInterface::request(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                                   std::uint16_t length, void* data, std::uint32_t timeoutMs)
{
    USB::USBControlRequest r =
        USB::USBControlRequest::make(requestType, request, value, interfaceNumber_, length, data, timeoutMs);
    return device_->controlTransfer(&r);
}

std::uint32_t DFUInterface::readStatus(Status* out)
{
    *out = Status();
    std::uint8_t answer[Dfu::kStatusLength] = {};
    const std::uint32_t result =
        request(Dfu::kRequestIn, Dfu::kGetStatus, 0, Dfu::kStatusLength, answer, Dfu::kGetStatusTimeoutMs);
    if (result != USB::kResultSuccess)
        return result;
    out->status = answer[Dfu::kStatusOffset];
    out->pollTimeoutMs = static_cast<std::uint32_t>(answer[Dfu::kPollTimeoutOffset] |
                                                    (answer[Dfu::kPollTimeoutOffset + 1] << 8) |
                                                    (answer[Dfu::kPollTimeoutOffset + 2] << 16));
    out->state = answer[Dfu::kStateOffset];
    return result;
}

DFUInterface::Status DFUInterface::getStatus()
{
    Status s;
    if (readStatus(&s) != USB::kResultSuccess)
        throw std::runtime_error("Failed to send status request\n");
    return s;
}

void DFUInterface::failWith(const char* what, const Status& status)
{
    char detail[96];
    std::snprintf(detail, sizeof detail, " (status 0x%02X %s, state %u %s)\n", unsigned(status.status),
                  Dfu::statusName(status.status), unsigned(status.state), Dfu::stateName(status.state));
    throw std::runtime_error(std::string(what) + detail);
}

void DFUInterface::pollPause(const Status& status, std::int64_t deadlineMs, std::int64_t startedMs)
{
    std::int64_t left = status.pollTimeoutMs;
    do {
        if (stop_ && stop_->load())
            throw std::runtime_error("Device status poll stopped\n");
        if (nowMs() - startedMs >= deadlineMs)
            throw std::runtime_error("Device status poll timed out\n");
        const std::int64_t step = std::min<std::int64_t>(left, Dfu::kPollStepMs);
        if (step > 0)
            platform::clock().sleepFor(platform::Clock::Duration(step));
        left -= step;
    } while (left > 0);
}

DFUInterface::Status DFUInterface::waitWhileBusy(Status s)
{
    const std::int64_t started = nowMs();
    auto busy = [](std::uint8_t state) {
        return state == Dfu::kStateDnloadSync || state == Dfu::kStateDnBusy || state == Dfu::kStateManifestSync ||
               state == Dfu::kStateManifest;
    };
    while (s.status == Dfu::kStatusOk && busy(s.state)) {
        pollPause(s, Dfu::kStatusPollDeadlineMs, started);
        s = getStatus();
    }
    return s;
}

void DFUInterface::resetDevice()
{
    if (device_->reset() != USB::kResultSuccess)
        throw std::runtime_error("Failed to perform USB reset!\n");
}

void DFUInterface::restartApplication(std::uint8_t state)
{
    // A device that detaches by itself restarts once manifested: in dfuIDLE as this product
    // line does, in dfuMANIFEST-WAIT-RESET as the standard has it. A tolerant device that still
    // stops there waits for the reset, as does every device without bitWillDetach.
    const bool leavesByItself =
        willDetach_ && (state == Dfu::kStateDfuIdle || !manifestationTolerant_);
    if (!leavesByItself)
        resetDevice();
}

bool DFUInterface::enterIdle()
{
    restarting_ = false;
    if (interface_->open() != USB::kResultSuccess)
        throw std::runtime_error("Failed to open usb interface\n");
    Status s = getStatus();
    switch (s.state) {
    case Dfu::kStateAppIdle:
    case Dfu::kStateAppDetach:
        if (request(Dfu::kRequestOut, Dfu::kDetach, Dfu::kDetachWaitMs, 0, nullptr, detachTimeout_) !=
            USB::kResultSuccess)
            throw std::runtime_error("Failed to send detach request\n");
        // Without bitWillDetach the application waits for the bus reset, which must come within
        // wDetachTimeOut.
        if (!willDetach_)
            resetDevice();
        return false;
    case Dfu::kStateManifestSync:
    case Dfu::kStateManifest:
    case Dfu::kStateManifestWaitReset: {
        // An earlier run lost sight of the device in its manifestation, with the image whole:
        // the status requests finish it, and the device then starts that image.
        s = waitWhileBusy(s);
        // A tolerant device that stays in dfuIDLE is ready as it is; an error is cleared below.
        const bool restarts = s.state == Dfu::kStateManifestWaitReset || (s.state == Dfu::kStateDfuIdle && willDetach_);
        if (s.status == Dfu::kStatusOk && restarts) {
            restartApplication(s.state);
            restarting_ = true;
            return false;
        }
        break;
    }
    case Dfu::kStateDnloadSync:
    case Dfu::kStateDnBusy:
        s = waitWhileBusy(s);
        break;
    default:
        break;
    }
    switch (s.state) {
    case Dfu::kStateDnloadIdle:
    case Dfu::kStateUploadIdle:
        if (request(Dfu::kRequestOut, Dfu::kAbort, 0, 0, nullptr, Dfu::kDefaultTimeoutMs) != USB::kResultSuccess)
            throw std::runtime_error("Failed to send abort request\n");
        break;
    default:
        if (s.status != Dfu::kStatusOk &&
            request(Dfu::kRequestOut, Dfu::kClrStatus, 0, 0, nullptr, Dfu::kDefaultTimeoutMs) != USB::kResultSuccess)
            throw std::runtime_error("Failed to send 'clear DFU status' request\n");
        break;
    }
    Status idle;
    const std::uint32_t result = readStatus(&idle);
    if (result == USB::kResultDeviceGone && s.state == Dfu::kStateDfuIdle && willDetach_) {
        // It answered dfuIDLE and left at once: a manifestation pending from an earlier run
        // ended with that answer, and a device that detaches by itself has gone to start it.
        restarting_ = true;
        return false;
    }
    if (result != USB::kResultSuccess)
        throw std::runtime_error("Failed to send status request\n");
    if (idle.state != Dfu::kStateDfuIdle)
        throw std::runtime_error("Device not in DFU idle mode!\n");
    return true;
}

void DFUInterface::download(const std::vector<std::uint8_t>& image, const Progress& progress)
{
    const Status first = getStatus();
    if (first.state != Dfu::kStateDfuIdle)
        throw std::runtime_error("Device not in DFU idle mode!\n");
    if (first.status != Dfu::kStatusOk)
        failWith("Device returned error during download!", first);
    // A descriptor that names no transfer size cannot take a block; one byte at a time is
    // still a download.
    const std::uint32_t blockSize = std::max<std::uint32_t>(transferSize_, 1);
    const auto total = static_cast<std::uint32_t>(image.size());
    std::uint16_t block = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t done = 0; done < total; ++block) {
        const std::uint32_t n = std::min(blockSize, total - done);
        data.assign(image.begin() + done, image.begin() + done + n);
        if (request(Dfu::kRequestOut, Dfu::kDnload, block, static_cast<std::uint16_t>(n), data.data(),
                    Dfu::kDnloadTimeoutMs) != USB::kResultSuccess)
            throw std::runtime_error("Failed to send dnload request\n");
        const Status s = waitWhileBusy(getStatus());
        if (s.state == Dfu::kStateError)
            failWith("Device returned error from dnload request!", s);
        if (s.status != Dfu::kStatusOk || s.state != Dfu::kStateDnloadIdle)
            failWith("Device returned error during download!", s);
        done += n;
        if (progress)
            progress(done, total);
    }
    if (request(Dfu::kRequestOut, Dfu::kDnload, block, 0, nullptr, Dfu::kFinalDnloadTimeoutMs) !=
        USB::kResultSuccess)
        throw std::system_error(std::make_error_code(std::errc::timed_out));
    // The status request after the empty block starts the manifestation; a tolerant device ends
    // it in dfuIDLE, any other in dfuMANIFEST-WAIT-RESET.
    const Status s = waitWhileBusy(getStatus());
    if (s.status != Dfu::kStatusOk || (s.state != Dfu::kStateDfuIdle && s.state != Dfu::kStateManifestWaitReset))
        failWith("Device returned error during manifestation!", s);
    restartApplication(s.state);
}

} // namespace Zanthic
} // namespace TWG
