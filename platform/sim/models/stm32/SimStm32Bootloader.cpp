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
    // A bus reset leaves DFU mode for a whole application; without one the bootloader stays.
    if (state()->applicationValid) {
        startApplication();
    } else {
        dfuState_ = Dfu::kStateError;
        status_ = Dfu::kStatusErrFirmware;
    }
    return UsbStatus::Success;
}

void SimStm32Bootloader::status(std::vector<std::uint8_t>& data)
{
    SimStm32State& s = *state();
    const SimStm32Dfu& knobs = s.dfu;
    const bool willDetach = (knobs.attributes & Dfu::kAttributeWillDetach) != 0;
    const bool tolerant = (knobs.attributes & Dfu::kAttributeManifestationTolerant) != 0;
    std::uint32_t poll = 0;
    bool restart = false; // once answered, the device detaches to start its application
    switch (dfuState_) {
    case Dfu::kStateDnloadSync:
    case Dfu::kStateDnBusy:
        if (errorPending_) {
            errorPending_ = false;
            fail(Dfu::kStatusErrWrite);
            s.applicationValid = false;
        } else if (knobs.busyForever || clock().now() < busyUntil_) {
            dfuState_ = Dfu::kStateDnBusy;
            poll = knobs.pollTimeoutMs;
        } else {
            dfuState_ = Dfu::kStateDnloadIdle;
        }
        break;
    case Dfu::kStateManifestSync:
        // This request starts the manifestation.
        dfuState_ = Dfu::kStateManifest;
        busyUntil_ = clock().now() + Clock::Duration(knobs.pollTimeoutMs);
        poll = knobs.pollTimeoutMs;
        break;
    case Dfu::kStateManifest:
        if (clock().now() < busyUntil_) {
            poll = knobs.pollTimeoutMs;
        } else if (tolerant && !knobs.waitResetAfterManifest) {
            // Back through dfuMANIFEST-SYNC to dfuIDLE. This product line's bootloader then
            // starts the application by itself; without willDetach it waits for the reset.
            dfuState_ = Dfu::kStateDfuIdle;
            restart = willDetach;
        } else {
            dfuState_ = Dfu::kStateManifestWaitReset;
            if (willDetach && !tolerant)
                callAfter(Clock::Duration(knobs.waitResetDetachMs), [this] {
                    if (dfuState_ == Dfu::kStateManifestWaitReset)
                        startApplication();
                });
        }
        break;
    default:
        break;
    }
    const std::uint8_t answered = dfuState_;
    std::uint8_t answeredStatus = status_;
    if (knobs.errorState == static_cast<int>(answered) && ++s.errorAnswers == knobs.errorAt) {
        answeredStatus = knobs.errorStatus;
        fail(knobs.errorStatus);
        // The device has turned down the image it holds.
        if (answered != Dfu::kStateDfuIdle)
            s.applicationValid = false;
        restart = false;
    }
    data = {answeredStatus, static_cast<std::uint8_t>(poll & 0xFF), static_cast<std::uint8_t>((poll >> 8) & 0xFF),
            static_cast<std::uint8_t>((poll >> 16) & 0xFF), answered, 0};
    if (restart)
        startApplication();
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
        // The image is whole; the manifestation waits for the next status request.
        dfuState_ = Dfu::kStateManifestSync;
        s.applicationValid = true;
        if (s.dfu.rebootAtFinalDnload) {
            startApplication();
            return UsbStatus::Timeout;
        }
        return UsbStatus::Success;
    }
    if (data.size() > s.dfu.transferSize) {
        s.violations.push_back("DNLOAD longer than wTransferSize");
        fail(Dfu::kStatusErrStalledPkt);
        return UsbStatus::Stall;
    }
    if (dfuState_ == Dfu::kStateDfuIdle) {
        s.flash.clear();
        s.applicationValid = false;
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
