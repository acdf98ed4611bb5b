#pragma once

#include <QLoggingCategory>

namespace platform {
Q_DECLARE_LOGGING_CATEGORY(lcUsbBackend)
} // namespace platform
