#pragma once

#include "converters/IConverterXmegaProgramming.h"
#include "plugins/converters/firmware/ConverterFirmwareUpdater.h"

#include <memory>

class ConverterXmegaFirmware;

// Programs an XMEGA-based converter: its application image first (on the GUI thread, through
// the notifier), then its EEPROM images with their table. Holds a reference on the device.
class ConverterXmegaUpdater : public ConverterFirmwareUpdater,
                              private TWG::Converters::IConverterXmegaProgramming::Delegate {
public:
    ConverterXmegaUpdater(TWG::Converters::IConverterXmegaProgramming* programming,
                          TWG::Converters::IConverter* device, std::unique_ptr<ConverterXmegaFirmware> firmware);
    ~ConverterXmegaUpdater() override;
    ConverterXmegaUpdater(const ConverterXmegaUpdater&) = delete;
    ConverterXmegaUpdater& operator=(const ConverterXmegaUpdater&) = delete;

    bool isCurrent(bool* hasFirmware) override;
    TWG::Converters::XmegaLoaderNotifier::BinaryLoad
    loadBinaryFirst(TWG::Converters::XmegaLoaderNotifier* notifier,
                    TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate* delegate) override;
    bool program(const ProgressCallback& progress) override;

    const ConverterXmegaFirmware* firmware() const { return firmware_.get(); }

private:
    void reportProgress(int percent) override;

    TWG::Converters::IConverterXmegaProgramming* const programming_;
    TWG::Converters::IConverter* const device_;
    std::unique_ptr<ConverterXmegaFirmware> firmware_;
    const ProgressCallback* progress_ = nullptr; // while programming
};
