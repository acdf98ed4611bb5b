#include "platform/sim/models/fx2/SimFx2Blank.h"

#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/models/fx2/SimFx2Json.h"
#include "protocol/ConverterIds.h"
#include "protocol/Fx2Protocol.h"

#include <cstdio>

namespace platform {

namespace fx2 = TWG::Converters::fx2;

namespace {

SimDescriptors blankDescriptors(std::uint16_t vendor, std::uint16_t product)
{
    SimDescriptors d;
    d.device.idVendor = vendor;
    d.device.idProduct = product;
    d.device.bcdDevice = fx2::kReleaseWithoutFirmware;
    d.configurations[0].interfaces = {SimInterface{}};
    return d;
}

} // namespace

SimFx2Blank::SimFx2Blank(std::uint16_t vendor, std::uint16_t product, PersonaFactory running, int reenumerateMs)
    : SimDevice(blankDescriptors(vendor, product)),
      ram_(kRamSize, 0),
      running_(std::move(running)),
      reenumerateMs_(reenumerateMs)
{
}

UsbStatus SimFx2Blank::classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    if ((setup.bmRequestType & 0x60) != 0x40 || setup.bRequest != fx2::kRequestRamWrite)
        return UsbStatus::Stall;
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint32_t address = setup.wValue;
    if (setup.isIn()) {
        if (address + std::uint32_t(setup.wLength) > kRamSize)
            return UsbStatus::Stall;
        data.assign(ram_.begin() + address, ram_.begin() + address + setup.wLength);
        return UsbStatus::Success;
    }
    if (address + data.size() > kRamSize)
        return UsbStatus::Stall;
    const bool touchesCpucs = address <= fx2::kCpucsAddress && address + data.size() > fx2::kCpucsAddress;
    if (!cpuHeld_ && !touchesCpucs) {
        char text[64];
        std::snprintf(text, sizeof text, "RAM at %04x written while the CPU runs", address);
        violations_.push_back(text);
    }
    std::copy(data.begin(), data.end(), ram_.begin() + address);
    if (touchesCpucs) {
        const std::uint8_t cpucs = data[fx2::kCpucsAddress - address];
        cpucsWrites_.push_back(cpucs);
        const bool hold = (cpucs & fx2::kCpucsReset) != 0;
        if (cpuHeld_ && !hold) {
            ++releases_;
            // The firmware disconnects and enumerates as itself.
            reenumerate(running_ ? running_() : nullptr, Clock::Duration(reenumerateMs_));
        }
        cpuHeld_ = hold;
    }
    return UsbStatus::Success;
}

std::vector<std::uint8_t> SimFx2Blank::ram() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ram_;
}

bool SimFx2Blank::cpuHeld() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return cpuHeld_;
}

int SimFx2Blank::releases() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return releases_;
}

std::vector<std::uint8_t> SimFx2Blank::cpucsWrites() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return cpucsWrites_;
}

std::vector<std::string> SimFx2Blank::violations() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return violations_;
}

namespace {

// "fx2-blank": "vendor", "product", "reenumerateMs", and "running" (an "fx2" entry whose vendor
// and product default to the blank device's) for the persona it comes back as. Its RAM image is
// the host's to bring, as for a real controller.
const bool registered = SimModelRegistry::add("fx2-blank", [](const QJsonObject& entry, QString* error) {
    unsigned vendor = TWG::Converters::ids::kVendorId, product = 0xBD2E, delay = 100;
    if (!simNumber(entry.value(QLatin1String("vendor")).isUndefined() ? QJsonValue(int(vendor))
                                                                      : entry.value(QLatin1String("vendor")),
                   0xFFFF, &vendor) ||
        !simNumber(entry.value(QLatin1String("product")).isUndefined() ? QJsonValue(int(product))
                                                                       : entry.value(QLatin1String("product")),
                   0xFFFF, &product) ||
        !simNumber(entry.value(QLatin1String("reenumerateMs")).isUndefined()
                       ? QJsonValue(int(delay))
                       : entry.value(QLatin1String("reenumerateMs")),
                   600000, &delay)) {
        *error = QStringLiteral("bad \"vendor\", \"product\" or \"reenumerateMs\"");
        return std::shared_ptr<SimDevice>();
    }
    QJsonObject running = entry.value(QLatin1String("running")).toObject();
    if (!running.contains(QLatin1String("vendor")))
        running.insert(QLatin1String("vendor"), int(vendor));
    if (!running.contains(QLatin1String("product")))
        running.insert(QLatin1String("product"), int(product));
    if (!simFx2RunningFromJson(running, error))
        return std::shared_ptr<SimDevice>();
    auto persona = [running] {
        QString ignored;
        return std::shared_ptr<SimDevice>(simFx2RunningFromJson(running, &ignored));
    };
    return std::shared_ptr<SimDevice>(std::make_shared<SimFx2Blank>(static_cast<std::uint16_t>(vendor),
                                                                    static_cast<std::uint16_t>(product), persona,
                                                                    static_cast<int>(delay)));
});

} // namespace

} // namespace platform
