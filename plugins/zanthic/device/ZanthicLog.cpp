#include "plugins/zanthic/device/ZanthicLog.h"

namespace TWG {
namespace Zanthic {

Q_LOGGING_CATEGORY(lcZanthic, "twg.zanthic")

} // namespace Zanthic
} // namespace TWG
