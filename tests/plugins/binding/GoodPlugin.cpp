// A plug-in with two families, named "Good One" and "Good Two".
#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"

#include <QCoreApplication>
#include <QWidget>

namespace {

class NamedFamily : public Family {
public:
    NamedFamily(QObject* host, const QString& name) : Family(host), name_(name) {}
    QString familyName() override { return name_; }

private:
    QString name_;
};

} // namespace

class GoodPlugin : public QObject, public VantorelPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.tarnwrightworks.Vantorel.GoodPlugin")
    Q_INTERFACES(VantorelPlugin)
public:
    bool initialise(QDir pluginDir, QWidget* hostWindow) override
    {
        qApp->setProperty("binding.good.calls", qApp->property("binding.good.calls").toInt() + 1);
        qApp->setProperty("binding.good.dir", pluginDir.absolutePath());
        families_.append(new NamedFamily(hostWindow, QStringLiteral("Good One")));
        families_.append(new NamedFamily(hostWindow, QStringLiteral("Good Two")));
        return true;
    }
    const QVector<Family*>& families() override { return families_; }

private:
    QVector<Family*> families_;
};

#include "GoodPlugin.moc"
