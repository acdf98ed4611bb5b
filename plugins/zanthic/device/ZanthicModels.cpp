#include "plugins/zanthic/device/ZanthicModels.h"

#include "plugins/zanthic/device/FirmwareLookup.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "protocol/ZanthicIds.h"
#include "usb/package/FirmwareFileLocation.h"

namespace TWG {
namespace Zanthic {

namespace {

constexpr std::uint16_t kHardwareRevision = 0x0100;
constexpr std::int64_t kBootloaderWaitSeconds = 1;
constexpr std::int64_t kStm32SettleSeconds = 70;
constexpr std::int64_t kXmegaSettleSeconds = 5;

// Placeholder names and picture keys; the maker's product list is not part of this tree.
struct ModelName {
    std::uint16_t productId;
    const char* name;
    const char* key;
};
constexpr ModelName kNames[] = {
    {0xBE6F, "Z1 Bridge", "Zanthic_Bridge"}, {0xBE90, "Z1 Bridge", "Zanthic_Bridge"},
    {0xBE70, "Z2 Link", "Zanthic_Link"},     {0xBE91, "Z2 Link", "Zanthic_Link"},
    {0xBE79, "Z5 Camera", "Zanthic_Camera"}, {0xBE78, "Z4 Mini", "Zanthic_Mini"},
    {0xBE77, "Z3 Loop", "Zanthic_Loop"},     {0xBE89, "Z6 Studio", "Zanthic_Studio"},
};

ModelInfo row(const ModelName& m)
{
    ModelInfo info;
    info.modelName = QString::fromLatin1(m.name);
    info.fullName = QStringLiteral("Zanthic Converter ") + info.modelName;
    info.image = QStringLiteral(":/%1/%2").arg(QLatin1String(kFamilyWord), QLatin1String(m.key));
    info.thumbnail = info.image + QStringLiteral("Thumb");
    info.hardwareRevision = kHardwareRevision;
    info.releaseVersion = QString::fromLatin1(kReleaseVersion);
    const bool xmega = ids::isXmegaProduct(m.productId);
    info.firmwareVersion = xmega ? formatFirmwareVersion(m.productId)
                                 : QString::fromLatin1(firmwareids::stm32BuildId(m.productId));
    info.firmwareFile = QString::fromStdString(USB::packageFileName(m.productId));
    info.bootloaderWaitSeconds = kBootloaderWaitSeconds;
    info.settleWaitSeconds = xmega ? kXmegaSettleSeconds : kStm32SettleSeconds;
    return info;
}

} // namespace

QString formatHex8(std::uint32_t number) { return QStringLiteral("%1").arg(number, 8, 16, QLatin1Char('0')); }

QString formatFirmwareVersion(std::uint16_t productId)
{
    return QStringLiteral("fpga:%1 xmega:%2")
        .arg(formatHex8(firmwareVersionNumber(productId)), formatHex8(firmwareBuildNumber(productId)));
}

const ModelTable& modelTable()
{
    static const ModelTable table = [] {
        ModelTable t;
        for (const ModelName& m : kNames)
            t.emplace(m.productId, row(m));
        return t;
    }();
    return table;
}

} // namespace Zanthic
} // namespace TWG
