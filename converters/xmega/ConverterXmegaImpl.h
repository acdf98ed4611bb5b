#pragma once

#include "converters/ConverterCommonImpl.h"
#include "converters/IConverterXmegaProgramming.h"
#include "converters/xmega/DeviceLoaderDelegate.h"

#include <memory>

namespace TWG {
namespace Converters {

class XmegaUSBDevice;

// An XMEGA-based converter: settings are words in the controller's memory; LUTs and firmware
// images go through the staged EEPROM loader.
class ConverterXmegaImpl : public ConverterCommonImpl,
                           public IConverterXmegaProgramming,
                           public DeviceLoaderDelegate {
public:
    explicit ConverterXmegaImpl(std::shared_ptr<XmegaUSBDevice> device);

    const std::shared_ptr<XmegaUSBDevice>& device() const { return device_; }
    // After an application load the converter lives on in the device that came back.
    void rebind(std::shared_ptr<XmegaUSBDevice> device);

    bool isPowered(bool* powered) override;
    bool getFirmwareVersion(int* version) override;
    bool getVersionRegister(std::uint8_t* value) override;
    bool isXmega() override { return true; }
    IConverterFX2Programming* getFX2Programming() override { return nullptr; }
    IConverterXmegaProgramming* getXmegaProgramming() override { return this; }

    bool resetToDefaults() override;
    bool getProductStatus(int kind, std::uint8_t* value) override;
    bool setProductOption(int, bool) override { return false; }
    bool getClampingDisabled(bool* disabled) override;
    bool setClampingDisabled(bool disabled) override;
    bool getVideoLevel(bool* levelB) override;
    bool setVideoLevel(bool levelB) override;
    bool getHdmiInstantLock(bool* on) override;
    bool setHdmiInstantLock(bool on) override;
    bool getDownconversion(int* mode, std::uint8_t* extra) override;
    bool setDownconversion(int mode) override;
    bool getDviExtenderMode(int*) override { return false; }
    bool setDviExtenderMode(int) override { return false; }
    bool getCameraNumber(int*) override { return false; }
    bool setCameraNumber(int) override { return false; }
    bool getShowTally(bool*) override { return false; }
    bool setShowTally(bool) override { return false; }
    bool writeModeRegister(std::uint32_t value) override;
    bool getProductRegister(int, std::uint8_t*) override { return false; }
    bool setProductRegister(int, std::uint8_t) override { return false; }
    bool setRequestByte(std::uint8_t value) override;
    bool waitRequestFlag(bool* flag) override;
    bool getOptionFlagA(bool* flag) override;
    bool loadLut(int index, const std::string& name, const std::vector<std::uint8_t>& data) override;
    bool getLutName(int index, std::string* name) override;
    bool getSdAspectWide(bool* wide) override;
    bool setSdAspectWide(bool wide) override;
    bool getOptionFlagB(bool* flag) override;

    bool setVideoGain(int index, std::uint8_t value) override;
    bool getVideoGain(int index, std::uint8_t* value) override;
    bool setAudioGain(int index, std::uint8_t value) override;
    bool getAudioGain(int index, std::uint8_t* value) override;
    bool readDeviceIds(std::uint16_t* ids) override;
    bool readRegister(std::uint32_t address, std::uint8_t* value) override;
    bool writeRegister(std::uint32_t address, std::uint8_t value) override;
    bool readWord(std::uint32_t address, std::uint32_t* value) override;
    bool writeWord(std::uint32_t address, std::uint32_t value) override;

    bool setControlBit(int, bool) { return false; }
    bool getControlBit(int, bool*, bool*) { return false; }
    bool setStatusBit(int, bool) { return false; }
    // Register 80; "on" is a clear bit.
    bool getStatusBit(int bit, bool* on);

    // IConverterXmegaProgramming
    bool programFirmware(const ImageSource* source, Delegate* delegate) override;

    // The name as the LUT header stores it: at most 38 bytes of a longer name, never cut
    // inside a UTF-8 sequence.
    static std::string lutHeaderName(const std::string& name);

protected:
    ~ConverterXmegaImpl() override;

private:
    // The device answers that its bootloader runs (a failed mode read counts as no).
    bool runsBootloader();
    void progress(int percent) override;
    bool readBit(std::uint32_t address, std::uint32_t mask, bool* set);
    std::uint16_t productId() const { return productId_; }

    std::shared_ptr<XmegaUSBDevice> device_;
    std::uint16_t productId_ = 0;
    Delegate* programmingDelegate_ = nullptr;
    bool powerSeen_ = false;
};

} // namespace Converters
} // namespace TWG
