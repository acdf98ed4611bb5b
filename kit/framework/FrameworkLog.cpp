#include "kit/framework/FrameworkLog.h"

Q_LOGGING_CATEGORY(lcKitFramework, "twg.kit.framework")
