// A plug-in whose initialise refuses, before creating anything.
#include "kit/framework/VantorelPlugin.h"

#include <QCoreApplication>

class RefusingPlugin : public QObject, public VantorelPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.RefusingPlugin")
    Q_INTERFACES(VantorelPlugin)
public:
    bool initialise(QDir, QWidget*) override
    {
        qApp->setProperty("binding.refusing.calls", qApp->property("binding.refusing.calls").toInt() + 1);
        return false;
    }
    const QVector<Family*>& families() override { return families_; }

private:
    QVector<Family*> families_;
};

#include "RefusingPlugin.moc"
