#pragma once

#include "kit/framework/DeviceFirmwareUpdater.h"

// Stands in for the converters' firmware updater until it exists: it finds every converter's
// firmware current, so the card goes straight to the settings page.
class StandInFirmwareUpdater : public DeviceFirmwareUpdater {
    Q_OBJECT
public:
    explicit StandInFirmwareUpdater(QObject* parent = nullptr);

    bool firmwareIsCurrent() override;
    // Nothing to update, so it never fails.
    void startUpdate() override;
};
