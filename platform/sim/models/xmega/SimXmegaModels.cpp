// Scenario models "xmega-app" and "xmega-boot": a simulated XMEGA converter that starts in
// its application or in its bootloader. A Zanthic product id (0xBE90, 0xBE91) gets the Zanthic
// register map and EEPROM targets unless the entry says otherwise.
#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "protocol/ZanthicIds.h"

#include <QJsonArray>

namespace platform {

namespace {

// A scenario describes a converter, not a memory test: an XMEGA's application area is at most
// some hundreds of KiB and its EEPROMs a few MiB, so larger values are refused before any
// allocation.
constexpr unsigned kMaxApplicationBytes = 1u << 20;
constexpr unsigned kMaxEepromBytes = 64u << 20; // all targets together

// The prefix of this model's scenario errors.
constexpr char kErrorPrefix[] = "xmega: ";

bool readUuid(const QJsonObject& e, SimXmegaState& s, QString* error)
{
    if (!e.contains(QLatin1String("uuid")))
        return true;
    const QByteArray hex = QByteArray::fromHex(e.value(QLatin1String("uuid")).toString().toLatin1());
    if (hex.size() != static_cast<int>(s.uuid.size())) {
        *error = QStringLiteral("xmega: \"uuid\" needs 32 hex digits");
        return false;
    }
    for (std::size_t i = 0; i < s.uuid.size(); ++i)
        s.uuid[i] = static_cast<std::uint8_t>(hex[static_cast<int>(i)]);
    return true;
}

bool readEeproms(const QJsonObject& e, SimXmegaState& s, QString* error)
{
    if (!e.contains(QLatin1String("eeproms")))
        return true;
    struct Geometry {
        unsigned size = 0, sector = 0, page = 0;
    };
    std::vector<Geometry> targets;
    std::uint64_t total = 0;
    for (const QJsonValue& v : e.value(QLatin1String("eeproms")).toArray()) {
        const QJsonObject t = v.toObject();
        Geometry g;
        if (!simNumberField(t, "size", kMaxEepromBytes, &g.size, error, kErrorPrefix) ||
            !simNumberField(t, "sector", 0xFFFFFFFF, &g.sector, error, kErrorPrefix) ||
            !simNumberField(t, "page", 0xFFFFFFFF, &g.page, error, kErrorPrefix))
            return false;
        total += g.size;
        if (total > kMaxEepromBytes) {
            *error = QStringLiteral("xmega: \"eeproms\" sizes add up to more than %1 bytes").arg(kMaxEepromBytes);
            return false;
        }
        targets.push_back(g);
    }
    // Allocated only once the whole list is known to fit.
    s.eeproms.clear();
    for (const Geometry& g : targets)
        s.eeproms.emplace_back(g.size, g.sector, g.page);
    return true;
}

// "memory": {"40": 128}: byte values of the register memory at power-up.
bool readMemory(const QJsonObject& e, SimXmegaState& s, QString* error)
{
    const QJsonValue v = e.value(QLatin1String("memory"));
    if (v.isUndefined())
        return true;
    const QJsonObject o = v.toObject();
    bool ok = v.isObject();
    for (auto it = o.begin(); ok && it != o.end(); ++it) {
        unsigned address = 0, value = 0;
        ok = simNumber(QJsonValue(it.key()), 0xFFFFFF, &address) && simNumber(it.value(), 0xFF, &value);
        if (ok)
            s.memory[address] = static_cast<std::uint8_t>(value);
    }
    if (!ok)
        *error = QStringLiteral("xmega: bad \"memory\"");
    return ok;
}

// "versionsAfterWrite": [1, 1]: what the bootloader reports once an application write has
// ended, whatever was written (a scenario's old checksum that an update mends).
bool readVersionsAfterWrite(const QJsonObject& e, SimXmegaState& s, QString* error)
{
    const QJsonValue v = e.value(QLatin1String("versionsAfterWrite"));
    if (v.isUndefined())
        return true;
    const QJsonArray a = v.toArray();
    unsigned first = 0, second = 0;
    if (!v.isArray() || a.size() != 2 || !simNumber(a[0], 0xFFFFFFFF, &first) ||
        !simNumber(a[1], 0xFFFFFFFF, &second)) {
        *error = QStringLiteral("xmega: \"versionsAfterWrite\" needs two numbers");
        return false;
    }
    s.versionsAfterWrite = [first, second](const std::vector<std::uint8_t>&) {
        return std::pair<std::uint32_t, std::uint32_t>(first, second);
    };
    return true;
}

// "versionByteAfterUpdate": 1: the FPGA version once an update's EEPROM session has closed.
bool readVersionByteAfterUpdate(const QJsonObject& e, SimXmegaState& s, QString* error)
{
    if (!e.contains(QLatin1String("versionByteAfterUpdate")))
        return true;
    unsigned version = 0;
    if (!simNumberField(e, "versionByteAfterUpdate", 0xFF, &version, error, kErrorPrefix))
        return false;
    s.versionByteAfterUpdate = static_cast<std::uint8_t>(version);
    return true;
}

// "registerMap": "zanthic" (the default for 0xBE90 and 0xBE91) with "fpgaVersion": "0x1A",
// "fpgaZeroReads": 2 and "resetDoneOnRead": 3 (0: the reset never ends).
bool readZanthicMap(const QJsonObject& e, SimXmegaState& s, QString* error)
{
    const QString map = e.value(QLatin1String("registerMap"))
                            .toString(TWG::Zanthic::ids::isXmegaProduct(s.productId) ? QStringLiteral("zanthic")
                                                                                     : QStringLiteral("classic"));
    if (map != QLatin1String("zanthic") && map != QLatin1String("classic")) {
        *error = QStringLiteral("xmega: \"registerMap\" is \"classic\" or \"zanthic\"");
        return false;
    }
    s.registerMap = map == QLatin1String("zanthic") ? SimXmegaState::RegisterMap::Zanthic
                                                    : SimXmegaState::RegisterMap::Classic;
    unsigned fpga = s.fpgaVersion, zeros = 0, done = static_cast<unsigned>(s.resetDoneOnRead);
    if (!simNumberField(e, "fpgaVersion", 0xFFFFFFFF, &fpga, error, kErrorPrefix) ||
        !simNumberField(e, "fpgaZeroReads", 1000, &zeros, error, kErrorPrefix) ||
        !simNumberField(e, "resetDoneOnRead", 1000, &done, error, kErrorPrefix))
        return false;
    s.fpgaVersion = fpga;
    s.fpgaZeroReads = static_cast<int>(zeros);
    s.resetDoneOnRead = static_cast<int>(done);
    return true;
}

std::shared_ptr<SimDevice> build(const QJsonObject& e, QString* error, bool bootloader)
{
    auto s = std::make_shared<SimXmegaState>();
    unsigned vendor = s->vendorId, product = bootloader ? 0xBD86 : s->productId, page = s->pageSize,
             pages = s->pageCount, versionByte = s->versionByte, packet = s->outPacketSize,
             delay = static_cast<unsigned>(s->restartDelayMs);
    if (!simNumberField(e, "vendor", 0xFFFF, &vendor, error, kErrorPrefix) ||
        !simNumberField(e, "product", 0xFFFF, &product, error, kErrorPrefix) ||
        !simNumberField(e, "pageSize", 0xFFFF, &page, error, kErrorPrefix) ||
        !simNumberField(e, "pageCount", 0xFFFF, &pages, error, kErrorPrefix) ||
        !simNumberField(e, "versionByte", 0xFF, &versionByte, error, kErrorPrefix) ||
        !simNumberField(e, "packet", 0xFFFF, &packet, error, kErrorPrefix) ||
        !simNumberField(e, "restartDelay", 600000, &delay, error, kErrorPrefix) || !readUuid(e, *s, error) ||
        !readEeproms(e, *s, error) || !readMemory(e, *s, error))
        return nullptr;
    const QJsonArray versions = e.value(QLatin1String("versions")).toArray();
    for (int i = 0; i < versions.size() && i < 2; ++i) {
        unsigned v = 0;
        if (!simNumber(versions[i], 0xFFFFFFFF, &v)) {
            *error = QStringLiteral("xmega: bad \"versions\"");
            return nullptr;
        }
        s->versions[i] = v;
    }
    if (!readVersionsAfterWrite(e, *s, error) || !readVersionByteAfterUpdate(e, *s, error))
        return nullptr;
    if (static_cast<std::uint64_t>(page) * pages > kMaxApplicationBytes) {
        *error = QStringLiteral("xmega: \"pageSize\" x \"pageCount\" is more than %1 bytes").arg(kMaxApplicationBytes);
        return nullptr;
    }
    s->vendorId = static_cast<std::uint16_t>(vendor);
    s->productId = static_cast<std::uint16_t>(product);
    s->pageSize = static_cast<std::uint16_t>(page);
    s->pageCount = static_cast<std::uint16_t>(pages);
    s->application.assign(static_cast<std::size_t>(page) * pages, 0xFF);
    if (e.value(QLatin1String("application")).toString() == QLatin1String("present"))
        for (std::size_t i = 0; i < s->application.size() && i < page; ++i)
            s->application[i] = static_cast<std::uint8_t>(i);
    s->versionByte = static_cast<std::uint8_t>(versionByte);
    s->outPacketSize = static_cast<std::uint16_t>(packet);
    s->restartDelayMs = static_cast<int>(delay);
    s->powered = e.value(QLatin1String("powered")).toBool(true);
    s->hasPowerRequest =
        e.value(QLatin1String("powerRequest")).toBool(s->productId == 0xBDF2 || s->productId == 0xBDF6);
    s->sessionOpen = e.value(QLatin1String("staleSession")).toBool(false);
    if (!readZanthicMap(e, *s, error))
        return nullptr;
    if (s->registerMap == SimXmegaState::RegisterMap::Zanthic && !e.contains(QLatin1String("eeproms")))
        s->eeproms = SimXmegaState::zanthicEeproms();
    return SimXmegaDevice::persona(s, bootloader);
}

const bool registeredApplication = SimModelRegistry::add(
    "xmega-app", [](const QJsonObject& e, QString* error) { return build(e, error, false); });
const bool registeredBootloader = SimModelRegistry::add(
    "xmega-boot", [](const QJsonObject& e, QString* error) { return build(e, error, true); });

} // namespace

} // namespace platform
