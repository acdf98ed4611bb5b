#pragma once

#include <QString>

#include <cstdint>
#include <map>

namespace TWG {
namespace Zanthic {

// One row of the family's model table; the plug-in fills it, this layer only reads it.
struct ModelInfo {
    QString fullName;
    QString modelName;
    QString image;
    QString thumbnail;
    std::uint16_t hardwareRevision = 0x0100; // the highest supported, major byte
    QString releaseVersion;
    QString firmwareVersion; // lower case
    QString firmwareFile;
    std::int64_t bootloaderWaitSeconds = 1;
    std::int64_t settleWaitSeconds = 0;
    std::map<QString, QString> extra;
};

// Ordered by USB product id.
using ModelTable = std::map<std::uint16_t, ModelInfo>;

} // namespace Zanthic
} // namespace TWG
