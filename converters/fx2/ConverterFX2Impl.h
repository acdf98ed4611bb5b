#pragma once

#include "converters/ConverterCommonImpl.h"
#include "converters/IConverterFX2Programming.h"

namespace TWG {
namespace Converters {

class ConverterInstance;

// An FX2-based converter: settings are the controller's byte registers.
class ConverterFX2Impl : public ConverterCommonImpl, public IConverterFX2Programming {
public:
    // Takes its own reference on the device.
    explicit ConverterFX2Impl(ConverterInstance* device);

    ConverterInstance* device() const { return device_; }

    bool isPowered(bool* powered) override;
    bool getFirmwareVersion(int* version) override;
    bool getVersionRegister(std::uint8_t* value) override;
    bool isXmega() override { return false; }
    IConverterFX2Programming* getFX2Programming() override { return this; }
    IConverterXmegaProgramming* getXmegaProgramming() override { return nullptr; }

    bool resetToDefaults() override;
    bool getProductStatus(int kind, std::uint8_t* value) override;
    bool setProductOption(int kind, bool on) override;
    bool getClampingDisabled(bool* disabled) override;
    bool setClampingDisabled(bool disabled) override;
    bool getVideoLevel(bool* levelB) override;
    bool setVideoLevel(bool levelB) override;
    bool getHdmiInstantLock(bool* on) override;
    bool setHdmiInstantLock(bool on) override;
    bool getDownconversion(int* mode, std::uint8_t* extra) override;
    bool setDownconversion(int mode) override;
    bool getDviExtenderMode(int* mode) override;
    bool setDviExtenderMode(int mode) override;
    bool getCameraNumber(int* number) override;
    bool setCameraNumber(int number) override;
    bool getShowTally(bool* on) override;
    bool setShowTally(bool on) override;
    bool writeModeRegister(std::uint32_t value) override;
    bool getProductRegister(int kind, std::uint8_t* value) override;
    bool setProductRegister(int kind, std::uint8_t value) override;
    bool setRequestByte(std::uint8_t) override { return false; }
    bool waitRequestFlag(bool*) override { return false; }
    bool getOptionFlagA(bool*) override { return false; }
    bool loadLut(int, const std::string&, const std::vector<std::uint8_t>&) override { return false; }
    bool getLutName(int, std::string*) override { return false; }
    bool getSdAspectWide(bool* wide) override;
    bool setSdAspectWide(bool wide) override;
    bool getOptionFlagB(bool*) override { return false; }

    bool setVideoGain(int index, std::uint8_t value) override;
    bool getVideoGain(int index, std::uint8_t* value) override;
    bool setAudioGain(int index, std::uint8_t value) override;
    bool getAudioGain(int index, std::uint8_t* value) override;
    bool readDeviceIds(std::uint16_t* ids) override;
    bool readRegister(std::uint32_t address, std::uint8_t* value) override;
    bool writeRegister(std::uint32_t address, std::uint8_t value) override;
    bool readWord(std::uint32_t, std::uint32_t*) override { return false; }
    bool writeWord(std::uint32_t, std::uint32_t) override { return false; }

    // Register 4 chooses, bit by bit, whether register 3 overrides the switch state in
    // register 2; "on" is a clear bit.
    bool setControlBit(int bit, bool on);
    bool getControlBit(int bit, bool* on, bool* overridden);

    // IConverterFX2Programming
    bool eraseFirmware(std::uint32_t length) override;
    bool writeFirmware(const std::uint8_t* data, std::uint32_t length) override;
    bool restartDevice() override;
    bool hasAT90() override;
    bool eraseAT90() override;
    bool writeAT90Fuses() override;
    bool enterAT90Programming() override;
    bool leaveAT90Programming() override;
    bool prepareAT90Pages() override;
    bool writeAT90Page(std::uint32_t page, const std::uint8_t* data, std::uint32_t remaining,
                       std::uint32_t* written) override;

protected:
    ~ConverterFX2Impl() override;

private:
    bool readBit(std::uint8_t reg, std::uint8_t mask, bool* set);
    bool writeBit(std::uint8_t reg, std::uint8_t mask, bool set);

    ConverterInstance* device_;
    std::uint16_t productId_ = 0;
};

} // namespace Converters
} // namespace TWG
