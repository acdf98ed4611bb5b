#pragma once

#include "converters/IConverterNotifier.h"

#include <functional>
#include <memory>

namespace TWG::Converters {
class IConverter;
} // namespace TWG::Converters

// Brings one converter's firmware up to its package: the decision and the programming.
// program() runs on the update thread; the rest on the GUI thread.
class ConverterFirmwareUpdater {
public:
    // Fraction done, 0..1 (outside: working without a known amount). Programming never stops
    // on a report: once started it runs to its end or its failure.
    using ProgressCallback = std::function<void(double fraction)>;

    virtual ~ConverterFirmwareUpdater() = default;
    // *hasFirmware: the package offers something to program.
    virtual bool isCurrent(bool* hasFirmware) = 0;
    // Started: the delegate hears the application load's end; Failed: the update has failed.
    virtual TWG::Converters::XmegaLoaderNotifier::BinaryLoad
    loadBinaryFirst(TWG::Converters::XmegaLoaderNotifier* notifier,
                    TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate* delegate) = 0;
    virtual bool program(const ProgressCallback& progress) = 0;
};

// The updater for the converter's controller, with the firmware set of its model; null for a
// converter with neither programming interface.
std::unique_ptr<ConverterFirmwareUpdater> createConverterFirmwareUpdater(TWG::Converters::IConverter* device);
