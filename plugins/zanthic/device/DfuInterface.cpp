#include "plugins/zanthic/device/DfuInterface.h"

#include "platform/Clock.h"
#include "protocol/DfuProtocol.h"
#include "usb/IUSBDevice.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"

#include <algorithm>
#include <stdexcept>
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

bool DFUInterface::request(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t length,
                           void* data, std::uint32_t timeoutMs)
{
    USB::USBControlRequest r =
        USB::USBControlRequest::make(requestType, request, value, interfaceNumber_, length, data, timeoutMs);
    return device_->controlTransfer(&r) == 0;
}

DFUInterface::Status DFUInterface::getStatus()
{
    std::uint8_t answer[Dfu::kStatusLength] = {};
    if (!request(Dfu::kRequestIn, Dfu::kGetStatus, 0, Dfu::kStatusLength, answer, Dfu::kGetStatusTimeoutMs))
        throw std::runtime_error("Failed to send status request\n");
    Status s;
    s.status = answer[Dfu::kStatusOffset];
    s.pollTimeoutMs = static_cast<std::uint32_t>(answer[Dfu::kPollTimeoutOffset] |
                                                 (answer[Dfu::kPollTimeoutOffset + 1] << 8) |
                                                 (answer[Dfu::kPollTimeoutOffset + 2] << 16));
    s.state = answer[Dfu::kStateOffset];
    return s;
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

bool DFUInterface::enterIdle()
{
    if (interface_->open() != 0)
        throw std::runtime_error("Failed to open usb interface\n");
    const Status first = getStatus();
    switch (first.state) {
    case Dfu::kStateAppIdle:
    case Dfu::kStateAppDetach:
        if (!request(Dfu::kRequestOut, Dfu::kDetach, Dfu::kDetachWaitMs, 0, nullptr, detachTimeout_))
            throw std::runtime_error("Failed to send detach request\n");
        if (willDetach_)
            return false;
        break;
    case Dfu::kStateDnloadIdle:
    case Dfu::kStateUploadIdle:
        if (!request(Dfu::kRequestOut, Dfu::kAbort, 0, 0, nullptr, Dfu::kDefaultTimeoutMs))
            throw std::runtime_error("Failed to send abort request\n");
        break;
    default:
        if (first.status != Dfu::kStatusOk &&
            !request(Dfu::kRequestOut, Dfu::kClrStatus, 0, 0, nullptr, Dfu::kDefaultTimeoutMs))
            throw std::runtime_error("Failed to send 'clear DFU status' request\n");
        break;
    }
    if (getStatus().state != Dfu::kStateDfuIdle)
        throw std::runtime_error("Device not in DFU idle mode!\n");
    return true;
}

void DFUInterface::download(const std::vector<std::uint8_t>& image, const Progress& progress)
{
    if (getStatus().state != Dfu::kStateDfuIdle)
        throw std::runtime_error("Device not in DFU idle mode!\n");
    // A descriptor that names no transfer size cannot take a block; one byte at a time is
    // still a download.
    const std::uint32_t blockSize = std::max<std::uint32_t>(transferSize_, 1);
    const auto total = static_cast<std::uint32_t>(image.size());
    std::uint16_t block = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t done = 0; done < total; ++block) {
        const std::uint32_t n = std::min(blockSize, total - done);
        data.assign(image.begin() + done, image.begin() + done + n);
        if (!request(Dfu::kRequestOut, Dfu::kDnload, block, static_cast<std::uint16_t>(n), data.data(),
                     Dfu::kDnloadTimeoutMs))
            throw std::runtime_error("Failed to send dnload request\n");
        const std::int64_t started = nowMs();
        Status s = getStatus();
        while (s.state != Dfu::kStateDnloadIdle) {
            if (s.state == Dfu::kStateError)
                throw std::runtime_error("Device returned error from dnload request!\n");
            pollPause(s, Dfu::kStatusPollDeadlineMs, started);
            s = getStatus();
        }
        if (s.status != Dfu::kStatusOk)
            throw std::runtime_error("Device returned error during download!\n");
        done += n;
        if (progress)
            progress(done, total);
    }
    if (!request(Dfu::kRequestOut, Dfu::kDnload, block, 0, nullptr, Dfu::kFinalDnloadTimeoutMs))
        throw std::system_error(std::make_error_code(std::errc::timed_out));
    if (!manifestationTolerant_)
        return;
    const std::int64_t started = nowMs();
    for (;;) {
        const Status s = getStatus();
        if (s.state == Dfu::kStateDfuIdle)
            return;
        if (s.state == Dfu::kStateError)
            throw std::runtime_error("Device returned error during download!\n");
        if (s.state == Dfu::kStateManifestWaitReset) {
            if (device_->reset() != 0)
                throw std::runtime_error("Failed to perform USB reset!\n");
            // The device re-enumerates after the reset: the manifestation is done.
            return;
        }
        pollPause(s, Dfu::kStatusPollDeadlineMs, started);
    }
}

} // namespace Zanthic
} // namespace TWG
