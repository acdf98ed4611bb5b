#include "converters/fx2/ConverterInstance.h"

#include "converters/BoundedPoll.h"
#include "platform/Clock.h"
#include "protocol/Fx2Protocol.h"

#include <algorithm>

namespace TWG {
namespace Converters {

namespace {

constexpr std::uint16_t kConverterIds[] = {0xBD15, 0xBD16, 0xBD17, 0xBD18, 0xBD19, 0xBD27, 0xBD28, 0xBD2C,
                                           0xBD2E, 0xBD2F, 0xBD30, 0xBD31, 0xBD32, 0xBD33, 0xBD34, 0xBD41,
                                           0xBD46, 0xBD47, 0xBD53, 0xBD55, 0xBD5F, 0xBD60, 0xBD82, 0xBDCF,
                                           0xBDD0};
constexpr std::uint16_t kAt90Ids[] = {0xBD2E, 0xBD2F, 0xBD32, 0xBD33, 0xBD34, 0xBD53, 0xBDCF};
// Their bootloaders do not answer register reads after a restart.
constexpr std::uint16_t kNoWaitIds[] = {0xBD2F, 0xBDCF};

template <std::size_t N>
bool contains(const std::uint16_t (&ids)[N], std::uint16_t id)
{
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

void pause(int ms)
{
    platform::clock().sleepFor(platform::Clock::Duration(ms));
}

} // namespace

ConverterInstance::ConverterInstance(USB::IUSBDevice* device, const Fx2ProductEntry& product)
    : AbstractUSBDevice(device, product), at90_(this, device)
{
}

AbstractUSBDevice* ConverterInstance::create(USB::IUSBDevice* device, const Fx2ProductEntry& product)
{
    return new ConverterInstance(device, product);
}

bool ConverterInstance::isConverterProductId(std::uint16_t productId)
{
    return contains(kConverterIds, productId);
}

bool ConverterInstance::hasAt90(std::uint16_t productId)
{
    return contains(kAt90Ids, productId);
}

bool ConverterInstance::isConverterProductId()
{
    std::uint16_t id = 0;
    return getProductId(&id) && isConverterProductId(id);
}

std::uint16_t ConverterInstance::bootloaderProductId()
{
    std::uint16_t id = 0;
    getProductId(&id);
    return contains(kNoWaitIds, id) ? fx2::kBootloaderProductIdNoWait : fx2::kBootloaderProductId;
}

AtmelAT90HardwareAccess* ConverterInstance::at90Programmer()
{
    std::uint16_t id = 0;
    return getProductId(&id) && hasAt90(id) ? &at90_ : nullptr;
}

bool ConverterInstance::waitUntilReady()
{
    std::uint8_t v = 0;
    if (isConverterProductId())
        return readRegister(fx2::kRegisterPing, &v);
    BoundedPoll rounds(fx2::kReadyRounds, fx2::kReadyRoundPauseMs, 2 * fx2::kReadyRegisterPolls * fx2::kReadyRegisterPollMs);
    while (rounds.next()) {
        bool ready = false;
        if (probeReady(&ready) && ready) {
            BoundedPoll reads(fx2::kReadyRegisterPolls, fx2::kReadyRegisterPollMs);
            while (reads.next()) {
                if (readRegister(fx2::kRegisterPing, &v))
                    return true;
                reads.pause();
            }
        }
        pause(fx2::kReadyRoundPauseMs);
    }
    return false;
}

bool ConverterInstance::restartDevice()
{
    if (isConverterProductId()) {
        const bool wait = (bootloaderProductId() & 0xFF) != 0;
        const bool ok = restartAndWait(wait);
        if (!wait)
            pause(fx2::kRestartEndPauseMs);
        return ok;
    }
    return restartAndWait(false) && waitUntilReady();
}

} // namespace Converters
} // namespace TWG
