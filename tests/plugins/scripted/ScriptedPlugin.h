#pragma once

#include "kit/framework/VantorelPlugin.h"

#include <QObject>
#include <QVector>

// A plug-in for tests and pictures: its devices come from a scenario, not from USB.
class ScriptedPlugin : public QObject, public VantorelPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.ScriptedPlugin" FILE "ScriptedPlugin.json")
    Q_INTERFACES(VantorelPlugin)
public:
    ScriptedPlugin();

    bool initialise(QDir pluginDir, QWidget* hostWindow) override;
    const QVector<Family*>& families() override { return families_; }

private:
    QVector<Family*> families_;
};
