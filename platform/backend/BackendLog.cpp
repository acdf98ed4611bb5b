#include "platform/backend/BackendLog.h"

namespace platform {
Q_LOGGING_CATEGORY(lcUsbBackend, "twg.platform.usb")
} // namespace platform
