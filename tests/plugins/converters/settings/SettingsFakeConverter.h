#pragma once

#include "tests/converters/support/FakeConverter.h"

#include <string>
#include <vector>

namespace settingstest {

// The shared fake with what the settings tabs need on top: capability queries and the named gain
// operations can fail one by one (by their names in failing), and the named gain writes are
// logged under their own names, so a log reads as the tab's calls.
class SettingsFakeConverter : public convtest::FakeConverter {
public:
    using FakeConverter::FakeConverter;

    // The writes a tab made, in order, under their own names ("setLumaGain(200)").
    std::vector<std::string> writes() const
    {
        std::vector<std::string> out;
        for (const std::string& call : calls) {
            if (call.rfind("set", 0) == 0 && call.rfind("setVideoGain(", 0) != 0
                && call.rfind("setAudioGain(", 0) != 0)
                out.push_back(call);
        }
        return out;
    }
    void clearLog() { calls.clear(); }

#define SETTINGS_FAKE_QUERY(name, type)                                                            \
    bool name(type* out) override { return failing.count(#name) == 0 && FakeConverter::name(out); }
    SETTINGS_FAKE_QUERY(hasAdjustableSettings, bool)
    SETTINGS_FAKE_QUERY(videoLevelsAreOutput, int)
    SETTINGS_FAKE_QUERY(audioLevelsAreOutput, int)
    SETTINGS_FAKE_QUERY(hasDownconversion, bool)
    SETTINGS_FAKE_QUERY(hasVideoGains, bool)
    SETTINGS_FAKE_QUERY(hasAudio, bool)
    SETTINGS_FAKE_QUERY(getAudioChannelCount, int)
    SETTINGS_FAKE_QUERY(hasAesEbuLevel, bool)
    SETTINGS_FAKE_QUERY(hasDviExtender, bool)
    SETTINGS_FAKE_QUERY(hasTally, bool)
    SETTINGS_FAKE_QUERY(hasClamping, bool)
    SETTINGS_FAKE_QUERY(hasVideoLevel, bool)
    SETTINGS_FAKE_QUERY(hasHdmiInstantLock, bool)
    SETTINGS_FAKE_QUERY(hasSdAspect, bool)
    SETTINGS_FAKE_QUERY(hasLut, bool)
    SETTINGS_FAKE_QUERY(getLumaGain, std::uint8_t)
    SETTINGS_FAKE_QUERY(getChromaRGain, std::uint8_t)
    SETTINGS_FAKE_QUERY(getChromaBGain, std::uint8_t)
    SETTINGS_FAKE_QUERY(getAudioGain1, std::uint8_t)
    SETTINGS_FAKE_QUERY(getAudioGain2, std::uint8_t)
    SETTINGS_FAKE_QUERY(getAudioGain3, std::uint8_t)
    SETTINGS_FAKE_QUERY(getAudioGain4, std::uint8_t)
    SETTINGS_FAKE_QUERY(getAesEbuGain, std::uint8_t)
#undef SETTINGS_FAKE_QUERY

#define SETTINGS_FAKE_GAIN_SETTER(name)                                                            \
    bool name(std::uint8_t value) override                                                         \
    {                                                                                              \
        calls.push_back(std::string(#name "(") + std::to_string(value) + ")");                     \
        return failing.count(#name) == 0 && FakeConverter::name(value);                            \
    }
    SETTINGS_FAKE_GAIN_SETTER(setLumaGain)
    SETTINGS_FAKE_GAIN_SETTER(setChromaRGain)
    SETTINGS_FAKE_GAIN_SETTER(setChromaBGain)
    SETTINGS_FAKE_GAIN_SETTER(setAudioGain1)
    SETTINGS_FAKE_GAIN_SETTER(setAudioGain2)
    SETTINGS_FAKE_GAIN_SETTER(setAudioGain3)
    SETTINGS_FAKE_GAIN_SETTER(setAudioGain4)
    SETTINGS_FAKE_GAIN_SETTER(setAesEbuGain)
#undef SETTINGS_FAKE_GAIN_SETTER
};

} // namespace settingstest
