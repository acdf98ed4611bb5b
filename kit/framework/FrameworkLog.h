#pragma once

#include <QLoggingCategory>

// Diagnostics of the device framework (cards, pages, firmware updates).
Q_DECLARE_LOGGING_CATEGORY(lcKitFramework)
