#include "platform/sim/models/stm32/SimStm32Bootloader.h"

#include "protocol/DfuProtocol.h"
#include "protocol/Stm32Protocol.h"

namespace platform {

namespace {
namespace Dfu = TWG::Dfu;
} // namespace

SimStm32Bootloader::SimStm32Bootloader(std::shared_ptr<SimStm32State> state)
    : SimStm32Application(std::move(state), true), dfuState_(Dfu::kStateDfuIdle), status_(Dfu::kStatusOk)
{
}

std::uint8_t SimStm32Bootloader::bootMode() const { return TWG::Zanthic::stm32::kBootModeDfu; }

void SimStm32Bootloader::fail(std::uint8_t status)
{
    dfuState_ = Dfu::kStateError;
    status_ = status;
}

void SimStm32Bootloader::startApplication()
{
    if (left_)
        return;
    left_ = true;
    SimStm32State& s = *state();
    ++s.manifestations;
    s.startApplicationFromFlash();
    reenumerate(s.dfu.neverBack ? nullptr : persona(state(), false), Clock::Duration(s.dfu.reenumerateDelayMs));
}

UsbStatus SimStm32Bootloader::resetPort()
{
    if (dfuState_ == Dfu::kStateManifestWaitReset)
        startApplication();
    return UsbStatus::Success;
}

void SimStm32Bootloader::status(std::vector<std::uint8_t>& data)
{
    const SimStm32Dfu& knobs = state()->dfu;
    std::uint32_t poll = 0;
    switch (dfuState_) {
    case Dfu::kStateDnloadSync:
    case Dfu::kStateDnBusy:
        if (errorPending_) {
            errorPending_ = false;
            fail(Dfu::kStatusErrWrite);
        } else if (knobs.busyForever || clock().now() < busyUntil_) {
            dfuState_ = Dfu::kStateDnBusy;
            poll = knobs.pollTimeoutMs;
        } else {
            dfuState_ = Dfu::kStateDnloadIdle;
        }
        break;
    case Dfu::kStateManifestSync:
    case Dfu::kStateManifest:
        if (clock().now() < busyUntil_) {
            dfuState_ = Dfu::kStateManifest;
            poll = knobs.pollTimeoutMs;
        } else if (knobs.waitResetAfterManifest) {
            dfuState_ = Dfu::kStateManifestWaitReset;
        } else {
            // Manifested: dfuIDLE once more, then the application starts.
            dfuState_ = Dfu::kStateDfuIdle;
            startApplication();
        }
        break;
    default:
        break;
    }
    data = {status_, static_cast<std::uint8_t>(poll & 0xFF), static_cast<std::uint8_t>((poll >> 8) & 0xFF),
            static_cast<std::uint8_t>((poll >> 16) & 0xFF), dfuState_, 0};
}

UsbStatus SimStm32Bootloader::dnload(const UsbSetup& setup, const std::vector<std::uint8_t>& data)
{
    SimStm32State& s = *state();
    if (dfuState_ != Dfu::kStateDfuIdle && dfuState_ != Dfu::kStateDnloadIdle) {
        s.violations.push_back("DNLOAD in state " + std::to_string(dfuState_));
        fail(Dfu::kStatusErrStalledPkt);
        return UsbStatus::Stall;
    }
    if (data.empty()) {
        if (dfuState_ != Dfu::kStateDnloadIdle) {
            fail(Dfu::kStatusErrNotDone);
            return UsbStatus::Stall;
        }
        if (setup.wValue != nextBlock_)
            s.violations.push_back("final DNLOAD numbered " + std::to_string(setup.wValue));
        dfuState_ = Dfu::kStateManifestSync;
        busyUntil_ = clock().now() + Clock::Duration(s.dfu.pollTimeoutMs);
        if (s.dfu.rebootAtFinalDnload) {
            startApplication();
            return UsbStatus::Timeout;
        }
        if ((s.dfu.attributes & Dfu::kAttributeManifestationTolerant) == 0)
            startApplication();
        return UsbStatus::Success;
    }
    if (data.size() > s.dfu.transferSize) {
        s.violations.push_back("DNLOAD longer than wTransferSize");
        fail(Dfu::kStatusErrStalledPkt);
        return UsbStatus::Stall;
    }
    if (dfuState_ == Dfu::kStateDfuIdle) {
        s.flash.clear();
        written_ = 0;
        nextBlock_ = setup.wValue;
    }
    if (setup.wValue != nextBlock_)
        s.violations.push_back("DNLOAD block " + std::to_string(setup.wValue) + " where " +
                               std::to_string(nextBlock_) + " was due");
    if (written_ + data.size() > s.dfu.flashSize) {
        fail(Dfu::kStatusErrTarget);
        return UsbStatus::Stall;
    }
    s.flash.insert(s.flash.end(), data.begin(), data.end());
    written_ += static_cast<std::uint32_t>(data.size());
    errorPending_ = s.dfu.errorAfterBlock == static_cast<int>(setup.wValue);
    nextBlock_ = static_cast<std::uint16_t>(setup.wValue + 1);
    dfuState_ = Dfu::kStateDnloadSync;
    busyUntil_ = clock().now() + Clock::Duration(s.dfu.pollTimeoutMs);
    return UsbStatus::Success;
}

UsbStatus SimStm32Bootloader::dfuRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    if (setup.bmRequestType == Dfu::kRequestIn) {
        switch (setup.bRequest) {
        case Dfu::kGetStatus:
            status(data);
            return UsbStatus::Success;
        case Dfu::kGetState:
            data = {dfuState_};
            return UsbStatus::Success;
        default:
            fail(Dfu::kStatusErrStalledPkt);
            return UsbStatus::Stall;
        }
    }
    switch (setup.bRequest) {
    case Dfu::kDnload:
        return dnload(setup, data);
    case Dfu::kClrStatus:
        if (dfuState_ == Dfu::kStateError) {
            dfuState_ = Dfu::kStateDfuIdle;
            status_ = Dfu::kStatusOk;
        }
        return UsbStatus::Success;
    case Dfu::kAbort:
        if (dfuState_ != Dfu::kStateError)
            dfuState_ = Dfu::kStateDfuIdle;
        return UsbStatus::Success;
    case Dfu::kDetach:
        // Already the bootloader.
        return UsbStatus::Success;
    default:
        fail(Dfu::kStatusErrStalledPkt);
        return UsbStatus::Stall;
    }
}

} // namespace platform
