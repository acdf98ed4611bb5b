#pragma once

#include "platform/sim/SimDevice.h"
#include "tests/support/Bytes.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace simtest {

constexpr std::uint16_t kVendor = 0x7C5D;
constexpr std::uint16_t kProduct = 0xBD86;
constexpr std::uint16_t kRelease = 0x0123;
constexpr std::uint8_t kSerialIndex = 3;
constexpr char kSerial[] = "SN42";

// Interface 0 (FF/FF/FF) has bulk OUT 0x02, interrupt IN 0x81 and bulk IN 0x86; interfaces 1-3
// carry the class triples the callers' filters look for.
inline platform::SimDescriptors scriptedDescriptors(std::uint16_t product = kProduct)
{
    platform::SimDescriptors d;
    d.device.idVendor = kVendor;
    d.device.idProduct = product;
    d.device.bcdDevice = kRelease;
    d.device.bDeviceClass = 0xEF;
    d.device.bDeviceSubClass = 0x02;
    d.device.bDeviceProtocol = 0x01;
    d.device.bMaxPacketSize0 = 64;
    d.device.iSerialNumber = kSerialIndex;
    d.strings[kSerialIndex] = kSerial;
    platform::SimConfiguration c;
    platform::SimInterface main{0, 0, 0xFF, 0xFF, 0xFF, 0, {}, {{0x02, 2, 512, 0}, {0x81, 3, 64, 4}, {0x86, 2, 512, 0}}};
    platform::SimInterface control{1, 0, 0xFF, 0x03, 0x00, 0, {}, {}};
    platform::SimInterface dfu{2, 0, 0xFE, 0x01, 0x02, 0, {{9, 0x21, 0x0B, 0xFF, 0, 0, 0x08, 0x1A, 0x01}}, {}};
    platform::SimInterface hid{3, 0, 0x03, 0x00, 0x00, 0, {}, {}};
    c.interfaces = {main, control, dfu, hid};
    d.configurations = {c};
    return d;
}

// A device model whose vendor and class requests come from a table; OUT data is recorded.
class ScriptedSimDevice : public platform::SimDevice {
public:
    explicit ScriptedSimDevice(platform::SimDescriptors d = scriptedDescriptors())
        : SimDevice(std::move(d))
    {
    }

    std::map<std::uint8_t, Bytes> answers;     // IN answers by bRequest; missing: stall
    std::vector<Bytes> requestData;            // OUT data stages of vendor/class requests
    std::vector<Bytes> bulkData;               // bulk OUT data
    std::function<void(ScriptedSimDevice&, const platform::UsbSetup&)> onRequest;

    void reenumerateAs(std::shared_ptr<platform::SimDevice> persona, platform::Clock::Duration delay)
    {
        reenumerate(std::move(persona), delay);
    }

protected:
    platform::UsbStatus classOrVendorRequest(const platform::UsbSetup& setup, Bytes& data) override
    {
        if (onRequest)
            onRequest(*this, setup);
        if (!setup.isIn()) {
            requestData.push_back(data);
            return platform::UsbStatus::Success;
        }
        auto found = answers.find(setup.bRequest);
        if (found == answers.end())
            return platform::UsbStatus::Stall;
        data = found->second;
        return platform::UsbStatus::Success;
    }

    platform::UsbStatus bulkOut(std::uint8_t, const Bytes& data, std::uint32_t* taken) override
    {
        bulkData.push_back(data);
        *taken = static_cast<std::uint32_t>(data.size());
        return platform::UsbStatus::Success;
    }
};

} // namespace simtest
