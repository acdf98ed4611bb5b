#pragma once

#include <QLoggingCategory>

namespace TWG {
namespace Zanthic {

Q_DECLARE_LOGGING_CATEGORY(lcZanthic)

} // namespace Zanthic
} // namespace TWG
