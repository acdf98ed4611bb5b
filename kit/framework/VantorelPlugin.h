#pragma once

#include <QDir>
#include <QVector>
#include <QtPlugin>

class Family;
class QWidget;

// Implemented once by every plug-in library, as a second base of its plug-in QObject.
class VantorelPlugin {
public:
    virtual ~VantorelPlugin() {}
    // Return false only before creating anything: the host unloads the library then.
    virtual bool initialise(QDir pluginDir, QWidget* hostWindow) = 0;
    virtual const QVector<Family*>& families() = 0;
};

#define VantorelPlugin_iid "com.tarnwrightworks.Vantorel.VantorelPlugin/1.0"
Q_DECLARE_INTERFACE(VantorelPlugin, VantorelPlugin_iid)
