#include "converters/xmega/XmegaFirmwareStage.h"

#include "converters/BoundedPoll.h"
#include "converters/xmega/DeviceLoaderStatus.h"
#include "converters/xmega/Progress.h"
#include "converters/xmega/XmegaUSBDevice.h"
#include "platform/Clock.h"
#include "protocol/XmegaProtocol.h"

namespace TWG {
namespace Converters {

using namespace xmega;

XmegaFirmwareStage::XmegaFirmwareStage(std::uint16_t target, std::uint32_t offset, std::uint32_t length,
                                       const std::uint8_t* data, std::string name)
    : XmegaEepromStage(target, offset, std::move(name)), length_(length), data_(data)
{
}

bool XmegaFirmwareStage::run(XmegaUSBDevice& device, DeviceLoaderStatus& status)
{
    if (program(device, status))
        return true;
    device.endStagedProgramming();
    return false;
}

bool XmegaFirmwareStage::program(XmegaUSBDevice& device, DeviceLoaderStatus& status)
{
    if (length_ && !data_)
        return false;
    if (!device.setTargetEeprom(target())) {
        status.setError("ERROR: Unable to set target Eeprom");
        return false;
    }
    std::uint64_t size = 0;
    std::uint32_t sector = 0, page = 0;
    if (!device.getEepromInfo(&size, &sector, &page)) {
        status.setError("ERROR: Unable to get target Eeprom info");
        return false;
    }
    const std::uint32_t o = offset();
    if (o % sector != 0) {
        status.setError("ERROR: Eeprom data does not start on a sector boundary");
        return false;
    }
    if (o % page != 0) {
        status.setError("ERROR: Eeprom data does not start on a page boundary");
        return false;
    }
    if (static_cast<std::uint64_t>(o) + length_ > size) {
        status.setError("ERROR: Eeprom data extends past end of Eeprom device");
        return false;
    }

    const std::uint32_t sectors = static_cast<std::uint32_t>((static_cast<std::uint64_t>(length_) + sector - 1) / sector);
    if (!device.eraseEeprom(o / sector, sectors)) {
        status.setError("ERROR: Unable to erase Eeprom");
        return false;
    }
    BoundedPoll erasePoll(kErasePolls, kErasePollMs);
    for (;;) {
        if (!erasePoll.next()) {
            status.setError("ERROR: Unable to get erase progress");
            return false;
        }
        platform::clock().sleepFor(platform::Clock::Duration(kErasePollMs));
        XmegaEepromProgress p;
        if (!device.getEepromProgress(&p)) {
            status.setError("ERROR: Unable to get erase progress");
            return false;
        }
        int percent = 0;
        if (p.erasePhase)
            percent = p.total == 0 ? -1 : static_cast<int>(std::min<std::uint64_t>(p.done(), p.total) * 100 / p.total / 2);
        status.setStatus("Erasing Eeprom", percent);
        if (p.busy == 0)
            break;
    }

    status.setStatus("Writing Eeprom", 0);
    const Progress progress([&status](int percent) { status.setProgress(percent); }, kEepromWriteProgressLow,
                            kEepromWriteProgressHigh);
    if (!device.writeEepromData(o / page, length_, data_, &progress)) {
        status.setError("ERROR: Error writing eeprom");
        return false;
    }
    BoundedPoll finishPoll(kWriteFinishPolls, kWriteFinishPollMs);
    for (;;) {
        bool busy = true;
        if (!finishPoll.next() || !device.getSessionStatus(nullptr, &busy)) {
            status.setError("ERROR: Unable to get write progress");
            return false;
        }
        if (!busy)
            break;
        status.setStatus("Finishing write", -1);
        finishPoll.pause();
    }
    return true;
}

} // namespace Converters
} // namespace TWG
