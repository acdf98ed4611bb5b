#pragma once

#include "kit/framework/VantorelPlugin.h"

#include <QObject>
#include <QVector>

// The Zanthic converters' plug-in: one family, whose USB manager finds the devices.
class ZanthicConvertersPlugin : public QObject, public VantorelPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.ZanthicConvertersPlugin" FILE "ZanthicConvertersPlugin.json")
    Q_INTERFACES(VantorelPlugin)
public:
    ZanthicConvertersPlugin();

    bool initialise(QDir pluginDir, QWidget* hostWindow) override;
    const QVector<Family*>& families() override { return families_; }

private:
    // The host holds the families to the end of the run; the plug-in never deletes them.
    QVector<Family*> families_;
};
