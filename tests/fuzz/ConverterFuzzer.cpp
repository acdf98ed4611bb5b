// Device answers scripted into the converter layer: a converter on the simulated bus whose every
// vendor request and bulk read is answered from the input, found by the converter notifier in
// virtual time, then read through every getter and, by the mode byte, programmed.
//   input: mode | product index | script
//   script, per request: outcome (0xE0.. stall, 0xC0.. time-out, else success); for IN requests
//   and bulk reads a length byte (cut to the length asked for) and that many answer bytes.
//   Once the script is used up every request stalls.
#include "FuzzSupport.h"

#include "converters/ConverterNotifier.h"
#include "converters/IConverter.h"
#include "converters/IConverterFX2Programming.h"
#include "converters/IConverterXmegaProgramming.h"
#include "converters/fx2/Fx2ProductTable.h"
#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "platform/sim/models/xmega/SimXmegaState.h"
#include "tests/converters/support/DeviceChangeWindow.h"

#include <memory>
#include <vector>

using namespace platform;
using TWG::Converters::IConverter;

namespace {

const std::uint16_t kXmegaProducts[] = {0xBD91, 0xBD92, 0xBDB8, 0xBDC5, 0xBDF2, 0xBDF6, 0xBE00, 0xBE06};

class ScriptedConverter : public SimDevice {
public:
    ScriptedConverter(SimDescriptors d, fuzzsupport::Input& script) : SimDevice(std::move(d)), script_(script) {}

protected:
    UsbStatus classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override
    {
        const UsbStatus status = outcome();
        if (status == UsbStatus::Success && setup.isIn())
            answer(setup.wLength, &data);
        return status;
    }
    UsbStatus bulkOut(std::uint8_t, const std::vector<std::uint8_t>& data, std::uint32_t* taken) override
    {
        const UsbStatus status = outcome();
        *taken = status == UsbStatus::Success ? static_cast<std::uint32_t>(data.size()) : 0;
        return status;
    }
    UsbStatus bulkIn(std::uint8_t, std::uint32_t maxLength, std::vector<std::uint8_t>* data) override
    {
        const UsbStatus status = outcome();
        if (status == UsbStatus::Success)
            answer(maxLength, data);
        return status;
    }

private:
    UsbStatus outcome()
    {
        if (script_.empty())
            return UsbStatus::Stall;
        const std::uint8_t b = script_.byte();
        if (b >= 0xE0)
            return UsbStatus::Stall;
        if (b >= 0xC0)
            return UsbStatus::Timeout;
        return UsbStatus::Success;
    }
    void answer(std::uint32_t wanted, std::vector<std::uint8_t>* data)
    {
        const std::uint32_t n = std::min<std::uint32_t>(script_.byte(), wanted);
        const QByteArray bytes = script_.bytes(n);
        data->assign(bytes.begin(), bytes.end());
    }

