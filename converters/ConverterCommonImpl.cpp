#include "converters/ConverterCommonImpl.h"

#include "converters/GainScale.h"
#include "converters/ModelNames.h"

namespace TWG {
namespace Converters {

namespace {

bool answer(bool* out, bool value)
{
    if (out)
        *out = value;
    return true;
}

bool answer(int* out, int value)
{
    if (out)
        *out = value;
    return true;
}

} // namespace

int ConverterCommonImpl::addRef() { return ++references_; }

int ConverterCommonImpl::release()
{
    const int left = --references_;
    if (left == 0)
        delete this;
    return left;
}

bool ConverterCommonImpl::getModelName(QString* name)
{
    std::uint16_t ids[2] = {};
    if (!name || !readDeviceIds(ids))
        return false;
    const QString model = modelNameForProduct(ids[0]);
    if (model.isNull())
        return false;
    *name = model;
    return true;
}

bool ConverterCommonImpl::ping()
{
    std::uint8_t value = 0;
    return readRegister(0, &value);
}

bool ConverterCommonImpl::getDeviceIds(std::uint16_t* ids) { return ids && readDeviceIds(ids); }

void ConverterCommonImpl::setUpCapabilities(std::uint16_t productId)
{
    capabilities_ = ConverterCapabilities::forProduct(productId);
}

bool ConverterCommonImpl::hasAdjustableSettings(bool* out) { return answer(out, capabilities_.adjustable); }
bool ConverterCommonImpl::videoLevelsAreOutput(int* out) { return answer(out, capabilities_.videoLevelsAreOutput); }
bool ConverterCommonImpl::audioLevelsAreOutput(int* out) { return answer(out, capabilities_.audioLevelsAreOutput); }
bool ConverterCommonImpl::hasDownconversion(bool* out) { return answer(out, capabilities_.downconversion); }
bool ConverterCommonImpl::hasVideoGains(bool* out) { return answer(out, capabilities_.videoGains); }
bool ConverterCommonImpl::hasAudio(bool* out) { return answer(out, capabilities_.audio); }
bool ConverterCommonImpl::getAudioChannelCount(int* out) { return answer(out, capabilities_.audioChannelCount); }
bool ConverterCommonImpl::hasAesEbuLevel(bool* out) { return answer(out, capabilities_.aesEbuLevel); }
bool ConverterCommonImpl::hasDviExtender(bool* out) { return answer(out, capabilities_.dviExtender); }
bool ConverterCommonImpl::hasTally(bool* out) { return answer(out, capabilities_.tally); }
bool ConverterCommonImpl::hasClamping(bool* out) { return answer(out, capabilities_.clamping); }
bool ConverterCommonImpl::hasVideoLevel(bool* out) { return answer(out, capabilities_.videoLevel); }
bool ConverterCommonImpl::hasHdmiInstantLock(bool* out) { return answer(out, capabilities_.hdmiInstantLock); }
bool ConverterCommonImpl::hasSdAspect(bool* out) { return answer(out, capabilities_.sdAspect); }
bool ConverterCommonImpl::hasLut(bool* out) { return answer(out, capabilities_.lut); }

bool ConverterCommonImpl::videoGainsActive() const { return capabilities_.adjustable && capabilities_.videoGains; }

bool ConverterCommonImpl::audioGainActive(int index) const
{
    if (!capabilities_.adjustable || !capabilities_.audio)
        return false;
    if (index == kAesEbuIndex)
        return capabilities_.aesEbuLevel;
    return capabilities_.audioChannelCount > index;
}

bool ConverterCommonImpl::readVideoGain(int index, std::uint8_t* value)
{
    if (!value)
        return false;
    if (!videoGainsActive()) {
        *value = kDefaultVideoGain;
        return true;
    }
    return getVideoGain(index, value);
}

bool ConverterCommonImpl::writeVideoGain(int index, std::uint8_t value)
{
    return videoGainsActive() ? setVideoGain(index, value) : true;
}

bool ConverterCommonImpl::readAudioGain(int index, std::uint8_t* value)
{
    if (!value)
        return false;
    if (!audioGainActive(index)) {
        *value = kDefaultAudioGain;
        return true;
    }
    return getAudioGain(index, value);
}

bool ConverterCommonImpl::writeAudioGain(int index, std::uint8_t value)
{
    return audioGainActive(index) ? setAudioGain(index, value) : true;
}

bool ConverterCommonImpl::getLumaGain(std::uint8_t* value) { return readVideoGain(kLumaIndex, value); }
bool ConverterCommonImpl::setLumaGain(std::uint8_t value) { return writeVideoGain(kLumaIndex, value); }
bool ConverterCommonImpl::getChromaRGain(std::uint8_t* value) { return readVideoGain(kChromaRIndex, value); }
bool ConverterCommonImpl::setChromaRGain(std::uint8_t value) { return writeVideoGain(kChromaRIndex, value); }
bool ConverterCommonImpl::getChromaBGain(std::uint8_t* value) { return readVideoGain(kChromaBIndex, value); }
bool ConverterCommonImpl::setChromaBGain(std::uint8_t value) { return writeVideoGain(kChromaBIndex, value); }
bool ConverterCommonImpl::getAudioGain1(std::uint8_t* value) { return readAudioGain(0, value); }
bool ConverterCommonImpl::setAudioGain1(std::uint8_t value) { return writeAudioGain(0, value); }
bool ConverterCommonImpl::getAudioGain2(std::uint8_t* value) { return readAudioGain(1, value); }
bool ConverterCommonImpl::setAudioGain2(std::uint8_t value) { return writeAudioGain(1, value); }
bool ConverterCommonImpl::getAudioGain3(std::uint8_t* value) { return readAudioGain(2, value); }
bool ConverterCommonImpl::setAudioGain3(std::uint8_t value) { return writeAudioGain(2, value); }
bool ConverterCommonImpl::getAudioGain4(std::uint8_t* value) { return readAudioGain(3, value); }
bool ConverterCommonImpl::setAudioGain4(std::uint8_t value) { return writeAudioGain(3, value); }
bool ConverterCommonImpl::getAesEbuGain(std::uint8_t* value) { return readAudioGain(kAesEbuIndex, value); }
bool ConverterCommonImpl::setAesEbuGain(std::uint8_t value) { return writeAudioGain(kAesEbuIndex, value); }

} // namespace Converters
} // namespace TWG
