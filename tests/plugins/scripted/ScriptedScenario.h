#pragma once

#include <QString>
#include <QVector>

// One scripted device: what it shows and how its firmware update goes.
struct ScriptedDeviceSpec {
    QString name;
    QString displayName;
    QString softwareVersion;
    QString availableVersion;
    bool firmwareCurrent = true;
    bool showsSoftwareStatus = false;
    bool updateSucceeds = true;
    int updateSteps = 10;
    int updateStepMs = 60;
    // The device goes away this long after it arrived; negative: it stays.
    int unplugAfterMs = -1;
};

// The devices named by TWG_SCRIPTED_DEVICES: "none", "one", "three", "update", or the path of a
// JSON file {"devices": [{"name": ..., "displayName": ..., "firmwareCurrent": ..., ...}]}
// (further keys: "version", "availableVersion", "softwareStatus", "updateSucceeds",
// "updateSteps", "updateStepMs", "unplugAfterMs").
// Unset means "one".
QVector<ScriptedDeviceSpec> scriptedScenario(const QString& scenario);
QVector<ScriptedDeviceSpec> scriptedScenarioFromEnvironment();
