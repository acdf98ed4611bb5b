#include "platform/sim/models/stm32/SimStm32State.h"

#include "protocol/DfuProtocol.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/ZanthicFirmwareIds.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform {

namespace {
namespace stm32 = TWG::Zanthic::stm32;
constexpr std::uint8_t kManufacturerIndex = 1;
constexpr std::uint8_t kProductIndex = 2;
constexpr std::uint8_t kSerialIndex = 3;
} // namespace

SimStm32State::SimStm32State()
{
    setText(stm32::keys::kDeviceName, "Studio Converter");
    setText(stm32::keys::kBuildId, "0000B6F1");
    setText(stm32::keys::kReleaseVersion, "7.6");
    setText(stm32::keys::kLutName, "");
    restoreFactorySettings();
}

void SimStm32State::restoreFactorySettings()
{
    for (const char* key : {stm32::keys::kHdmiClampEnable, stm32::keys::kHdmiRxCh34Swap, stm32::keys::kHdmiTxCh34Swap,
                            stm32::keys::kLutHdmiOutEnable, stm32::keys::kLutLoopEnable, stm32::keys::kLutSdiOutEnable,
                            stm32::keys::kSdiLevelAEnable})
        properties[key] = {0};
    properties[stm32::keys::kLutSelection] = {0};
    properties[stm32::keys::kZephId] = {1};
}

SimDescriptors SimStm32State::descriptors(bool bootloader) const
{
    SimDescriptors d;
    d.device.idVendor = vendorId;
    d.device.idProduct = productId;
    d.device.bcdDevice = release;
    d.device.iManufacturer = kManufacturerIndex;
    d.device.iProduct = kProductIndex;
    d.device.iSerialNumber = kSerialIndex;
    d.strings[kManufacturerIndex] = "Tarnwright";
    d.strings[kProductIndex] = "Zanthic Converter";
    d.strings[kSerialIndex] = serial;
    d.configurations[0].interfaces.clear();
    if (controlInterface) {
        SimInterface i;
        i.number = controlInterfaceNumber;
        i.interfaceClass = stm32::kControlClass;
        i.interfaceSubClass = stm32::kControlSubClass;
        i.interfaceProtocol = stm32::kControlProtocol;
        std::vector<std::uint8_t> functional(functionalLength, 0);
        if (functionalLength > 0)
            functional[0] = functionalLength;
        if (functionalLength > 1)
            functional[1] = stm32::kFunctionalDescriptorType;
        if (functionalLength > stm32::kFunctionalAttributesOffset)
            functional[stm32::kFunctionalAttributesOffset] = answersIdentity ? stm32::kAttributeAnswers : 0;
        i.classDescriptors = {functional};
        d.configurations[0].interfaces.push_back(i);
    }
    if (bootloader || dfu.runtimeInterface) {
        namespace Dfu = TWG::Dfu;
        SimInterface i;
        i.number = dfu.interfaceNumber;
        i.interfaceClass = Dfu::kInterfaceClass;
        i.interfaceSubClass = Dfu::kInterfaceSubClass;
        i.interfaceProtocol = bootloader ? Dfu::kProtocolDfuMode : Dfu::kProtocolRuntime;
        i.classDescriptors = {{Dfu::kFunctionalDescriptorLength, Dfu::kFunctionalDescriptorType, dfu.attributes,
                               static_cast<std::uint8_t>(dfu.detachTimeoutMs & 0xFF),
                               static_cast<std::uint8_t>(dfu.detachTimeoutMs >> 8),
                               static_cast<std::uint8_t>(dfu.transferSize & 0xFF),
                               static_cast<std::uint8_t>(dfu.transferSize >> 8),
                               static_cast<std::uint8_t>(dfu.version & 0xFF),
                               static_cast<std::uint8_t>(dfu.version >> 8)}};
        d.configurations[0].interfaces.push_back(i);
    }
    return d;
}

std::string SimStm32State::text(const std::string& key) const
{
    const auto found = properties.find(key);
    if (found == properties.end())
        return {};
    return std::string(found->second.begin(), found->second.end());
}

void SimStm32State::startApplicationFromFlash()
{
    namespace ids = TWG::Zanthic::firmwareids;
    const std::size_t marker = std::strlen(ids::kBuildIdMarker);
    const auto found = std::search(flash.begin(), flash.end(), ids::kBuildIdMarker, ids::kBuildIdMarker + marker);
    if (found == flash.end() || flash.end() - found < static_cast<std::ptrdiff_t>(marker + ids::kBuildIdDigits))
        return;
    const std::string id(found + static_cast<std::ptrdiff_t>(marker),
                         found + static_cast<std::ptrdiff_t>(marker + ids::kBuildIdDigits));
    if (std::all_of(id.begin(), id.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
        setText(stm32::keys::kBuildId, id);
}

void SimStm32State::setText(const std::string& key, const std::string& value)
{
    properties[key] = std::vector<std::uint8_t>(value.begin(), value.end());
}

} // namespace platform
