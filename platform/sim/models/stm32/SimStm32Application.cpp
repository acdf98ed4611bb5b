#include "platform/sim/models/stm32/SimStm32Application.h"

#include "platform/sim/models/stm32/SimStm32Bootloader.h"
#include "protocol/DfuProtocol.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/UsbChapter9.h"

#include <algorithm>

namespace platform {

namespace {
namespace stm32 = TWG::Zanthic::stm32;
} // namespace

SimStm32Application::SimStm32Application(std::shared_ptr<SimStm32State> state)
    : SimStm32Application(std::move(state), false)
{
}

SimStm32Application::SimStm32Application(std::shared_ptr<SimStm32State> state, bool bootloader)
    : SimDevice(state->descriptors(bootloader)), state_(std::move(state))
{
}

std::shared_ptr<SimStm32Application> SimStm32Application::persona(std::shared_ptr<SimStm32State> state,
                                                                  bool bootloader)
{
    if (bootloader)
        return std::make_shared<SimStm32Bootloader>(std::move(state));
    return std::make_shared<SimStm32Application>(std::move(state));
}

std::shared_ptr<SimStm32Application> SimStm32Application::powerOn(std::shared_ptr<SimStm32State> state)
{
    if (!state->applicationValid)
        return persona(std::move(state), true);
    state->startApplicationFromFlash();
    return persona(std::move(state), false);
}

UsbStatus SimStm32Application::resetPort()
{
    if (detached_ && clock().now() < detachDeadline_)
        reenumerate(persona(state_, true), Clock::Duration(state_->dfu.reenumerateDelayMs));
    detached_ = false;
    return UsbStatus::Success;
}

std::uint8_t SimStm32Application::bootMode() const { return state_->bootMode; }

UsbStatus SimStm32Application::dfuRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    namespace Dfu = TWG::Dfu;
    if (detached_ && clock().now() >= detachDeadline_)
        detached_ = false;
    if (setup.bmRequestType == Dfu::kRequestIn && setup.bRequest == Dfu::kGetStatus) {
        data = {Dfu::kStatusOk, 0, 0, 0, detached_ ? Dfu::kStateAppDetach : Dfu::kStateAppIdle, 0};
        return UsbStatus::Success;
    }
    if (setup.bmRequestType == Dfu::kRequestOut && setup.bRequest == Dfu::kDetach) {
        ++state_->detaches;
        const SimStm32Dfu& knobs = state_->dfu;
        if (knobs.attributes & Dfu::kAttributeWillDetach) {
            reenumerate(persona(state_, true), Clock::Duration(knobs.reenumerateDelayMs));
        } else {
            // It waits for the host's bus reset as long as both the host and its descriptor allow.
            detached_ = true;
            detachDeadline_ = clock().now() + Clock::Duration(std::min(setup.wValue, knobs.detachTimeoutMs));
        }
        return UsbStatus::Success;
    }
    return UsbStatus::Stall;
}

UsbStatus SimStm32Application::standardRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    const bool serialRead = setup.bmRequestType == usbch9::kStandardDeviceIn && setup.bRequest == usbch9::kGetDescriptor &&
                            (setup.wValue >> 8) == usbch9::kDescriptorString &&
                            (setup.wValue & 0xFF) == descriptors().device.iSerialNumber;
    if (serialRead && state_->rawSerialDescriptor) {
        data = *state_->rawSerialDescriptor;
        return UsbStatus::Success;
    }
    return SimDevice::standardRequest(setup, data);
}

UsbStatus SimStm32Application::classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    if (setup.bmRequestType == stm32::kVendorDeviceIn || setup.bmRequestType == stm32::kVendorDeviceOut)
        return vendorRequest(setup, data);
    const bool dfuInterface = isBootloader() || state_->dfu.runtimeInterface;
    if ((setup.bmRequestType == stm32::kClassInterfaceIn || setup.bmRequestType == stm32::kClassInterfaceOut) &&
        dfuInterface && setup.wIndex == state_->dfu.interfaceNumber)
        return dfuRequest(setup, data);
    if (setup.bmRequestType == stm32::kClassInterfaceIn || setup.bmRequestType == stm32::kClassInterfaceOut)
        return classRequest(setup, data);
    return UsbStatus::Stall;
}

