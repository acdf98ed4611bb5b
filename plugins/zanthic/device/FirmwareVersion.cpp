#include "plugins/zanthic/device/FirmwareVersion.h"

#include <QRegularExpression>

namespace TWG {
namespace Zanthic {

std::map<QString, std::uint32_t> parseFirmwareVersion(const QString& text)
{
    static const QRegularExpression pair(QStringLiteral("([a-zA-Z]+):([0-9a-fA-F]+)"));
    std::map<QString, std::uint32_t> versions;
    auto it = pair.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        bool ok = false;
        const std::uint32_t value = m.captured(2).toUInt(&ok, 16);
        if (ok)
            versions[m.captured(1)] = value;
    }
    return versions;
}

bool firmwareVersionsMatch(const QString& a, const QString& b)
{
    const auto wanted = parseFirmwareVersion(a);
    if (wanted.empty())
        return a == b;
    const auto present = parseFirmwareVersion(b);
    for (const auto& [key, value] : wanted) {
        const auto found = present.find(key);
        if (found == present.end() || found->second != value)
            return false;
    }
    return true;
}

} // namespace Zanthic
} // namespace TWG
