// A Qt plug-in that lacks the host's interface.
#include <QObject>
#include <QtPlugin>

class NoInterfacePlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.NoInterfacePlugin")
};

#include "NoInterfacePlugin.moc"
