#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace TWG {
namespace Converters {

class IConverterFX2Programming;
class IConverterXmegaProgramming;

// Bytes of a 33 x 33 x 33 LUT of 4-byte entries, as loadLut takes them.
constexpr std::size_t kLutDataSize = 33 * 33 * 33 * 4;

// A classic converter. Reference-counted: the creator holds one reference, release() at 0
// deletes it. Getters take an out pointer and answer whether the transfer worked (or nothing
// had to be read); setters answer whether the write worked. A setting the model does not have
// reads as its default and writes as a successful no-op, unless noted.
class IConverter {
public:
    virtual int addRef() = 0;
    virtual int release() = 0;

    virtual bool getModelName(QString* name) = 0;
    virtual bool ping() = 0;
    // ids[0] is the product id.
    virtual bool getDeviceIds(std::uint16_t* ids) = 0;
    virtual bool isPowered(bool* powered) = 0;
    virtual bool getFirmwareVersion(int* version) = 0;
    virtual bool getVersionRegister(std::uint8_t* value) = 0;
    virtual bool isXmega() = 0;
    virtual IConverterFX2Programming* getFX2Programming() = 0;
    virtual IConverterXmegaProgramming* getXmegaProgramming() = 0;

    virtual bool hasAdjustableSettings(bool* out) = 0;
    virtual bool videoLevelsAreOutput(int* out) = 0;
    virtual bool audioLevelsAreOutput(int* out) = 0;
    virtual bool hasDownconversion(bool* out) = 0;
    virtual bool hasVideoGains(bool* out) = 0;
    virtual bool hasAudio(bool* out) = 0;
    virtual bool getAudioChannelCount(int* out) = 0;
    virtual bool hasAesEbuLevel(bool* out) = 0;
    virtual bool hasDviExtender(bool* out) = 0;
    virtual bool hasTally(bool* out) = 0;
    virtual bool hasClamping(bool* out) = 0;
    virtual bool hasVideoLevel(bool* out) = 0;
    virtual bool hasHdmiInstantLock(bool* out) = 0;
    virtual bool hasSdAspect(bool* out) = 0;
    virtual bool hasLut(bool* out) = 0;

    virtual bool resetToDefaults() = 0;
    virtual bool getProductStatus(int kind, std::uint8_t* value) = 0;
    virtual bool setProductOption(int kind, bool on) = 0;

    virtual bool getLumaGain(std::uint8_t* value) = 0;
    virtual bool setLumaGain(std::uint8_t value) = 0;
    virtual bool getChromaRGain(std::uint8_t* value) = 0;
    virtual bool setChromaRGain(std::uint8_t value) = 0;
    virtual bool getChromaBGain(std::uint8_t* value) = 0;
    virtual bool setChromaBGain(std::uint8_t value) = 0;
    virtual bool getClampingDisabled(bool* disabled) = 0;
    virtual bool setClampingDisabled(bool disabled) = 0;
    virtual bool getVideoLevel(bool* levelB) = 0;
    virtual bool setVideoLevel(bool levelB) = 0;
    virtual bool getHdmiInstantLock(bool* on) = 0;
    virtual bool setHdmiInstantLock(bool on) = 0;
    virtual bool getAudioGain1(std::uint8_t* value) = 0;
    virtual bool setAudioGain1(std::uint8_t value) = 0;
    virtual bool getAudioGain2(std::uint8_t* value) = 0;
    virtual bool setAudioGain2(std::uint8_t value) = 0;
    virtual bool getAudioGain3(std::uint8_t* value) = 0;
    virtual bool setAudioGain3(std::uint8_t value) = 0;
    virtual bool getAudioGain4(std::uint8_t* value) = 0;
    virtual bool setAudioGain4(std::uint8_t value) = 0;
    virtual bool getAesEbuGain(std::uint8_t* value) = 0;
    virtual bool setAesEbuGain(std::uint8_t value) = 0;
    // mode 0 off, 1-3; extra: the model's switch override flag.
    virtual bool getDownconversion(int* mode, std::uint8_t* extra) = 0;
    virtual bool setDownconversion(int mode) = 0;
    virtual bool getDviExtenderMode(int* mode) = 0;
    virtual bool setDviExtenderMode(int mode) = 0;
    virtual bool getCameraNumber(int* number) = 0;
    virtual bool setCameraNumber(int number) = 0;
    virtual bool getShowTally(bool* on) = 0;
    virtual bool setShowTally(bool on) = 0;
    virtual bool writeModeRegister(std::uint32_t value) = 0;
    virtual bool getProductRegister(int kind, std::uint8_t* value) = 0;
    virtual bool setProductRegister(int kind, std::uint8_t value) = 0;
    virtual bool setRequestByte(std::uint8_t value) = 0;
    virtual bool waitRequestFlag(bool* flag) = 0;
    virtual bool getOptionFlagA(bool* flag) = 0;
    // data holds kLutDataSize bytes; the name is UTF-8.
    virtual bool loadLut(int index, const std::string& name, const std::vector<std::uint8_t>& data) = 0;
    virtual bool getLutName(int index, std::string* name) = 0;
    virtual bool getSdAspectWide(bool* wide) = 0;
    virtual bool setSdAspectWide(bool wide) = 0;
    virtual bool getOptionFlagB(bool* flag) = 0;

    virtual ~IConverter() = default;

    virtual bool setVideoGain(int index, std::uint8_t value) = 0;
    virtual bool getVideoGain(int index, std::uint8_t* value) = 0;
    virtual bool setAudioGain(int index, std::uint8_t value) = 0;
    virtual bool getAudioGain(int index, std::uint8_t* value) = 0;
    virtual bool readDeviceIds(std::uint16_t* ids) = 0;
    virtual bool readRegister(std::uint32_t address, std::uint8_t* value) = 0;
    virtual bool writeRegister(std::uint32_t address, std::uint8_t value) = 0;
    virtual bool readWord(std::uint32_t address, std::uint32_t* value) = 0;
    virtual bool writeWord(std::uint32_t address, std::uint32_t value) = 0;

    // The device's USB serial-number string, read once when the converter was made. Empty when
    // the device has none or it could not be read; the XMEGA converters do not read it.
    virtual QString serialNumber() const = 0;
};

} // namespace Converters
} // namespace TWG
