// Both plug-ins in one process, as the host binds them: each on its own copy of the kit, so
// each keeps the accent colour its family was given and its own dialog classes.

#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"
#include "kit/framework/VisibleDevice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPluginLoader>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

Q_DECLARE_METATYPE(VisibleDevice*)

namespace {

// Every style sheet of the widget and its descendants, for the colours they name.
QString styleSheetsOf(QWidget* root)
{
    QString all = root->styleSheet();
    for (QWidget* w : root->findChildren<QWidget*>())
        all += w->styleSheet();
    return all;
}

bool names(const QString& sheets, const QColor& c)
{
    return sheets.contains(QStringLiteral("#%1%2%3")
                               .arg(c.red(), 2, 16, QLatin1Char('0'))
                               .arg(c.green(), 2, 16, QLatin1Char('0'))
                               .arg(c.blue(), 2, 16, QLatin1Char('0'))) ||
           sheets.contains(QStringLiteral("rgba(%1, %2, %3,").arg(c.red()).arg(c.green()).arg(c.blue()));
}

QList<QWidget*> widgetsOfClass(QWidget* root, const char* className)
{
    QList<QWidget*> out;
    for (QWidget* w : root->findChildren<QWidget*>())
        if (qstrcmp(w->metaObject()->className(), className) == 0)
            out.append(w);
    return out;
}

struct Bound {
    explicit Bound(const QString& library) : loader(library) {}
    QPluginLoader loader;
    Family* family = nullptr;
    std::unique_ptr<QSignalSpy> arrived;
};

TEST(BothPlugIns, EachKeepsItsOwnAccentColourAndItsOwnDialogClasses)
{
    // The process's one platform library reads the scenario when detection starts.
    ASSERT_TRUE(qputenv("TWG_USB_SIM", QByteArray(BOTH_SIM_SCENARIO)));
    qRegisterMetaType<VisibleDevice*>();
    QTemporaryDir root;
    QWidget host;
    host.resize(780, 710);
    host.show();

    Bound ostrel(QStringLiteral(OSTREL_PLUGIN_PATH));
    Bound zanthic(QStringLiteral(ZANTHIC_PLUGIN_PATH));
    const QColor ostrelAccent(0xc0, 0x10, 0x20);
    const QColor zanthicAccent(0x20, 0x40, 0xe0);
    for (auto [bound, accent] : {std::make_pair(&ostrel, ostrelAccent), std::make_pair(&zanthic, zanthicAccent)}) {
        QObject* instance = bound->loader.instance();
        ASSERT_NE(instance, nullptr) << bound->loader.errorString().toStdString();
        auto* plugin = static_cast<VantorelPlugin*>(instance->qt_metacast(VantorelPlugin_iid));
        ASSERT_NE(plugin, nullptr);
        const QString folder = root.filePath(QFileInfo(bound->loader.fileName()).baseName());
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Resources")));
        ASSERT_TRUE(plugin->initialise(QDir(folder), &host));
        ASSERT_EQ(plugin->families().size(), 1);
        bound->family = plugin->families().first();
        bound->family->setAccentColour(accent);
        bound->arrived = std::make_unique<QSignalSpy>(bound->family, SIGNAL(deviceArrived(VisibleDevice*)));
    }
    ostrel.family->startDeviceDetection();
    zanthic.family->startDeviceDetection();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ostrel.arrived->isEmpty() && !zanthic.arrived->isEmpty(); }, 20000));

    // Each card is drawn in its own family's accent.
    ostrel.family->showDevice(ostrel.arrived->first().first().value<VisibleDevice*>());
    zanthic.family->showDevice(zanthic.arrived->first().first().value<VisibleDevice*>());
    const QList<QWidget*> classicCards = widgetsOfClass(&host, "ConverterProductCard");
    const QList<QWidget*> zanthicCards = widgetsOfClass(&host, "TWG::Zanthic::D2ProductCard");
    ASSERT_EQ(classicCards.size(), 1);
    ASSERT_EQ(zanthicCards.size(), 1);
    const QString zanthicCard = styleSheetsOf(zanthicCards.first());
    EXPECT_TRUE(names(zanthicCard, zanthicAccent));
    EXPECT_FALSE(names(zanthicCard, ostrelAccent));

    // The Zanthic card's connection-lost dialog and update dialog are the plug-in's own.
    const QList<QWidget*> zanthicLost = widgetsOfClass(&host, "TWG::Zanthic::ConnectionLostDialog");
    ASSERT_EQ(zanthicLost.size(), 1);
    EXPECT_TRUE(names(styleSheetsOf(zanthicLost.first()), zanthicAccent));
    EXPECT_TRUE(widgetsOfClass(&host, "ConnectionLostDialog").isEmpty());

    zanthic.family->updateFirmware(zanthic.arrived->first().first().value<VisibleDevice*>());
    const QList<QWidget*> zanthicDialogs = widgetsOfClass(&host, "TWG::Zanthic::FirmwareUpdateDialog");
    ASSERT_EQ(zanthicDialogs.size(), 1);
    EXPECT_TRUE(widgetsOfClass(&host, "FirmwareUpdateDialog").isEmpty());
    EXPECT_TRUE(names(styleSheetsOf(zanthicDialogs.first()), zanthicAccent));
    EXPECT_FALSE(names(styleSheetsOf(zanthicDialogs.first()), ostrelAccent));

    // The classic card reaches its settings page, drawn in the classic accent.
    QPointer<QWidget> classicCard = classicCards.first();
    ASSERT_TRUE(QTest::qWaitFor([&] { return classicCard && names(styleSheetsOf(classicCard), ostrelAccent); }, 10000));
    EXPECT_FALSE(names(styleSheetsOf(classicCard), zanthicAccent));

    // The host window's work: let the updates end, then the families go.
    for (Family* family : {ostrel.family, zanthic.family}) {
        family->shutdown();
        delete family;
    }
    qunsetenv("TWG_USB_SIM");
}

} // namespace
