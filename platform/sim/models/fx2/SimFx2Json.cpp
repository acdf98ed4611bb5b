#include "platform/sim/models/fx2/SimFx2Json.h"

#include "platform/sim/SimModelRegistry.h"
#include "protocol/ConverterIds.h"

#include <QJsonArray>

namespace platform {

namespace {

bool flag(const QJsonObject& o, const char* key, bool* out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isBool())
        *out = v.toBool();
    return v.isUndefined() || v.isBool();
}

bool at90FromJson(const QJsonValue& v, SimFx2Running::Options* options, QString* error)
{
    if (v.isUndefined() || (v.isBool() && !v.toBool()))
        return true;
    SimAt90::Options a;
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        unsigned busy = static_cast<unsigned>(a.busyPolls), erased = 0;
        if (!simNumberField(o, "busyPolls", 1000, &busy, error) ||
            !simNumberField(o, "erasedReads", 4, &erased, error) || !flag(o, "busyForever", &a.busyForever)) {
            if (error->isEmpty())
                *error = QStringLiteral("bad \"busyForever\"");
            return false;
        }
        a.busyPolls = static_cast<int>(busy);
        a.erasedReadsAfterProgram = static_cast<int>(erased);
        if (o.contains(QLatin1String("signature"))) {
            const QJsonArray s = o.value(QLatin1String("signature")).toArray();
            if (s.size() != 3) {
                *error = QStringLiteral("\"signature\" needs 3 bytes");
                return false;
            }
            for (int i = 0; i < 3; ++i) {
                unsigned b = 0;
                if (!simNumber(s.at(i), 0xFF, &b)) {
                    *error = QStringLiteral("bad \"signature\"");
                    return false;
                }
                a.signature[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(b);
            }
        }
    } else if (!v.isBool()) {
        *error = QStringLiteral("\"at90\" must be true or an object");
        return false;
    }
    options->at90 = a;
    return true;
}

// "registers": {"10": 128, "0x0D": "0x01"}: register values at power-up.
bool registersFromJson(const QJsonValue& v, SimFx2Running::Options* options, QString* error)
{
    if (v.isUndefined())
        return true;
    const QJsonObject o = v.toObject();
    bool ok = v.isObject();
    for (auto it = o.begin(); ok && it != o.end(); ++it) {
        unsigned index = 0, value = 0;
        ok = simNumber(QJsonValue(it.key()), 0xFF, &index) && simNumber(it.value(), 0xFF, &value);
        if (ok)
            options->registers[static_cast<std::uint8_t>(index)] = static_cast<std::uint8_t>(value);
    }
    if (!ok)
        *error = QStringLiteral("bad \"registers\"");
    return ok;
}

} // namespace

std::shared_ptr<SimFx2Running> simFx2RunningFromJson(const QJsonObject& entry, QString* error)
{
    SimDescriptors d = SimFx2Running::descriptors(TWG::Converters::ids::kVendorId, 0xBD2E);
    if (!simDescriptorsFromJson(entry, &d, error))
        return nullptr;
    SimFx2Running::Options o;
    unsigned version = o.version, ready = 0, erase = static_cast<unsigned>(o.eraseMs),
             restart = static_cast<unsigned>(o.restartMs), versionAddress = 0;
    if (!simNumberField(entry, "version", 0xFF, &version, error) ||
        !simNumberField(entry, "readyAfterProbes", 100000, &ready, error) ||
        !simNumberField(entry, "eraseMs", 600000, &erase, error) ||
        !simNumberField(entry, "restartMs", 600000, &restart, error) ||
        !simNumberField(entry, "versionAddress", SimFx2Running::kFlashSize - 1, &versionAddress, error))
        return nullptr;
    if (!flag(entry, "powered", &o.powered) || !flag(entry, "eraseNeverDone", &o.eraseNeverDone)) {
        *error = QStringLiteral("bad \"powered\" or \"eraseNeverDone\"");
        return nullptr;
    }
    o.version = static_cast<std::uint8_t>(version);
    o.readyAfterProbes = static_cast<int>(ready);
    o.eraseMs = static_cast<int>(erase);
    o.restartMs = static_cast<int>(restart);
    if (entry.contains(QLatin1String("versionAddress")))
        o.versionAddress = versionAddress;
    if (!at90FromJson(entry.value(QLatin1String("at90")), &o, error) ||
        !registersFromJson(entry.value(QLatin1String("registers")), &o, error))
        return nullptr;
    return SimFx2Running::create(std::move(d), o);
}

namespace {

const bool registered = SimModelRegistry::add("fx2", [](const QJsonObject& entry, QString* error) {
    return std::shared_ptr<SimDevice>(simFx2RunningFromJson(entry, error));
});

} // namespace

} // namespace platform
