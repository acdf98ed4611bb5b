#include "plugins/zanthic/ui/InfoText.h"

#include <algorithm>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kLabelColumn = 20;
} // namespace

QString infoLine(const QString& label, const QString& value)
{
    return QStringLiteral("\t%1:%2%3\n")
        .arg(label, QString(std::max(0, kLabelColumn - int(label.size())), QLatin1Char(' ')), value);
}

QString hex4(std::uint32_t value) { return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0')); }

QString connectionTypeText(int type)
{
    switch (type) {
    case 0: return QStringLiteral("None");
    case 1: return QStringLiteral("USB");
    case 2: return QStringLiteral("Ethernet");
    default: return QStringLiteral("?");
    }
}

} // namespace Zanthic
} // namespace TWG
