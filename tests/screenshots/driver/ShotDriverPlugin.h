#pragma once

#include "kit/framework/VantorelPlugin.h"

#include <QObject>
#include <QVector>

// A test-only plug-in that drives the real program on the simulated bus for pictures: it adds
// no family, opens what TWG_SHOT names and saves the window (see ShotDriver). Without
// TWG_SHOT_PATH it declines, and the host unloads it.
class ShotDriverPlugin : public QObject, public VantorelPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.ShotDriverPlugin" FILE "ShotDriverPlugin.json")
    Q_INTERFACES(VantorelPlugin)
public:
    bool initialise(QDir pluginDir, QWidget* hostWindow) override;
    const QVector<Family*>& families() override { return families_; }

private:
    QVector<Family*> families_;
};
