#pragma once

#include "converters/ConverterCommonImpl.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace convtest {

// A converter without a device, for tests of the layers above. It keeps the real capability
// gating and gain routing of ConverterCommonImpl, so a setting the model lacks still reads as
// its default without a "transfer". Everything the device would answer lives in plain maps:
// - videoGains / audioGains by index, registers / words by address, values by setting name
//   ("clampingDisabled", "videoLevel", "hdmiInstantLock", "downconversion", "downconversionExtra",
//   "dviExtenderMode", "cameraNumber", "showTally", "modeRegister", "sdAspectWide", "powered",
//   "firmwareVersion", "versionRegister", "requestFlag", "optionFlagA", "optionFlagB",
//   "productStatus<kind>", "productRegister<kind>");
// - every device operation appends "name(args)" to calls; an operation named in failing
//   answers false and changes nothing (the call is still logged).
class FakeConverter : public TWG::Converters::ConverterCommonImpl {
public:
    explicit FakeConverter(std::uint16_t productId = 0xBD2E, bool xmega = false, bool* destroyed = nullptr)
        : productId_(productId), xmega_(xmega), destroyed_(destroyed)
    {
        setUpCapabilities(productId);
        values["powered"] = 1;
        values["cameraNumber"] = 1;
        values["showTally"] = 1;
    }
    ~FakeConverter() override
    {
        if (destroyed_)
            *destroyed_ = true;
    }

    using ConverterCommonImpl::setCapabilities;
    using ConverterCommonImpl::setSerialNumber;
    int references()
    {
        addRef();
        return release();
    }

    std::map<int, std::uint8_t> videoGains{{0, 128}, {1, 128}, {2, 128}};
    std::map<int, std::uint8_t> audioGains{{0, 64}, {1, 64}, {2, 64}, {3, 64}, {4, 64}};
    std::map<std::uint32_t, std::uint8_t> registers;
    std::map<std::uint32_t, std::uint32_t> words;
    std::map<std::string, int> values;
    std::map<int, std::string> lutNames;
    std::map<int, std::vector<std::uint8_t>> luts;
    std::vector<std::string> calls;
    std::set<std::string> failing;
    TWG::Converters::IConverterFX2Programming* fx2Programming = nullptr;
    TWG::Converters::IConverterXmegaProgramming* xmegaProgramming = nullptr;

    bool isPowered(bool* powered) override { return readBool("isPowered", "powered", powered); }
    bool getFirmwareVersion(int* version) override { return readInt("getFirmwareVersion", "firmwareVersion", version); }
    bool getVersionRegister(std::uint8_t* value) override
    {
        return readByte("getVersionRegister", "versionRegister", value);
    }
    bool isXmega() override { return xmega_; }
    TWG::Converters::IConverterFX2Programming* getFX2Programming() override { return fx2Programming; }
    TWG::Converters::IConverterXmegaProgramming* getXmegaProgramming() override { return xmegaProgramming; }

    bool resetToDefaults() override
    {
        if (!op("resetToDefaults", ""))
            return false;
        bool ok = setLumaGain(128) && setChromaRGain(128) && setChromaBGain(128);
        ok = setAudioGain1(64) && ok;
        ok = setAudioGain2(64) && ok;
        ok = setAudioGain3(64) && ok;
        ok = setAudioGain4(64) && ok;
        ok = setAesEbuGain(64) && ok;
        values["clampingDisabled"] = 0;
        values["downconversion"] = 0;
        return ok;
    }
    bool getProductStatus(int kind, std::uint8_t* value) override
    {
        return readByte("getProductStatus", "productStatus" + std::to_string(kind), value, std::to_string(kind));
    }
    bool setProductOption(int kind, bool on) override
    {
        return write("setProductOption", "productOption" + std::to_string(kind), on,
                     std::to_string(kind) + "," + std::to_string(on));
    }

