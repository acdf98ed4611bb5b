#pragma once

#include "plugins/converters/firmware/ConverterFirmwareUpdater.h"

#include <cstdint>
#include <memory>

namespace TWG::Converters {
class IConverterFX2Programming;
} // namespace TWG::Converters

class ConverterFX2Firmware;

// Programs an FX2-based converter: its flash image, then (on boards with one) its AT90 image.
// An update is recorded as under way from before its first write until its last image is
// verified (keyed by the converter's serial number, or its product id without one); while
// recorded, the converter is not current whatever its FX2 version shows.
// Holds a reference on the device.
class ConverterFX2Updater : public ConverterFirmwareUpdater {
public:
    ConverterFX2Updater(TWG::Converters::IConverterFX2Programming* programming, TWG::Converters::IConverter* device,
                        std::unique_ptr<ConverterFX2Firmware> firmware);
    ~ConverterFX2Updater() override;
    ConverterFX2Updater(const ConverterFX2Updater&) = delete;
    ConverterFX2Updater& operator=(const ConverterFX2Updater&) = delete;

    bool isCurrent(bool* hasFirmware) override;
    // An FX2 converter needs no application load.
    TWG::Converters::XmegaLoaderNotifier::BinaryLoad
    loadBinaryFirst(TWG::Converters::XmegaLoaderNotifier* notifier,
                    TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate* delegate) override;
    bool program(const ProgressCallback& progress) override;

    const ConverterFX2Firmware* firmware() const { return firmware_.get(); }

private:
    bool programFx2Image(const std::uint8_t* data, std::uint32_t size, const ProgressCallback& progress);
    bool programAt90Image(const std::uint8_t* data, std::uint32_t size, const ProgressCallback& progress);
    bool writeAt90(const std::uint8_t* data, std::uint32_t size, const ProgressCallback& progress);

    TWG::Converters::IConverterFX2Programming* const programming_;
    TWG::Converters::IConverter* const device_;
    std::unique_ptr<ConverterFX2Firmware> firmware_;
};
