#include "converters/fx2/ConverterFX2Impl.h"

#include "converters/GainScale.h"
#include "converters/UsbSerialNumber.h"
#include "converters/fx2/AtmelAT90HardwareAccess.h"
#include "converters/fx2/ConverterInstance.h"
#include "protocol/Fx2Protocol.h"
#include "protocol/Fx2Registers.h"

namespace TWG {
namespace Converters {

using namespace fx2reg;

namespace {

constexpr std::uint8_t kVideoGainRegisters[] = {kLumaGain, kChromaRGain, kChromaBGain};
constexpr int kAudioGainCount = 5;

bool isOneOf(std::uint16_t id, std::initializer_list<std::uint16_t> ids)
{
    for (std::uint16_t i : ids) {
        if (i == id)
            return true;
    }
    return false;
}

} // namespace

ConverterFX2Impl::ConverterFX2Impl(ConverterInstance* device) : device_(device)
{
    device_->addRef();
    std::uint16_t product = 0;
    if (device_->getProductId(&product))
        productId_ = product;
    setUpCapabilities(productId_);
    setSerialNumber(readSerialNumber(device_->usbDevice(), fx2::kRequestTimeoutMs));
}

ConverterFX2Impl::~ConverterFX2Impl() { device_->release(); }

bool ConverterFX2Impl::readDeviceIds(std::uint16_t* ids) { return ids && device_->getProductId(ids); }

bool ConverterFX2Impl::readRegister(std::uint32_t address, std::uint8_t* value)
{
    return value && address <= 0xFF && device_->readRegister(static_cast<std::uint8_t>(address), value);
}

bool ConverterFX2Impl::writeRegister(std::uint32_t address, std::uint8_t value)
{
    return address <= 0xFF && device_->writeRegister(static_cast<std::uint8_t>(address), value);
}

bool ConverterFX2Impl::readBit(std::uint8_t reg, std::uint8_t mask, bool* set)
{
    std::uint8_t value = 0;
    if (!set || !readRegister(reg, &value))
        return false;
    *set = (value & mask) != 0;
    return true;
}

bool ConverterFX2Impl::writeBit(std::uint8_t reg, std::uint8_t mask, bool set)
{
    std::uint8_t value = 0;
    if (!readRegister(reg, &value))
        return false;
    value = static_cast<std::uint8_t>(set ? (value | mask) : (value & ~mask));
    return writeRegister(reg, value);
}

bool ConverterFX2Impl::isPowered(bool* powered) { return powered && device_->isPowered(powered); }

bool ConverterFX2Impl::getFirmwareVersion(int*) { return false; }

bool ConverterFX2Impl::getVersionRegister(std::uint8_t* value) { return value && device_->readVersionRegister(value); }

bool ConverterFX2Impl::setVideoGain(int index, std::uint8_t value)
{
    if (index < 0 || index >= static_cast<int>(sizeof kVideoGainRegisters))
        return true;
    return writeRegister(kVideoGainRegisters[index], value);
}

bool ConverterFX2Impl::getVideoGain(int index, std::uint8_t* value)
{
    if (!value)
        return false;
    if (index < 0 || index >= static_cast<int>(sizeof kVideoGainRegisters)) {
        *value = kDefaultVideoGain;
        return true;
    }
    return readRegister(kVideoGainRegisters[index], value);
}

bool ConverterFX2Impl::setAudioGain(int index, std::uint8_t value)
{
    if (index < 0 || index >= kAudioGainCount)
        return true;
    return writeRegister(kAudioGainBase + index, value);
}

bool ConverterFX2Impl::getAudioGain(int index, std::uint8_t* value)
{
    if (!value)
        return false;
    if (index < 0 || index >= kAudioGainCount) {
        *value = kDefaultAudioGain;
        return true;
    }
    return readRegister(kAudioGainBase + index, value);
}

bool ConverterFX2Impl::getControlBit(int bit, bool* on, bool* overridden)
{
    if (bit < 0 || bit > 7 || !on || !overridden)
        return false;
    const std::uint8_t mask = static_cast<std::uint8_t>(1u << bit);
    std::uint8_t select = 0, level = 0;
    if (!readRegister(kControlSelect, &select))
        return false;
    const bool isOverridden = (select & mask) != 0;
    if (!readRegister(isOverridden ? kControlLevels : kSwitches, &level))
        return false;
    *overridden = isOverridden;
    *on = (level & mask) == 0;
    return true;
}

bool ConverterFX2Impl::setControlBit(int bit, bool on)
{
    if (bit < 0 || bit > 7)
        return false;
    const std::uint8_t mask = static_cast<std::uint8_t>(1u << bit);
    std::uint8_t select = 0, value = 0;
    if (!readRegister(kControlSelect, &select))
        return false;
    const bool wasOverridden = (select & mask) != 0;
    if (wasOverridden) {
        if (!readRegister(kControlLevels, &value))
            return false;
    } else {
        if (!readRegister(kSwitches, &value) || !writeRegister(kControlSelect, select | mask))
            return false;
    }
    const std::uint8_t next = static_cast<std::uint8_t>(on ? (value & ~mask) : (value | mask));
    if (wasOverridden && next == value)
        return true;
    return writeRegister(kControlLevels, next);
}

bool ConverterFX2Impl::getClampingDisabled(bool* disabled)
{
    if (!disabled)
        return false;
    if (!capabilities().clamping) {
        *disabled = false;
        return true;
    }
    return readBit(kProcessing, kClampingDisabledBit, disabled);
}

bool ConverterFX2Impl::setClampingDisabled(bool disabled)
{
    return capabilities().clamping ? writeBit(kProcessing, kClampingDisabledBit, disabled) : true;
}

bool ConverterFX2Impl::getVideoLevel(bool* levelB)
{
    if (!levelB)
        return false;
    if (!capabilities().videoLevel) {
        *levelB = false;
        return true;
    }
    if (capabilities().videoLevelControlBit != 0) {
        bool overridden = false;
        return getControlBit(capabilities().videoLevelControlBit - 1, levelB, &overridden);
    }
    return readBit(kProcessing, kVideoLevelBit, levelB);
}

bool ConverterFX2Impl::setVideoLevel(bool levelB)
{
    if (!capabilities().videoLevel)
        return true;
    if (capabilities().videoLevelControlBit != 0)
        return setControlBit(capabilities().videoLevelControlBit - 1, levelB);
    return writeBit(kProcessing, kVideoLevelBit, levelB);
}

bool ConverterFX2Impl::getHdmiInstantLock(bool* on)
{
    if (!on || capabilities().hdmiInstantLock)
        return false;
    *on = false;
    return true;
}

bool ConverterFX2Impl::setHdmiInstantLock(bool) { return !capabilities().hdmiInstantLock; }

bool ConverterFX2Impl::getDownconversion(int* mode, std::uint8_t* extra)
{
    if (!mode || !extra)
        return false;
    if (!capabilities().adjustable || !capabilities().downconversion) {
        *mode = 0;
        *extra = 0;
        return true;
    }
    bool on = false, overridden = false;
    if (!getControlBit(kDownconversionControlBit, &on, &overridden))
        return false;
    int result = 0;
    if (on) {
        std::uint8_t value = 0;
        if (!readRegister(kProcessing, &value))
            return false;
        result = (value & kDownconversionMask) + 1;
    }
    *mode = result;
    *extra = overridden ? 1 : 0;
    return true;
}

bool ConverterFX2Impl::setDownconversion(int mode)
{
    if (mode < 0 || mode > 3)
        return false;
    if (!capabilities().adjustable || !capabilities().downconversion)
        return true;
    if (!setControlBit(kDownconversionControlBit, mode != 0))
        return false;
    if (mode == 0)
        return true;
    std::uint8_t value = 0;
    if (!readRegister(kProcessing, &value))
        return false;
    value = static_cast<std::uint8_t>((value & ~kDownconversionMask) | (mode - 1));
    return writeRegister(kProcessing, value);
}

// DVI mode, camera number and tally share registers with the gains of other models
// (register 10 is the luma gain), so only the models that have them touch them.
bool ConverterFX2Impl::getDviExtenderMode(int* mode)
{
    if (!mode)
        return false;
    if (!capabilities().dviExtender) {
        *mode = 0;
        return true;
    }
    std::uint8_t value = 0;
    if (!readRegister(kDviExtenderMode, &value))
        return false;
    *mode = value;
    return true;
}

bool ConverterFX2Impl::setDviExtenderMode(int mode)
{
    if (mode < 0 || mode > 0xFF)
        return false;
    return capabilities().dviExtender ? writeRegister(kDviExtenderMode, static_cast<std::uint8_t>(mode)) : true;
}

bool ConverterFX2Impl::getCameraNumber(int* number)
{
    if (!number)
        return false;
    std::uint8_t value = 1;
    if (capabilities().tally && !readRegister(kCameraNumber, &value))
        return false;
    *number = (value == 0 || value > kMaxCameraNumber) ? 1 : value;
    return true;
}

bool ConverterFX2Impl::setCameraNumber(int number)
{
    if (number < 1 || number > kMaxCameraNumber)
        return false;
    return capabilities().tally ? writeRegister(kCameraNumber, static_cast<std::uint8_t>(number)) : true;
}

bool ConverterFX2Impl::getShowTally(bool* on)
{
    if (!on)
        return false;
    if (!capabilities().tally) {
        *on = true;
        return true;
    }
    bool off = false;
    if (!readBit(kTally, kTallyOff, &off))
        return false;
    *on = !off;
    return true;
}

bool ConverterFX2Impl::setShowTally(bool on)
{
    return capabilities().tally ? writeRegister(kTally, on ? 0 : kTallyOff) : true;
}

bool ConverterFX2Impl::writeModeRegister(std::uint32_t value)
{
    if (value > 0xFF)
        return false;
    if (isOneOf(productId_, {0xBD69, 0xBD6A, 0xBD83, 0xBD84}))
        return writeRegister(kControlLevels, static_cast<std::uint8_t>(value));
    if (productId_ == 0xBD82)
        return writeRegister(kSwitches, static_cast<std::uint8_t>(value));
    return false;
}

bool ConverterFX2Impl::getProductStatus(int kind, std::uint8_t* value)
{
    if (!value)
        return false;
    std::uint8_t reg = 0;
    if (productId_ == 0xBD54 && (kind == 0 || kind == 1)) {
        if (!readRegister(kChromaRGain, &reg))
            return false;
        *value = static_cast<std::uint8_t>(reg & (kind == 0 ? kProductStatusMask : kProductOptionBit));
        return true;
    }
    if (isOneOf(productId_, {0xBD5F, 0xBD60}) && kind == 0) {
        if (!readRegister(kSwitches, &reg))
            return false;
        *value = reg & kSwitchModeMask;
        return true;
    }
    if (isOneOf(productId_, {0xBD6A, 0xBD83, 0xBD91, 0xBD95, 0xBD96}) && kind == 2)
        return readRegister(kSwitches, value);
    return false;
}

bool ConverterFX2Impl::setProductOption(int kind, bool on)
{
    if (productId_ != 0xBD54 || kind != 1)
        return false;
    return writeBit(kChromaRGain, kProductOptionBit, on);
}

bool ConverterFX2Impl::getProductRegister(int kind, std::uint8_t* value)
{
    if (productId_ != 0xBD85 || !value)
        return false;
    switch (kind) {
    case 0:
        return readRegister(kLumaGain, value);
    case 1:
        return readRegister(kChromaBGain, value);
    case 2:
        return readRegister(kProductExtra, value);
    default:
        return false;
    }
}

bool ConverterFX2Impl::setProductRegister(int kind, std::uint8_t value)
{
    if (productId_ != 0xBD85 || kind != 3)
        return false;
    return writeRegister(kProductControl, value);
}

bool ConverterFX2Impl::getSdAspectWide(bool* wide)
{
    if (!wide || capabilities().sdAspect) // no FX2 model has one
        return false;
    *wide = false;
    return true;
}

bool ConverterFX2Impl::setSdAspectWide(bool) { return !capabilities().sdAspect; }

bool ConverterFX2Impl::resetToDefaults()
{
    if (productId_ == 0xBD54)
        return writeRegister(kChromaRGain, 128) && writeRegister(kChromaRGain, 0);
    bool ok = setAudioGain1(kDefaultAudioGain);
    ok = setAudioGain2(kDefaultAudioGain) && ok;
    ok = setAesEbuGain(kDefaultAudioGain) && ok;
    if (productId_ != 0xBD18 && productId_ != 0xBD47) {
        ok = setAudioGain3(kDefaultAudioGain) && ok;
        ok = setAudioGain4(kDefaultAudioGain) && ok;
        ok = setLumaGain(kDefaultVideoGain) && ok;
        ok = setChromaRGain(kDefaultVideoGain) && ok;
        ok = setChromaBGain(kDefaultVideoGain) && ok;
        ok = setClampingDisabled(false) && ok;
        ok = setDviExtenderMode(0) && ok;
        ok = setCameraNumber(1) && ok;
        ok = setShowTally(true) && ok;
        if (isOneOf(productId_, {0xBD69, 0xBD6A, 0xBD82, 0xBD83, 0xBD84}))
            ok = writeModeRegister(0) && ok;
    }
    return ok;
}

bool ConverterFX2Impl::eraseFirmware(std::uint32_t length) { return device_->eraseFlash(0, length); }

bool ConverterFX2Impl::writeFirmware(const std::uint8_t* data, std::uint32_t length)
{
    return device_->writeFlash(data, length);
}

bool ConverterFX2Impl::restartDevice() { return device_->restartDevice(); }

bool ConverterFX2Impl::hasAT90() { return device_->at90Programmer() != nullptr; }

bool ConverterFX2Impl::eraseAT90()
{
    AtmelAT90HardwareAccess* at90 = device_->at90Programmer();
    return at90 && at90->chipErase();
}

bool ConverterFX2Impl::writeAT90Fuses()
{
    AtmelAT90HardwareAccess* at90 = device_->at90Programmer();
    return at90 && at90->writeFuses();
}

bool ConverterFX2Impl::enterAT90Programming()
{
    AtmelAT90HardwareAccess* at90 = device_->at90Programmer();
    return at90 && at90->enterProgramming();
}

bool ConverterFX2Impl::leaveAT90Programming()
{
    AtmelAT90HardwareAccess* at90 = device_->at90Programmer();
    return at90 && at90->leaveProgramming();
}

bool ConverterFX2Impl::prepareAT90Pages()
{
    AtmelAT90HardwareAccess* at90 = device_->at90Programmer();
    return at90 && at90->preparePages();
}

bool ConverterFX2Impl::writeAT90Page(std::uint32_t page, const std::uint8_t* data, std::uint32_t remaining,
                                     std::uint32_t* written)
{
    AtmelAT90HardwareAccess* at90 = device_->at90Programmer();
    return at90 && at90->writePage(page, data, remaining, written);
}

} // namespace Converters
} // namespace TWG
