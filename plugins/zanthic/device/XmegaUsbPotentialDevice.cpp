#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"

#include "converters/BoundedPoll.h"
#include "converters/xmega/Progress.h"
#include "converters/xmega/XmegaUSBDevice.h"
#include "platform/Clock.h"
#include "plugins/zanthic/device/FirmwareVersion.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "protocol/XmegaProtocol.h"
#include "protocol/ZanthicRegisters.h"
#include "usb/IUSBDevice.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace TWG {
namespace Zanthic {

namespace {
// Not translated, unlike the STM32 default.
constexpr char kDefaultName[] = "Tarnwright Device";
// How often a pause between EEPROM status reads looks at the stop flag.
constexpr int kStopCheckMs = 100;

// Whether the device has the XMEGA's vendor interface at all; asks the driver, not the device.
bool hasXmegaInterface(USB::IUSBDevice* device)
{
    namespace xmega = Converters::xmega;
    const std::uint32_t filter[2] = {xmega::kInterfaceFilterWord0, xmega::kInterfaceFilterWord1};
    USB::IUSBInterfaceIterator* it = nullptr;
    if (!device || device->createInterfaceIterator(filter, &it) != USB::kResultSuccess || !it)
        return false;
    USB::IUSBInterface* interface = nullptr;
    const bool found = it->next(&interface);
    if (interface)
        interface->release();
    it->release();
    return found;
}
} // namespace

XmegaUsbPotentialDevice::XmegaUsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device)
    : UsbPotentialDevice(std::move(manager), device, NoSerialRead{}),
      channel_(Converters::XmegaUSBDevice::create(device))
{
    if (!channel_) {
        // With the interface there, it was a request of the opening that failed: worth another try.
        if (hasXmegaInterface(device))
            throw DeviceNotIdentified("No device interface.");
        throw std::runtime_error("No device interface.");
    }
    Converters::XmegaUSBDevice::Uuid uuid{};
    if (!channel_->getUuid(&uuid))
        throw DeviceNotIdentified("UUID read failure.");
    QString serial;
    for (std::uint8_t b : uuid)
        serial += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    setSerial(serial);
    readIdentity();
}

void XmegaUsbPotentialDevice::readIdentity()
{
    CreationReads reads;
    std::uint8_t state = 0;
    const bool known = reads.attempt([&] { return channel_->getMode(&state); });
    QString name, build, release;
    if (!known || state == 0) {
        name = registerText(xmegareg::kDeviceName, xmegareg::kTextLength, reads);
        release = registerText(xmegareg::kReleaseVersion, xmegareg::kReleaseVersionLength, reads);
        build = readBuildId(reads);
    }
    setIdentity(name.isEmpty() ? QString::fromLatin1(kDefaultName) : name, build, release);
    std::lock_guard<std::mutex> lock(identityMutex());
    bootStateKnown_ = known;
    bootState_ = state;
}

XmegaUsbPotentialDevice::~XmegaUsbPotentialDevice() = default;

namespace {

// The length of the well-formed UTF-8 at the start of the bytes, in whole characters: no
// overlong form, surrogate or value past U+10FFFF.
std::size_t utf8Prefix(const unsigned char* s, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else
            return i;
        if (n - i <= extra || s[i + 1] < low || s[i + 1] > high)
            return i;
        for (std::size_t k = 2; k <= extra; ++k)
            if ((s[i + k] & 0xC0) != 0x80)
                return i;
        i += 1 + extra;
    }
    return i;
}

} // namespace

QString registerFieldText(const char* field, std::size_t length)
{
    const std::size_t used = static_cast<std::size_t>(std::find(field, field + length, '\0') - field);
    const auto* bytes = reinterpret_cast<const unsigned char*>(field);
    const int size = static_cast<int>(used);
    return utf8Prefix(bytes, used) == used ? QString::fromUtf8(field, size) : QString::fromLatin1(field, size);
}

QString XmegaUsbPotentialDevice::registerText(std::uint32_t address, std::uint32_t length, CreationReads& reads)
{
    std::vector<char> text(length, 0);
    if (!reads.attempt([&] { return channel_->readMemory(address, length, text.data()); }))
        return {};
    return registerFieldText(text.data(), text.size());
}

QString XmegaUsbPotentialDevice::readBuildId(CreationReads& reads)
{
    if (!reads.answering())
        return {};
    // The FPGA reads 0 while it starts; a version that never turns up is shown as 0.
    std::uint32_t fpga = 0;
    for (int read = 0; read < xmegareg::kFpgaVersionReads && reads.answering(); ++read) {
        if (read > 0)
            platform::clock().sleepFor(platform::Clock::Duration(xmegareg::kFpgaVersionReadIntervalMs));
        std::uint8_t bytes[xmegareg::kFpgaVersionLength] = {};
        if (!channel_->readMemory(xmegareg::kFpgaVersion, xmegareg::kFpgaVersionLength, bytes)) {
            reads.failed();
            continue;
        }
        fpga = static_cast<std::uint32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16)) |
               (static_cast<std::uint32_t>(bytes[3]) << 24);
        if (fpga != 0)
            break;
    }
    QString text = QStringLiteral(" fpga:%1").arg(fpga, 8, 16, QLatin1Char('0'));
    // The XMEGA firmware version is known only when both numbers the device reports agree.
    std::uint32_t first = 0, second = 0;
    if (reads.attempt([&] { return channel_->getVersions(&first, &second); }) && first == second)
        text += QStringLiteral(" xmega:%1").arg(first, 8, 16, QLatin1Char('0'));
    return text.trimmed();
}

