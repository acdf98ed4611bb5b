#pragma once

#include "platform/sim/models/fx2/SimFx2Running.h"

#include <QJsonObject>
#include <QString>

namespace platform {

// The running FX2 of a scenario entry: the generic device fields, "version", "powered",
// "readyAfterProbes", "eraseMs", "eraseNeverDone", "restartMs", "versionAddress", and "at90"
// (true, or {"signature": [3 numbers], "busyPolls", "busyForever", "erasedReads"}).
std::shared_ptr<SimFx2Running> simFx2RunningFromJson(const QJsonObject& entry, QString* error);

} // namespace platform
