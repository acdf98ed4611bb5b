// STM32 property replies scripted into the Zanthic device layer: an STM32 converter whose every
// class and vendor request is answered from the input, asked for its identity through the
// control interface and for every setting through the property protocol, then, by the mode
// byte, written to and sent a LUT.
//   input: shape | product index | mode | script (ScriptedDevice.h)
//   shape: bit 0 control interface, bit 1 it answers, bits 2-5 its functional descriptor's
//   length, bit 6 the serial-number string scripted too, bit 7 a run-time DFU interface.
//   mode: bit 0 the setters, a rename and a factory reset; bit 1 a LUT upload and a delete.
// TWG_FUZZ_RECORD=<folder> writes the seeds, answered by the simulated converter.
#include "ScriptedDevice.h"
#include "ZanthicFuzzSupport.h"

#include "platform/Clock.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"

#include <QString>

#include <memory>
#include <vector>

using namespace TWG::Zanthic;

namespace {

const std::uint16_t kProducts[] = {0xBE6F, 0xBE70, 0xBE77, 0xBE78, 0xBE79, 0xBE89};
// The simulated converter's shape: a control interface that answers, a 10-byte functional
// descriptor, the serial from its descriptors, a run-time DFU interface.
constexpr std::uint8_t kModelShape = 0x01 | 0x02 | (10 << 2) | 0x80;

QString& lutFile()
{
    static QString path;
    return path;
}

// The status poll, asked when the fuzzer wants it rather than by its timer.
class Device : public Stm32ZanthicConvertersConnectedDevice {
public:
    using Stm32ZanthicConvertersConnectedDevice::Stm32ZanthicConvertersConnectedDevice;
    void pollNow()
    {
        poll();
        fuzzsupport::settlePollReads();
    }
};

platform::SimStm32State stateFor(std::uint8_t shape, std::uint8_t productIndex)
{
    platform::SimStm32State s;
    s.productId = kProducts[productIndex % (sizeof kProducts / sizeof kProducts[0])];
    s.controlInterface = shape & 0x01;
    s.answersIdentity = shape & 0x02;
    s.functionalLength = static_cast<std::uint8_t>((shape >> 2) & 0x0F);
    s.dfu.runtimeInterface = shape & 0x80;
    return s;
}

void exercise(TWG::USB::IUSBDevice* usb, std::uint8_t mode)
{
    auto potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb);
    potential->deviceName();
    potential->buildId();
    potential->releaseVersion();
    potential->readBootMode();
    potential->isFirmwareCurrent(QStringLiteral("0000b6f1"));

    fuzzsupport::ZanthicOwner owner;
    std::shared_ptr<Device> device = makeConnectedDevice<Device>(&owner, potential);
    device->pollNow();
    device->getLutSelection();
    device->getLutLoopEnable();
    device->getLutSdiOutEnable();
    device->getLutHdmiOutEnable();
    device->getHdmiClampEnable();
    device->getHdmiRxCh34Swap();
    device->getHdmiTxCh34Swap();
    device->getSdiLevelAEnable();
    device->getZephId();
    device->getLutName();
    if (mode & 1) {
        device->setLutSelection(2);
        device->setLutLoopEnable(true);
        device->setLutSdiOutEnable(true);
        device->setLutHdmiOutEnable(true);
        device->setHdmiClampEnable(true);
        device->setHdmiRxCh34Swap(true);
        device->setHdmiTxCh34Swap(true);
        device->setSdiLevelAEnable(true);
        device->setZephId(7);
        device->setDeviceName(QStringLiteral("R\u00e9gie 2"));
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
        {"reads-be6f.bin", 0, 0},
        {"writes-be89.bin", 5, 1},
        {"lut-be77.bin", 2, 2},
        {"everything-be79.bin", 4, 3},
    };
    for (const auto& s : seeds) {
        std::vector<std::uint8_t> seed = {kModelShape, s.productIndex, s.mode};
        {
            platform::VirtualClock clock;
            platform::ClockOverride clockOverride(&clock);
            fuzzsupport::Bus bus;
            auto state = std::make_shared<platform::SimStm32State>(stateFor(kModelShape, s.productIndex));
            state->setText("LutName", "look");
            auto model = std::make_shared<platform::SimStm32Application>(state);
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
    const std::uint8_t shape = script.byte();
    const std::uint8_t productIndex = script.byte();
    const std::uint8_t mode = script.byte();

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride(&clock);
    fuzzsupport::Bus bus;
    const platform::SimStm32State state = stateFor(shape, productIndex);
    if (TWG::USB::IUSBDevice* usb =
            bus.attach(std::make_shared<fuzzsupport::ScriptedDevice>(state.descriptors(false), script, shape & 0x40)))
        exercise(usb, mode);
    QCoreApplication::processEvents();
    return 0;
}
