#include "converters/xmega/ConverterXmegaImpl.h"

#include "converters/ConverterLog.h"
#include "converters/GainScale.h"
#include "converters/xmega/PoweredXmegaDevice.h"
#include "converters/xmega/XmegaBeginEepromStage.h"
#include "converters/xmega/XmegaEndEepromStage.h"
#include "converters/xmega/XmegaFirmwareStage.h"
#include "converters/xmega/XmegaStagedLoader.h"
#include "platform/Clock.h"
#include "protocol/XmegaAddresses.h"

#include <iterator>
#include <memory>

namespace TWG {
namespace Converters {

using namespace xmegaaddr;

namespace {

constexpr std::uint32_t kVideoGainAddresses[] = {kLumaGain, kChromaRGain, kChromaBGain};
constexpr int kAudioGainCount = 5;
constexpr std::uint32_t kWordSize = 4;

bool isOneOf(std::uint16_t id, std::initializer_list<std::uint16_t> ids)
{
    for (std::uint16_t i : ids) {
        if (i == id)
            return true;
    }
    return false;
}

bool isContinuationByte(char c)
{
    const auto b = static_cast<std::uint8_t>(c);
    return b >= 0x80 && b <= 0xBF;
}

// Runs the stages between a session's begin and end on the device.
bool runStaged(const std::shared_ptr<XmegaUSBDevice>& device, std::vector<std::unique_ptr<XmegaFirmwareStage>>& images,
               DeviceLoaderDelegate* delegate)
{
    XmegaBeginEepromStage begin;
    XmegaEndEepromStage end;
    std::vector<XmegaLoaderStage*> stages{&begin};
    for (auto& s : images)
        stages.push_back(s.get());
    stages.push_back(&end);
    XmegaStagedLoader loader(device, stages, delegate);
    return loader.run();
}

} // namespace

ConverterXmegaImpl::ConverterXmegaImpl(std::shared_ptr<XmegaUSBDevice> device) { rebind(std::move(device)); }

ConverterXmegaImpl::~ConverterXmegaImpl() = default;

void ConverterXmegaImpl::rebind(std::shared_ptr<XmegaUSBDevice> device)
{
    device_ = std::move(device);
    productId_ = device_ ? device_->productId() : 0;
    setUpCapabilities(productId_);
}

bool ConverterXmegaImpl::readDeviceIds(std::uint16_t* ids)
{
    if (!ids || !device_)
        return false;
    const std::uint16_t id = device_->productId();
    if (id == 0)
        return false;
    ids[0] = id;
    return true;
}

bool ConverterXmegaImpl::readRegister(std::uint32_t address, std::uint8_t* value)
{
    return value && device_ && device_->readMemory(address, 1, value);
}

bool ConverterXmegaImpl::writeRegister(std::uint32_t address, std::uint8_t value) { return writeWord(address, value); }

bool ConverterXmegaImpl::readWord(std::uint32_t address, std::uint32_t* value)
{
    std::uint8_t b[kWordSize] = {};
    if (!value || !device_ || address % kWordSize != 0 || !device_->readMemory(address, kWordSize, b))
        return false;
    *value = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
             (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return true;
}

bool ConverterXmegaImpl::writeWord(std::uint32_t address, std::uint32_t value)
{
    if (!device_ || address % kWordSize != 0)
        return false;
    const std::uint8_t b[kWordSize] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return device_->writeMemory(address, kWordSize, b);
}

bool ConverterXmegaImpl::readBit(std::uint32_t address, std::uint32_t mask, bool* set)
{
    std::uint32_t word = 0;
    if (!set || !readWord(address, &word))
        return false;
    *set = (word & mask) != 0;
    return true;
}

bool ConverterXmegaImpl::runsBootloader()
{
    std::uint8_t mode = 0;
    return device_ && device_->getMode(&mode) && mode != 0;
}

bool ConverterXmegaImpl::isPowered(bool* powered)
{
    if (!powered || !device_)
        return false;
    // A converter left in its bootloader answers neither the power request nor memory reads.
    // It counts as powered, so its card opens and offers the update that starts it again.
    if (auto withPower = std::dynamic_pointer_cast<PoweredXmegaDevice>(device_)) {
        if (withPower->isPowered(powered))
            return true;
        if (!runsBootloader())
            return false;
        *powered = true;
        return true;
    }
    // These boards cannot say; a version byte that is neither 0x00 nor 0xFF shows the
    // controller is up.
    for (int i = 0; i < kPowerProbeTries && !powerSeen_; ++i) {
        if (i > 0)
            platform::clock().sleepFor(platform::Clock::Duration(kPowerProbeIntervalMs));
        std::uint8_t version = 0;
        if (getVersionRegister(&version)) {
            if (version != 0x00 && version != 0xFF)
                powerSeen_ = true;
        } else if (runsBootloader()) {
            break;
        }
    }
    *powered = true;
    return true;
}

bool ConverterXmegaImpl::getFirmwareVersion(int* version)
{
    // The versions a bootloader reports are those of an application that does not run.
    std::uint32_t first = 0, second = 0;
    if (!version || !device_ || runsBootloader() || !device_->getVersions(&first, &second) || first != second)
        return false;
    *version = static_cast<int>(first);
    return true;
}

bool ConverterXmegaImpl::getVersionRegister(std::uint8_t* value)
{
    if (!value)
        return false;
    if (productId_ == 0xBE06) {
        std::uint32_t word = 0;
        if (!readWord(kVersion, &word))
            return false;
        *value = static_cast<std::uint8_t>(word);
        return true;
    }
    return readRegister(kVersion, value);
}

bool ConverterXmegaImpl::getProductStatus(int kind, std::uint8_t* value)
{
    if (!value || kind != 2 || !isOneOf(productId_, {0xBD91, 0xBD93, 0xBD94, 0xBD95, 0xBD96, 0xBDF2, 0xBDF6, 0xBE06}))
        return false;
    if (productId_ == 0xBE06) {
        std::uint32_t word = 0;
        if (!readWord(kStatus, &word))
            return false;
        *value = static_cast<std::uint8_t>(word);
        return true;
    }
    return readRegister(kStatus, value);
}

bool ConverterXmegaImpl::setVideoGain(int index, std::uint8_t value)
{
    if (index < 0 || index >= static_cast<int>(std::size(kVideoGainAddresses)))
        return true;
    return writeRegister(kVideoGainAddresses[index], value);
}

bool ConverterXmegaImpl::getVideoGain(int index, std::uint8_t* value)
{
    if (!value)
        return false;
    if (index < 0 || index >= static_cast<int>(std::size(kVideoGainAddresses))) {
        *value = kDefaultVideoGain;
        return true;
    }
    return readRegister(kVideoGainAddresses[index], value);
}

bool ConverterXmegaImpl::setAudioGain(int index, std::uint8_t value)
{
    if (index < 0 || index >= kAudioGainCount)
        return true;
    return writeRegister(kAudioGainBase + kWordSize * index, value);
}

bool ConverterXmegaImpl::getAudioGain(int index, std::uint8_t* value)
{
    if (!value)
        return false;
    if (index < 0 || index >= kAudioGainCount) {
        *value = kDefaultAudioGain;
        return true;
    }
    return readRegister(kAudioGainBase + kWordSize * index, value);
}

bool ConverterXmegaImpl::getClampingDisabled(bool* disabled)
{
    if (!disabled)
        return false;
    if (!capabilities().clamping) {
        *disabled = false;
        return true;
    }
    return readBit(kClamping, 0x01, disabled);
}

bool ConverterXmegaImpl::setClampingDisabled(bool disabled)
{
    if (!capabilities().clamping)
        return true;
    // Bit 1 of the word is option flag A: keep it.
    std::uint32_t word = 0;
    if (!readWord(kClamping, &word))
        return false;
    return writeWord(kClamping, disabled ? (word | 1u) : (word & ~1u));
}

bool ConverterXmegaImpl::getVideoLevel(bool* levelB)
{
    if (!levelB)
        return false;
    if (!capabilities().videoLevel) {
        *levelB = false;
        return true;
    }
    return readBit(kVideoLevel, 0x01, levelB);
}

bool ConverterXmegaImpl::setVideoLevel(bool levelB)
{
    return capabilities().videoLevel ? writeWord(kVideoLevel, levelB ? 1 : 0) : true;
}

bool ConverterXmegaImpl::getHdmiInstantLock(bool* on)
{
    if (!on)
        return false;
    if (!capabilities().clamping) {
        *on = false;
        return true;
    }
    bool off = false;
    if (!readBit(kInstantLock, 0x01, &off))
        return false;
    *on = !off;
    return true;
}

bool ConverterXmegaImpl::setHdmiInstantLock(bool on)
{
    return capabilities().clamping ? writeWord(kInstantLock, on ? 0 : 1) : true;
}

bool ConverterXmegaImpl::getDownconversion(int* mode, std::uint8_t* extra)
{
    if (!mode || !extra)
        return false;
    if (!capabilities().adjustable || !capabilities().downconversion) {
        *mode = 0;
        *extra = 0;
        return true;
    }
    std::uint32_t word = 0;
    if (!readWord(kDownconversion, &word))
        return false;
    *mode = (word & kDownconversionOn) ? static_cast<int>((word >> 2) & 3) + 1 : 0;
    *extra = productId_ == 0xBD91 ? 1 : 0;
    return true;
}

bool ConverterXmegaImpl::setDownconversion(int mode)
{
    if (mode < 0 || mode > 3)
        return false;
    if (!capabilities().adjustable || !capabilities().downconversion || mode == 0)
        return true;
    return writeWord(kDownconversion, static_cast<std::uint32_t>(mode - 1) & 3);
}

bool ConverterXmegaImpl::writeModeRegister(std::uint32_t value)
{
    if (productId_ == 0xBDB8)
        return writeWord(kRequest, value);
    if (productId_ == 0xBE06)
        return writeWord(kModeRegisterBE06, value);
    return writeWord(kModeRegister, value);
}

bool ConverterXmegaImpl::setRequestByte(std::uint8_t value) { return writeRegister(kRequest, value); }

bool ConverterXmegaImpl::waitRequestFlag(bool* flag)
{
    if (!flag)
        return false;
    for (int i = 0; i < kRequestPollReads; ++i) {
        if (i > 0)
            platform::clock().sleepFor(platform::Clock::Duration(kRequestPollMs));
        std::uint32_t word = 0;
        if (readWord(kRequest, &word) && word != 0) {
            *flag = (word & kRequestDoneBit) != 0;
            return true;
        }
    }
    return false;
}

bool ConverterXmegaImpl::getOptionFlagA(bool* flag) { return readBit(kClamping, 0x02, flag); }

bool ConverterXmegaImpl::getOptionFlagB(bool* flag) { return readBit(kOptionB, 0x01, flag); }

bool ConverterXmegaImpl::getSdAspectWide(bool* wide)
{
    if (!wide)
        return false;
    if (!capabilities().sdAspect) {
        *wide = false;
        return true;
    }
    return readBit(kSdAspect, 0x01, wide);
}

bool ConverterXmegaImpl::setSdAspectWide(bool wide)
{
    return capabilities().sdAspect ? writeWord(kSdAspect, wide ? 1 : 0) : true;
}

bool ConverterXmegaImpl::getStatusBit(int bit, bool* on)
{
    std::uint8_t value = 0;
    if (bit < 0 || bit > 7 || !on || !readRegister(kStatus, &value))
        return false;
    *on = (value & (1u << bit)) == 0;
    return true;
}

bool ConverterXmegaImpl::resetToDefaults()
{
    bool ok = setLumaGain(kDefaultVideoGain);
    ok = setChromaRGain(kDefaultVideoGain) && ok;
    ok = setChromaBGain(kDefaultVideoGain) && ok;
    ok = setClampingDisabled(false) && ok;
    ok = setAudioGain1(kDefaultAudioGain) && ok;
    ok = setAudioGain2(kDefaultAudioGain) && ok;
    ok = setAudioGain3(kDefaultAudioGain) && ok;
    ok = setAudioGain4(kDefaultAudioGain) && ok;
    ok = setAesEbuGain(kDefaultAudioGain) && ok;
    ok = setDownconversion(0) && ok;
    if (productId_ == 0xBD93 || productId_ == 0xBD94)
        ok = writeModeRegister(0) && ok;
    return ok;
}

std::string ConverterXmegaImpl::lutHeaderName(const std::string& name)
{
    if (name.size() <= kLutNameMaxBytes)
        return name;
    std::size_t cut = kLutNameCutOffset;
    while (cut > 0 && isContinuationByte(name[cut]))
        --cut;
    return name.substr(0, cut);
}

bool ConverterXmegaImpl::loadLut(int index, const std::string& name, const std::vector<std::uint8_t>& data)
{
    if (!device_ || data.size() != kLutDataSize) {
        qCWarning(lcConverters) << "LUT of" << data.size() << "bytes refused";
        return false;
    }
    const std::string stored = lutHeaderName(name);
    std::vector<std::uint8_t> image(kLutNameField + kLutDataSize, 0);
    std::copy(stored.begin(), stored.end(), image.begin());
    std::copy(data.begin(), data.end(), image.begin() + kLutNameField);
    const std::uint32_t offset = kLutOffsetBase + static_cast<std::uint32_t>(index & 0xFF) * kLutSlotSize;
    std::vector<std::unique_ptr<XmegaFirmwareStage>> images;
    images.push_back(std::make_unique<XmegaFirmwareStage>(kLutTarget, offset, static_cast<std::uint32_t>(image.size()),
                                                          image.data()));
    return runStaged(device_, images, nullptr);
}

bool ConverterXmegaImpl::getLutName(int index, std::string* name)
{
    if (!name || index < 0 || index > 1)
        return false;
    std::string text;
    for (std::uint32_t address = kLutNameBase[index]; text.size() < kLutNameField; address += kWordSize) {
        std::uint32_t word = 0;
        if (!readWord(address, &word))
            return false;
        for (int i = 0; i < 4 && text.size() < kLutNameField; ++i) {
            const char c = static_cast<char>((word >> (8 * i)) & 0xFF);
            if (c == '\0') {
                *name = text;
                return true;
            }
            text.push_back(c);
        }
    }
    *name = text;
    return true;
}

bool ConverterXmegaImpl::programFirmware(const ImageSource* source, Delegate* delegate)
{
    if (!device_ || !source)
        return false;
    const int count = source->imageCount();
    if (count <= 0)
        return true;
    std::vector<std::unique_ptr<XmegaFirmwareStage>> images;
    for (int i = 0; i < count; ++i) {
        if (!source->imageData(i))
            return false;
        images.push_back(std::make_unique<XmegaFirmwareStage>(source->imageTarget(i), source->imageOffset(i),
                                                              source->imageSize(i), source->imageData(i)));
    }
    programmingDelegate_ = delegate;
    const bool ok = runStaged(device_, images, this);
    programmingDelegate_ = nullptr;
    return ok;
}

void ConverterXmegaImpl::progress(int percent)
{
    if (programmingDelegate_)
        programmingDelegate_->reportProgress(percent);
}

} // namespace Converters
} // namespace TWG