std::uint16_t SimStm32Application::newHandle(std::vector<std::uint8_t>& data)
{
    const std::uint16_t handle = state_->nextHandle++;
    state_->handleKeys.erase(handle);
    state_->pendingKeys.erase(handle);
    state_->pendingValues.erase(handle);
    data = {static_cast<std::uint8_t>(handle & 0xFF), static_cast<std::uint8_t>(handle >> 8)};
    return handle;
}

UsbStatus SimStm32Application::vendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    SimStm32State& s = *state_;
    if (setup.wIndex != 0)
        return UsbStatus::Stall;
    const std::uint16_t handle = setup.wValue;
    if (setup.bmRequestType == stm32::kVendorDeviceIn) {
        switch (setup.bRequest) {
        case stm32::kGetHandle:
            newHandle(data);
            return UsbStatus::Success;
        case stm32::kGetValue: {
            const auto key = s.handleKeys.find(handle);
            if (key == s.handleKeys.end())
                return UsbStatus::Stall;
            const auto value = s.properties.find(key->second);
            if (value == s.properties.end())
                return UsbStatus::Stall;
            data = value->second;
            data.resize(setup.wLength, 0);
            return UsbStatus::Success;
        }
        default:
            return UsbStatus::Stall;
        }
    }
    switch (setup.bRequest) {
    case stm32::kSetKey: {
        if (handle == 0 || handle >= s.nextHandle) {
            s.violations.push_back("key for a handle never given");
            return UsbStatus::Stall;
        }
        std::vector<std::uint8_t>& key = s.pendingKeys[handle];
        key.insert(key.end(), data.begin(), data.end());
        if (data.size() < stm32::kChunkSize) {
            s.handleKeys[handle] = std::string(key.begin(), key.end());
            s.pendingKeys.erase(handle);
        }
        return UsbStatus::Success;
    }
    case stm32::kSetValue: {
        const auto key = s.handleKeys.find(handle);
        if (key == s.handleKeys.end()) {
            s.violations.push_back("value for a handle without a key");
            return UsbStatus::Stall;
        }
        std::vector<std::uint8_t>& value = s.pendingValues[handle];
        value.insert(value.end(), data.begin(), data.end());
        if (key->second == stm32::keys::kLutData && s.lutPieceMs > 0)
            answerAfter(Clock::Duration(s.lutPieceMs));
        if (data.size() < stm32::kChunkSize) {
            s.properties[key->second] = value;
            s.pendingValues.erase(handle);
        }
        return UsbStatus::Success;
    }
    case stm32::kFactoryReset:
        ++s.factoryResets;
        s.restoreFactorySettings();
        return UsbStatus::Success;
    default:
        return UsbStatus::Stall;
    }
}

UsbStatus SimStm32Application::classRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    SimStm32State& s = *state_;
    if (!s.controlInterface || setup.wIndex != s.controlInterfaceNumber)
        return UsbStatus::Stall;
    const std::uint16_t handle = setup.wValue;
    if (setup.bmRequestType == stm32::kClassInterfaceIn) {
        switch (setup.bRequest) {
        case stm32::kClassGetBootMode:
            data = {bootMode()};
            return UsbStatus::Success;
        case stm32::kClassGetHandle:
            newHandle(data);
            return UsbStatus::Success;
        case stm32::kClassGetValue: {
            const auto key = s.handleKeys.find(handle);
            if (key == s.handleKeys.end() || !s.properties.count(key->second))
                return UsbStatus::Stall;
            data = s.properties[key->second];
            data.resize(setup.wLength, 0);
            return UsbStatus::Success;
        }
        default:
            return UsbStatus::Stall;
        }
    }
    switch (setup.bRequest) {
    case stm32::kClassSetKey:
        if (handle == 0 || handle >= s.nextHandle)
            return UsbStatus::Stall;
        s.handleKeys[handle] = std::string(data.begin(), data.end());
        return UsbStatus::Success;
    case stm32::kClassSetValue: {
        const auto key = s.handleKeys.find(handle);
        if (key == s.handleKeys.end())
            return UsbStatus::Stall;
        s.properties[key->second] = data;
        return UsbStatus::Success;
    }
    default:
        return UsbStatus::Stall;
    }
}

} // namespace platform
