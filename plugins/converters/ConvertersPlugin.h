#pragma once

#include "kit/framework/VantorelPlugin.h"

#include <QObject>
#include <QVector>

// The classic converters' plug-in: one family, which lives to the end of the run.
class ConvertersPlugin : public QObject, public VantorelPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.ConvertersPlugin" FILE "Ostrel.json")
    Q_INTERFACES(VantorelPlugin)
public:
    ConvertersPlugin();

    bool initialise(QDir pluginDir, QWidget* hostWindow) override;
    const QVector<Family*>& families() override { return families_; }

private:
    // The host holds the families to the end of the run; the plug-in never deletes them.
    QVector<Family*> families_;
};