    bool getClampingDisabled(bool* v) override { return readBool("getClampingDisabled", "clampingDisabled", v); }
    bool setClampingDisabled(bool v) override { return write("setClampingDisabled", "clampingDisabled", v); }
    bool getVideoLevel(bool* v) override { return readBool("getVideoLevel", "videoLevel", v); }
    bool setVideoLevel(bool v) override { return write("setVideoLevel", "videoLevel", v); }
    bool getHdmiInstantLock(bool* v) override { return readBool("getHdmiInstantLock", "hdmiInstantLock", v); }
    bool setHdmiInstantLock(bool v) override { return write("setHdmiInstantLock", "hdmiInstantLock", v); }
    bool getDownconversion(int* mode, std::uint8_t* extra) override
    {
        if (!op("getDownconversion", "") || !mode || !extra)
            return false;
        *mode = values["downconversion"];
        *extra = static_cast<std::uint8_t>(values["downconversionExtra"]);
        return true;
    }
    bool setDownconversion(int mode) override { return write("setDownconversion", "downconversion", mode); }
    bool getDviExtenderMode(int* v) override { return readInt("getDviExtenderMode", "dviExtenderMode", v); }
    bool setDviExtenderMode(int v) override { return write("setDviExtenderMode", "dviExtenderMode", v); }
    bool getCameraNumber(int* v) override { return readInt("getCameraNumber", "cameraNumber", v); }
    bool setCameraNumber(int v) override { return write("setCameraNumber", "cameraNumber", v); }
    bool getShowTally(bool* v) override { return readBool("getShowTally", "showTally", v); }
    bool setShowTally(bool v) override { return write("setShowTally", "showTally", v); }
    bool writeModeRegister(std::uint32_t v) override
    {
        return write("writeModeRegister", "modeRegister", static_cast<int>(v));
    }
    bool getProductRegister(int kind, std::uint8_t* value) override
    {
        return readByte("getProductRegister", "productRegister" + std::to_string(kind), value, std::to_string(kind));
    }
    bool setProductRegister(int kind, std::uint8_t value) override
    {
        return write("setProductRegister", "productRegister" + std::to_string(kind), value,
                     std::to_string(kind) + "," + std::to_string(value));
    }
    bool setRequestByte(std::uint8_t v) override { return write("setRequestByte", "requestByte", v); }
    bool waitRequestFlag(bool* v) override { return readBool("waitRequestFlag", "requestFlag", v); }
    bool getOptionFlagA(bool* v) override { return readBool("getOptionFlagA", "optionFlagA", v); }
    bool loadLut(int index, const std::string& name, const std::vector<std::uint8_t>& data) override
    {
        if (!op("loadLut", std::to_string(index) + "," + name))
            return false;
        lutNames[index] = name;
        luts[index] = data;
        return true;
    }
    bool getLutName(int index, std::string* name) override
    {
        if (!op("getLutName", std::to_string(index)) || !name)
            return false;
        *name = lutNames[index];
        return true;
    }
    bool getSdAspectWide(bool* v) override { return readBool("getSdAspectWide", "sdAspectWide", v); }
    bool setSdAspectWide(bool v) override { return write("setSdAspectWide", "sdAspectWide", v); }
    bool getOptionFlagB(bool* v) override { return readBool("getOptionFlagB", "optionFlagB", v); }

    bool setVideoGain(int index, std::uint8_t value) override
    {
        if (!op("setVideoGain", std::to_string(index) + "," + std::to_string(value)))
            return false;
        videoGains[index] = value;
        return true;
    }
    bool getVideoGain(int index, std::uint8_t* value) override
    {
        if (!op("getVideoGain", std::to_string(index)) || !value)
            return false;
        *value = videoGains[index];
        return true;
    }
    bool setAudioGain(int index, std::uint8_t value) override
    {
        if (!op("setAudioGain", std::to_string(index) + "," + std::to_string(value)))
            return false;
        audioGains[index] = value;
        return true;
    }
    bool getAudioGain(int index, std::uint8_t* value) override
    {
        if (!op("getAudioGain", std::to_string(index)) || !value)
            return false;
        *value = audioGains[index];
        return true;
    }
    bool readDeviceIds(std::uint16_t* ids) override
    {
        if (!op("readDeviceIds", "") || !ids)
            return false;
        ids[0] = productId_;
        return true;
    }
    bool readRegister(std::uint32_t address, std::uint8_t* value) override
    {
        if (!op("readRegister", std::to_string(address)) || !value)
            return false;
        *value = registers[address];
        return true;
    }
    bool writeRegister(std::uint32_t address, std::uint8_t value) override
    {
        if (!op("writeRegister", std::to_string(address) + "," + std::to_string(value)))
            return false;
        registers[address] = value;
        return true;
    }
    bool readWord(std::uint32_t address, std::uint32_t* value) override
    {
        if (!op("readWord", std::to_string(address)) || !value)
            return false;
        *value = words[address];
        return true;
    }
    bool writeWord(std::uint32_t address, std::uint32_t value) override
    {
        if (!op("writeWord", std::to_string(address) + "," + std::to_string(value)))
            return false;
        words[address] = value;
        return true;
    }

private:
    bool op(const std::string& name, const std::string& args)
    {
        calls.push_back(name + "(" + args + ")");
        return failing.count(name) == 0;
    }
    bool write(const char* name, const std::string& key, int value, const std::string& args = std::string())
    {
        if (!op(name, args.empty() ? std::to_string(value) : args))
            return false;
        values[key] = value;
        return true;
    }
    bool readBool(const char* name, const std::string& key, bool* out)
    {
        if (!op(name, "") || !out)
            return false;
        *out = values[key] != 0;
        return true;
    }
    bool readInt(const char* name, const std::string& key, int* out)
    {
        if (!op(name, "") || !out)
            return false;
        *out = values[key];
        return true;
    }
    bool readByte(const char* name, const std::string& key, std::uint8_t* out, const std::string& args = std::string())
    {
        if (!op(name, args) || !out)
            return false;
        *out = static_cast<std::uint8_t>(values[key]);
        return true;
    }

    std::uint16_t productId_;
    bool xmega_;
    bool* destroyed_;
};

} // namespace convtest