    fuzzsupport::Input& script_;
};

struct Family : TWG::Converters::IConverterNotifier::NotificationDelegate {
    std::vector<IConverter*> present;
    void onConverterArrived(IConverter* c) override
    {
        c->addRef();
        present.push_back(c);
    }
    void onConverterRemoved(IConverter* c) override
    {
        for (auto it = present.begin(); it != present.end(); ++it) {
            if (*it == c) {
                present.erase(it);
                c->release();
                return;
            }
        }
    }
};

void readEverything(IConverter* c)
{
    QString name;
    c->getModelName(&name);
    c->ping();
    std::uint16_t ids[8] = {};
    c->getDeviceIds(ids);
    c->readDeviceIds(ids);
    bool flag = false;
    int number = 0;
    std::uint8_t byte = 0;
    std::uint32_t word = 0;
    c->isPowered(&flag);
    c->getFirmwareVersion(&number);
    c->getVersionRegister(&byte);
    c->hasAdjustableSettings(&flag);
    c->getAudioChannelCount(&number);
    c->getLumaGain(&byte);
    c->getChromaRGain(&byte);
    c->getChromaBGain(&byte);
    c->getClampingDisabled(&flag);
    c->getVideoLevel(&flag);
    c->getHdmiInstantLock(&flag);
    c->getAudioGain1(&byte);
    c->getAudioGain2(&byte);
    c->getAudioGain3(&byte);
    c->getAudioGain4(&byte);
    c->getAesEbuGain(&byte);
    c->getDownconversion(&number, &byte);
    c->getDviExtenderMode(&number);
    c->getCameraNumber(&number);
    c->getShowTally(&flag);
    c->getSdAspectWide(&flag);
    c->getOptionFlagA(&flag);
    c->getOptionFlagB(&flag);
    c->waitRequestFlag(&flag);
    for (int kind = 0; kind < 8; ++kind) {
        c->getProductStatus(kind, &byte);
        c->getProductRegister(kind, &byte);
    }
    for (int index = 0; index < 4; ++index) {
        std::string lut;
        c->getLutName(index, &lut);
        c->getVideoGain(index, &byte);
        c->getAudioGain(index, &byte);
    }
    c->readRegister(0, &byte);
    c->readWord(0, &word);
}

class Images : public TWG::Converters::IConverterXmegaProgramming::ImageSource {
public:
    int imageCount() const override { return 2; }
    const std::uint8_t* imageData(int) const override { return bytes_; }
    std::uint32_t imageSize(int index) const override { return index == 0 ? 16 : sizeof bytes_; }
    std::uint8_t imageTarget(int index) const override { return static_cast<std::uint8_t>(index); }
    std::uint32_t imageOffset(int index) const override { return index == 0 ? 0 : 0x1000; }

private:
    std::uint8_t bytes_[600] = {1, 2, 3, 4};
};

struct Progress : TWG::Converters::IConverterXmegaProgramming::Delegate {
    void reportProgress(int) override {}
};

void program(IConverter* c)
{
    if (auto* fx2 = c->getFX2Programming()) {
        const std::uint8_t image[300] = {0x10, 0x00, 0x00, 0x00};
        if (fx2->hasAT90() && fx2->enterAT90Programming()) {
            fx2->eraseAT90();
            fx2->writeAT90Fuses();
            fx2->prepareAT90Pages();
            std::uint32_t written = 0;
            fx2->writeAT90Page(0, image, sizeof image, &written);
            fx2->leaveAT90Programming();
        }
        if (fx2->eraseFirmware(sizeof image))
            fx2->writeFirmware(image, sizeof image);
    }
    if (auto* xmega = c->getXmegaProgramming()) {
        Images images;
        Progress progress;
        xmega->programFirmware(&images, &progress);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    fuzzsupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input script(data, size);
    const std::uint8_t mode = script.byte();
    const std::uint8_t productIndex = script.byte();

    VirtualClock clock;
    ClockOverride clockOverride(&clock);
    SimBackend bus;
    DriverEmulator emulator(bus);
    DriverPort::setInstance(&emulator);
    {
        SimDescriptors descriptors;
        if (mode & 1) {
            SimXmegaState state;
            state.productId = kXmegaProducts[productIndex % (sizeof kXmegaProducts / sizeof kXmegaProducts[0])];
            descriptors = state.descriptors(false);
        } else {
            const std::vector<std::uint16_t>& fx2 = TWG::Converters::Fx2ProductTable::productIds();
            descriptors = SimFx2Running::descriptors(0x7C5D, fx2[productIndex % fx2.size()]);
        }
        bus.attach(std::make_shared<ScriptedConverter>(std::move(descriptors), script));

        Family family;
        convtest::DeviceChangeWindow<TWG::Converters::ConverterNotifier> window;
        std::unique_ptr<TWG::Converters::ConverterNotifier> notifier = TWG::Converters::ConverterNotifier::create();
        if (!notifier)
            __builtin_trap();
        window.notifier = notifier.get();
        notifier->start(&family, window.id);
        for (int t = 0; t < 50 && family.present.empty(); ++t) {
            clock.advance(Clock::Duration(10));
            QCoreApplication::processEvents();
        }
        for (IConverter* c : std::vector<IConverter*>(family.present)) {
            readEverything(c);
            if (mode & 2)
                program(c);
        }
        for (IConverter* c : family.present)
            c->release();
        family.present.clear();
        notifier.reset();
        QCoreApplication::processEvents();
    }
    DriverPort::setInstance(nullptr);
    return 0;
}
