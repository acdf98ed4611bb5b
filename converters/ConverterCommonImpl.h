#pragma once

#include "converters/ConverterCapabilities.h"
#include "converters/IConverter.h"

#include <atomic>

namespace TWG {
namespace Converters {

// What both controller kinds share: the reference count, the capabilities of the product id
// and the routing of the named gains to the indexed gain registers.
class ConverterCommonImpl : public IConverter {
public:
    int addRef() override;
    int release() override;

    bool getModelName(QString* name) override;
    bool ping() override;
    bool getDeviceIds(std::uint16_t* ids) override;

    bool hasAdjustableSettings(bool* out) override;
    bool videoLevelsAreOutput(int* out) override;
    bool audioLevelsAreOutput(int* out) override;
    bool hasDownconversion(bool* out) override;
    bool hasVideoGains(bool* out) override;
    bool hasAudio(bool* out) override;
    bool getAudioChannelCount(int* out) override;
    bool hasAesEbuLevel(bool* out) override;
    bool hasDviExtender(bool* out) override;
    bool hasTally(bool* out) override;
    bool hasClamping(bool* out) override;
    bool hasVideoLevel(bool* out) override;
    bool hasHdmiInstantLock(bool* out) override;
    bool hasSdAspect(bool* out) override;
    bool hasLut(bool* out) override;

    bool getLumaGain(std::uint8_t* value) override;
    bool setLumaGain(std::uint8_t value) override;
    bool getChromaRGain(std::uint8_t* value) override;
    bool setChromaRGain(std::uint8_t value) override;
    bool getChromaBGain(std::uint8_t* value) override;
    bool setChromaBGain(std::uint8_t value) override;
    bool getAudioGain1(std::uint8_t* value) override;
    bool setAudioGain1(std::uint8_t value) override;
    bool getAudioGain2(std::uint8_t* value) override;
    bool setAudioGain2(std::uint8_t value) override;
    bool getAudioGain3(std::uint8_t* value) override;
    bool setAudioGain3(std::uint8_t value) override;
    bool getAudioGain4(std::uint8_t* value) override;
    bool setAudioGain4(std::uint8_t value) override;
    bool getAesEbuGain(std::uint8_t* value) override;
    bool setAesEbuGain(std::uint8_t value) override;

    QString serialNumber() const override { return serialNumber_; }

    const ConverterCapabilities& capabilities() const { return capabilities_; }

protected:
    ConverterCommonImpl() = default;
    ~ConverterCommonImpl() override = default;

    // Replaces the capability set by the one of the product id.
    void setUpCapabilities(std::uint16_t productId);
    void setCapabilities(const ConverterCapabilities& capabilities) { capabilities_ = capabilities; }
    void setSerialNumber(const QString& serial) { serialNumber_ = serial; }

    static constexpr int kLumaIndex = 0;
    static constexpr int kChromaRIndex = 1;
    static constexpr int kChromaBIndex = 2;
    static constexpr int kAesEbuIndex = 4;

private:
    bool videoGainsActive() const;
    bool audioGainActive(int index) const;
    bool readVideoGain(int index, std::uint8_t* value);
    bool writeVideoGain(int index, std::uint8_t value);
    bool readAudioGain(int index, std::uint8_t* value);
    bool writeAudioGain(int index, std::uint8_t value);

    std::atomic<int> references_{1};
    ConverterCapabilities capabilities_;
    QString serialNumber_;
};

} // namespace Converters
} // namespace TWG
