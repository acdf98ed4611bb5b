#pragma once

// A simulated device whose answers come from the fuzzer's input, and the recorder that writes
// such input from one of the simulated models, for the device fuzzers' seeds.
//   script, per request: outcome (0xE0.. stall, 0xC0.. time-out, else success); for IN requests
//   and bulk reads a length byte (cut to the length asked for) and that many answer bytes.
//   Once the script is used up every request stalls.
// Standard requests are answered from the descriptors, the serial-number string from the
// script when asked.
#include "FuzzSupport.h"

#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimDevice.h"
#include "protocol/UsbChapter9.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fuzzsupport {

constexpr std::uint8_t kStallOutcome = 0xE0;
constexpr std::uint8_t kTimeoutOutcome = 0xC0;
constexpr std::uint32_t kLongestAnswer = 0xFF;

inline bool isSerialRead(const platform::SimDescriptors& d, const platform::UsbSetup& setup)
{
    return setup.bmRequestType == usbch9::kStandardDeviceIn && setup.bRequest == usbch9::kGetDescriptor &&
           (setup.wValue >> 8) == usbch9::kDescriptorString && (setup.wValue & 0xFF) == d.device.iSerialNumber &&
           d.device.iSerialNumber != 0;
}

class ScriptedDevice : public platform::SimDevice {
public:
    ScriptedDevice(platform::SimDescriptors d, Input& script, bool scriptedSerial)
        : SimDevice(std::move(d)), script_(script), scriptedSerial_(scriptedSerial)
    {
    }

protected:
    platform::UsbStatus standardRequest(const platform::UsbSetup& setup, std::vector<std::uint8_t>& data) override
    {
        if (!scriptedSerial_ || !isSerialRead(descriptors(), setup))
            return SimDevice::standardRequest(setup, data);
        return answered(setup.wLength, &data);
    }
    platform::UsbStatus classOrVendorRequest(const platform::UsbSetup& setup, std::vector<std::uint8_t>& data) override
    {
        if (setup.isIn())
            return answered(setup.wLength, &data);
        return outcome();
    }
    platform::UsbStatus bulkOut(std::uint8_t, const std::vector<std::uint8_t>& data, std::uint32_t* taken) override
    {
        const platform::UsbStatus status = outcome();
        *taken = status == platform::UsbStatus::Success ? static_cast<std::uint32_t>(data.size()) : 0;
        return status;
    }
    platform::UsbStatus bulkIn(std::uint8_t, std::uint32_t maxLength, std::vector<std::uint8_t>* data) override
    {
        return answered(maxLength, data);
    }

private:
    platform::UsbStatus outcome()
    {
        if (script_.empty())
            return platform::UsbStatus::Stall;
        const std::uint8_t b = script_.byte();
        if (b >= kStallOutcome)
            return platform::UsbStatus::Stall;
        if (b >= kTimeoutOutcome)
            return platform::UsbStatus::Timeout;
        return platform::UsbStatus::Success;
    }
    platform::UsbStatus answered(std::uint32_t wanted, std::vector<std::uint8_t>* data)
    {
        const platform::UsbStatus status = outcome();
        if (status == platform::UsbStatus::Success) {
            const std::uint32_t n = std::min<std::uint32_t>(script_.byte(), wanted);
            const QByteArray bytes = script_.bytes(n);
            data->assign(bytes.begin(), bytes.end());
        }
        return status;
    }

    Input& script_;
    bool scriptedSerial_;
};

// Answers as the model does and writes each answer down in the script's form. The model is not
// on the bus: a re-enumeration it asks for does not happen.
class RecordingDevice : public platform::SimDevice {
public:
    RecordingDevice(std::shared_ptr<platform::SimDevice> model, std::vector<std::uint8_t>& script)
        : SimDevice(model->descriptors()), model_(std::move(model)), script_(script)
    {
    }

protected:
    platform::UsbStatus classOrVendorRequest(const platform::UsbSetup& setup, std::vector<std::uint8_t>& data) override
    {
        const platform::UsbStatus status = model_->control(setup, data);
        note(status, setup.isIn(), setup.wLength, &data);
        return status;
    }
    platform::UsbStatus bulkOut(std::uint8_t endpoint, const std::vector<std::uint8_t>& data,
                                std::uint32_t* taken) override
    {
        const platform::UsbStatus status = model_->bulkOut(endpoint, data, taken);
        note(status, false, 0, nullptr);
        return status;
    }
    platform::UsbStatus bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, std::vector<std::uint8_t>* data) override
    {
        const platform::UsbStatus status = model_->bulkIn(endpoint, maxLength, data);
        note(status, true, maxLength, data);
        return status;
    }

private:
    void note(platform::UsbStatus status, bool in, std::uint32_t wanted, std::vector<std::uint8_t>* data)
    {
        if (status == platform::UsbStatus::Timeout) {
            script_.push_back(kTimeoutOutcome);
            return;
        }
        if (status != platform::UsbStatus::Success) {
            script_.push_back(kStallOutcome);
            return;
        }
        script_.push_back(0);
        if (!in)
            return;
        // What the script cannot say, the model does not say either.
        const std::uint32_t n = std::min<std::uint32_t>({static_cast<std::uint32_t>(data->size()), wanted, kLongestAnswer});
        data->resize(n);
        script_.push_back(static_cast<std::uint8_t>(n));
        script_.insert(script_.end(), data->begin(), data->end());
    }

    std::shared_ptr<platform::SimDevice> model_;
    std::vector<std::uint8_t>& script_;
};

// The simulated bus behind the emulated driver for one input, and the device on it opened as the
// USB library opens it (null when the open fails).
class Bus {
public:
    Bus() : emulator_(bus_) { platform::DriverPort::setInstance(&emulator_); }
    ~Bus()
    {
        if (device_)
            device_->release();
        platform::DriverPort::setInstance(nullptr);
    }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    TWG::USB::IUSBDevice* attach(std::shared_ptr<platform::SimDevice> device)
    {
        const std::string path = bus_.attach(std::move(device));
        TWG::USB::DriverConnection* c =
            TWG::USB::DriverConnection::connectToDriverWithPath(path, platform::kNoWindow, 0);
        if (!c)
            return nullptr;
        device_ = new TWG::USB::CUSBDevice(c);
        c->release();
        return device_;
    }

private:
    platform::SimBackend bus_;
    platform::DriverEmulator emulator_;
    TWG::USB::IUSBDevice* device_ = nullptr;
};

// With TWG_FUZZ_RECORD naming a folder, the fuzzer writes its seeds there and exits instead of
// fuzzing: each one a header and what record answered.
template <typename Record>
void recordSeedsIfAsked(Record record)
{
    const char* folder = std::getenv("TWG_FUZZ_RECORD");
    if (!folder)
        return;
    record([folder](const char* name, const std::vector<std::uint8_t>& seed) {
        QFile file(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(seed.data()), static_cast<qint64>(seed.size())) !=
                static_cast<qint64>(seed.size()))
            std::abort();
        std::printf("recorded %s, %zu bytes\n", name, seed.size());
    });
    std::exit(0);
}

} // namespace fuzzsupport
