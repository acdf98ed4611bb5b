// Zanthic XMEGA register answers scripted into the Zanthic device layer: an XMEGA converter
// whose every vendor request and bulk transfer is answered from the input, known by its uuid,
// asked for its identity and every setting in its register map, polled, then, by the mode byte,
// written to, reset and sent a LUT through its EEPROM.
//   input: product index | mode | script (ScriptedDevice.h)
//   mode: bit 0 the setters, a rename and a factory reset; bit 1 a LUT upload and a delete.
// TWG_FUZZ_RECORD=<folder> writes the seeds, answered by the simulated converter.
#include "ScriptedDevice.h"
#include "ZanthicFuzzSupport.h"

#include "platform/Clock.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "platform/sim/models/xmega/SimXmegaState.h"
#include "plugins/zanthic/device/XmegaConnectedDevice.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "protocol/ZanthicRegisters.h"

#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

using namespace TWG::Zanthic;

namespace {

const std::uint16_t kProducts[] = {0xBE90, 0xBE91};

QString& lutFile()
{
    static QString path;
    return path;
}

// The status poll, asked when the fuzzer wants it rather than by its timer.
class Device : public XmegaZanthicConvertersConnectedDevice {
public:
    using XmegaZanthicConvertersConnectedDevice::XmegaZanthicConvertersConnectedDevice;
    void pollNow()
    {
        poll();
        fuzzsupport::settlePollReads();
    }
};

platform::SimXmegaState stateFor(std::uint8_t productIndex)
{
    platform::SimXmegaState s;
    s.productId = kProducts[productIndex % (sizeof kProducts / sizeof kProducts[0])];
    s.registerMap = platform::SimXmegaState::RegisterMap::Zanthic;
    return s;
}

void exercise(TWG::USB::IUSBDevice* usb, std::uint8_t mode)
{
    std::shared_ptr<XmegaUsbPotentialDevice> potential;
    try {
        potential = std::make_shared<XmegaUsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb);
    } catch (const std::runtime_error&) {
        return; // not listed: no uuid, or no vendor interface
    }
    potential->deviceName();
    potential->buildId();
    potential->releaseVersion();
    potential->isFirmwareCurrent(QStringLiteral("fpga:0000001a xmega:00000001"));

    fuzzsupport::ZanthicOwner owner;
    std::shared_ptr<Device> device = makeConnectedDevice<Device>(&owner, potential);
    device->pollNow();
    device->getLutSelection();
    device->getLutLoopEnable();
    device->getHdmiClampEnable();
    device->getHdmiRxCh34Swap();
    device->getHdmiTxCh34Swap();
    device->getSdiLevelAEnable();
    device->getLutName();
    if (mode & 1) {
        device->setLutSelection(1);
        device->setLutLoopEnable(true);
        device->setHdmiClampEnable(true);
        device->setHdmiTxCh34Swap(true);
        device->setSdiLevelAEnable(true);
        device->setDeviceName(QStringLiteral("R\u00e9gie 2 of a name that is longer than the sixty-four bytes it may take"));
        device->factoryReset();
    }
    if (mode & 2) {
        device->loadLut(0, lutFile(), QStringLiteral("grade"));
        device->loadLut(1, QString(), QString());
    }
    device->pollNow();
}

void record(const std::function<void(const char*, const std::vector<std::uint8_t>&)>& save)
{
    const struct {
        const char* name;
        std::uint8_t productIndex;
        std::uint8_t mode;
    } seeds[] = {
        {"reads-be90.bin", 0, 0},
        {"writes-be91.bin", 1, 1},
        {"lut-be90.bin", 0, 2},
    };
    for (const auto& s : seeds) {
        std::vector<std::uint8_t> seed = {s.productIndex, s.mode};
        {
            platform::VirtualClock clock;
            platform::ClockOverride clockOverride(&clock);
            fuzzsupport::Bus bus;
            auto state = std::make_shared<platform::SimXmegaState>(stateFor(s.productIndex));
            for (std::uint8_t i = 0; i < state->uuid.size(); ++i)
                state->uuid[i] = static_cast<std::uint8_t>(0x30 + i);
            state->application.assign(state->application.size(), 0x5A);
            const std::string name = "Bench 1";
            for (std::size_t i = 0; i < name.size(); ++i)
                state->memory[xmegareg::kDeviceName + std::uint32_t(i)] = static_cast<std::uint8_t>(name[i]);
            auto model = platform::SimXmegaDevice::persona(state, false);
            if (TWG::USB::IUSBDevice* usb = bus.attach(std::make_shared<fuzzsupport::RecordingDevice>(model, seed)))
                exercise(usb, s.mode);
        }
        save(s.name, seed);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    fuzzsupport::startApplication();
    lutFile() = fuzzsupport::smallLutFile();
    fuzzsupport::recordSeedsIfAsked(record);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input script(data, size);
    const std::uint8_t productIndex = script.byte();
    const std::uint8_t mode = script.byte();

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride(&clock);
    fuzzsupport::Bus bus;
    const platform::SimXmegaState state = stateFor(productIndex);
    if (TWG::USB::IUSBDevice* usb =
            bus.attach(std::make_shared<fuzzsupport::ScriptedDevice>(state.descriptors(false), script, false)))
        exercise(usb, mode);
    QCoreApplication::processEvents();
    return 0;
}