bool XmegaUsbPotentialDevice::isFirmwareCurrent(const QString& available)
{
    // In its bootloader the device has no application running to be current, whatever the
    // versions it reports (an application write may have stopped part-way).
    {
        std::lock_guard<std::mutex> lock(identityMutex());
        if (bootStateKnown_ && bootState_ != 0)
            return false;
    }
    return firmwareVersionsMatch(available, buildId());
}

bool XmegaUsbPotentialDevice::readBootState(std::uint8_t* state) { return channel_->getMode(state); }

bool XmegaUsbPotentialDevice::reboot(bool intoBootloader)
{
    return intoBootloader ? channel_->restartIntoBootloader() : channel_->restart();
}

bool XmegaUsbPotentialDevice::programBootloader(const std::uint8_t* data, std::uint32_t size)
{
    std::uint8_t state = 0;
    return readBootState(&state) && state != 0 && channel_->writeApplication(size, data);
}

bool XmegaUsbPotentialDevice::beginStagedProgramming()
{
    std::uint8_t state = 1;
    return readBootState(&state) && state == 0 && channel_->beginStagedProgramming();
}

bool XmegaUsbPotentialDevice::endStagedProgramming() { return channel_->endStagedProgramming(); }

namespace {
bool programFailed(const QString& text)
{
    qCWarning(lcZanthic).noquote() << text;
    return false;
}
} // namespace

bool XmegaUsbPotentialDevice::program(std::uint16_t target, std::uint32_t address, const std::uint8_t* data,
                                      std::uint32_t length, ProgramProgress progress, const std::atomic<bool>* stop)
{
    Converters::XmegaUSBDevice& c = *channel_;
    auto report = [&progress](float fraction) {
        if (progress)
            progress(fraction);
    };
    auto stopped = [stop] { return stop && stop->load(); };
    // The pause between two status reads, cut short once the caller stops.
    auto rest = [&stopped] {
        for (int slept = 0; slept < xmegareg::kEepromPollIntervalMs && !stopped(); slept += kStopCheckMs)
            platform::clock().sleepFor(
                platform::Clock::Duration(std::min(kStopCheckMs, xmegareg::kEepromPollIntervalMs - slept)));
    };

    if (!c.setTargetEeprom(target))
        return programFailed(QStringLiteral("Failed to set EEPROM target %1\n").arg(target));
    std::uint32_t sectorSize = 0, pageSize = 0;
    if (!c.getEepromInfo(nullptr, &sectorSize, &pageSize))
        return programFailed(QStringLiteral("Failed to get EEPROM info\n"));
    if (sectorSize < xmegareg::kMinEraseSectorBytes) {
        qCWarning(lcZanthic) << "EEPROM reports an erase sector of" << sectorSize << "bytes";
        return programFailed(QStringLiteral("Failed to get EEPROM info\n"));
    }

    // Every sector the image touches, also when it does not start on a sector.
    const std::uint32_t firstSector = address / sectorSize;
    const std::uint64_t end = static_cast<std::uint64_t>(address) + length;
    const auto sectors = static_cast<std::uint32_t>((end + sectorSize - 1) / sectorSize - firstSector);
    if (!c.eraseEeprom(firstSector, sectors))
        return programFailed(QStringLiteral("Failed to erase EEPROM sectors\n"));
    // Sized by the image, not by the sectors the device says it has.
    const std::int64_t spans = (static_cast<std::int64_t>(length) + xmegareg::kEraseSpanBytes - 1) / xmegareg::kEraseSpanBytes;
    Converters::BoundedPoll erase(
        static_cast<int>((xmegareg::kEraseAllowanceMs + spans * xmegareg::kEraseMsPerSpan) / xmegareg::kEepromPollIntervalMs),
        xmegareg::kEepromPollIntervalMs);
    for (;;) {
        Converters::XmegaEepromProgress status;
        if (!erase.next() || stopped() || !c.getEepromProgress(&status))
            return programFailed(QStringLiteral("Failed to erase all EEPROM sectors\n"));
        if (!status.busy) {
            if (status.done() != status.total)
                return programFailed(QStringLiteral("Failed to erase all EEPROM sectors\n"));
            break;
        }
        // A device may not know its total yet.
        report(status.total == 0 ? 0.0f : 0.5f * std::min(1.0f, float(status.done()) / float(status.total)));
        rest();
    }

    report(0.5f);
    const Converters::Progress written([&report](int percent) { report(0.5f + 0.5f * float(percent) / 100.0f); }, 0,
                                       100);
    if (!c.writeEepromData(address / pageSize, length, data, &written))
        return programFailed(QStringLiteral("Failed to write EEPROM sectors\n"));
    Converters::BoundedPoll finish(xmegareg::kWriteFinishPolls, xmegareg::kEepromPollIntervalMs);
    for (;;) {
        bool busy = true;
        if (!finish.next() || stopped() || !c.getSessionStatus(nullptr, &busy))
            return programFailed(QStringLiteral("Failed to write all EEPROM sectors\n"));
        if (!busy)
            return true;
        rest();
    }
}

} // namespace Zanthic
} // namespace TWG
