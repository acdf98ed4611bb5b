#pragma once

#include <QString>

#include <cstdint>

namespace TWG {
namespace Zanthic {

// The lines of the device information texts, labels padded to one column.
QString infoLine(const QString& label, const QString& value);
QString hex4(std::uint32_t value);
QString connectionTypeText(int type);

} // namespace Zanthic
} // namespace TWG
