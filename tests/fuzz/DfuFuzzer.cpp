// DFU GETSTATUS replies during a download: an STM32 converter in its bootloader whose DFU class
// requests are answered from the input, brought to dfuIDLE and sent an image block by block,
// with the manifestation after it.
//   input: attributes | transfer size (2 bytes) | image size (2 bytes) | script (ScriptedDevice.h)
//   attributes: the functional descriptor's bmAttributes; the transfer size is at least 1.
// TWG_FUZZ_RECORD=<folder> writes the seeds, answered by the simulated bootloader.
#include "ScriptedDevice.h"

#include "platform/Clock.h"
#include "platform/sim/models/stm32/SimStm32Bootloader.h"
#include "plugins/zanthic/device/DfuInterface.h"
#include "protocol/DfuProtocol.h"

#include <atomic>
#include <stdexcept>
#include <system_error>
#include <vector>

using namespace TWG::Zanthic;

namespace {

platform::SimStm32State stateFor(std::uint8_t attributes, std::uint16_t transferSize)
{
    platform::SimStm32State s;
    s.dfu.attributes = attributes;
    s.dfu.transferSize = transferSize;
    s.dfu.pollTimeoutMs = 5;
    return s;
}

void exercise(TWG::USB::IUSBDevice* usb, std::uint16_t imageSize)
{
    std::vector<std::uint8_t> image(imageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::atomic<bool> stop{false};
    try {
        DFUInterface dfu(usb, &stop);
        std::uint32_t last = 0;
        dfu.enterIdle();
        dfu.download(image, [&last](std::uint32_t done, std::uint32_t total) {
            if (done < last || done > total)
                __builtin_trap();
            last = done;
        });
    } catch (const std::system_error&) {
    } catch (const std::runtime_error&) {
    }
}

void record(const std::function<void(const char*, const std::vector<std::uint8_t>&)>& save)
{
    namespace Dfu = TWG::Dfu;
    const struct {
        const char* name;
        std::uint8_t attributes;
        std::uint16_t transferSize;
        std::uint16_t imageSize;
    } seeds[] = {
        {"tolerant-three-blocks.bin",
         Dfu::kAttributeWillDetach | Dfu::kAttributeManifestationTolerant | Dfu::kAttributeCanDnload, 64, 150},
        {"whole-blocks.bin", Dfu::kAttributeWillDetach | Dfu::kAttributeCanDnload, 32, 96},
    };
    for (const auto& s : seeds) {
        std::vector<std::uint8_t> seed = {s.attributes, static_cast<std::uint8_t>(s.transferSize & 0xFF),
                                          static_cast<std::uint8_t>(s.transferSize >> 8),
                                          static_cast<std::uint8_t>(s.imageSize & 0xFF),
                                          static_cast<std::uint8_t>(s.imageSize >> 8)};
        {
            platform::VirtualClock clock;
            platform::ClockOverride clockOverride(&clock);
            fuzzsupport::Bus bus;
            auto state = std::make_shared<platform::SimStm32State>(stateFor(s.attributes, s.transferSize));
            auto model = std::make_shared<platform::SimStm32Bootloader>(state);
            if (TWG::USB::IUSBDevice* usb = bus.attach(std::make_shared<fuzzsupport::RecordingDevice>(model, seed)))
                exercise(usb, s.imageSize);
        }
        save(s.name, seed);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    fuzzsupport::recordSeedsIfAsked(record);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input script(data, size);
    const std::uint8_t attributes = script.byte();
    const std::uint16_t transferSize = std::max<std::uint16_t>(script.word(), 1);
    const std::uint16_t imageSize = script.word();

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride(&clock);
    fuzzsupport::Bus bus;
    const platform::SimStm32State state = stateFor(attributes, transferSize);
    if (TWG::USB::IUSBDevice* usb =
            bus.attach(std::make_shared<fuzzsupport::ScriptedDevice>(state.descriptors(true), script, false)))
        exercise(usb, imageSize);
    return 0;
}
