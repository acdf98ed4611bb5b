#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/DfuUpgradeTask.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"
#include "plugins/zanthic/device/XmegaConnectedDevice.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "plugins/zanthic/device/XmegaUsbUpgradeTask.h"
#include "plugins/zanthic/device/ZanthicFactories.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "protocol/ZanthicIds.h"
#include "tests/plugins/zanthic/ZanthicSimFixture.h"
#include "tests/plugins/zanthic/ui/ZanthicUiFakes.h"
#include "tests/support/PluginInstall.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QWidget>

namespace {

using namespace zanthicui;

TEST(ZanthicConvertersPlugin, LoadsAndHandsOverOneFamilyWithOrWithoutResources)
{
    for (const bool withResources : {true, false}) {
        QTemporaryDir root;
        const QString library = installPlugin(root, QStringLiteral("ZanthicConvertersPlugin"),
                                              QStringLiteral(ZANTHIC_PLUGIN_PATH), withResources);
        QWidget host;
        Family* family = loadPluginFamily(library, QStringLiteral("com.tarnwrightworks.Vantorel.ZanthicConvertersPlugin"),
                                          QStringLiteral("ZanthicConvertersPlugin"), host);
        ASSERT_NE(family, nullptr) << withResources;
        EXPECT_EQ(family->familyName(), QStringLiteral("ZanthicConverters"));
        EXPECT_EQ(family->parent(), &host);
        EXPECT_FALSE(family->usesBonjour());
        const QString report = family->buildInformation();
        EXPECT_TRUE(report.startsWith(QLatin1String("** Plugin Build information\n\n\tTime:                ")));
        EXPECT_TRUE(report.contains(QLatin1String("\tRC Tag:              7.6a44\n"))) << report.toStdString();
        EXPECT_TRUE(report.contains(QLatin1String("USB Supported Devices:\n\n\tZanthic Converter Z1 Bridge\n")));
        delete family; // the host window's job; the library stays loaded
    }
}

// Built once the firmware folder is set: the XMEGA rows read their versions from the packages.
TEST(ZanthicModelTable, EightRowsInProductOrderWithTheXmegaVersionsOfThePackages)
{
    FirmwareFolder folder;
    folder.writePackage(0xBE90, true, 0x1a, 0x2);
    const ModelTable& table = modelTable();
    std::vector<std::uint16_t> ids;
    for (const auto& row : table)
        ids.push_back(row.first);
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{0xBE6F, 0xBE70, 0xBE77, 0xBE78, 0xBE79, 0xBE89, 0xBE90, 0xBE91}));
    for (const auto& [id, info] : table) {
        EXPECT_EQ(info.fullName, QStringLiteral("Zanthic Converter ") + info.modelName) << id;
        EXPECT_TRUE(info.image.startsWith(QLatin1String(":/ZanthicConverters/"))) << id;
        EXPECT_EQ(info.thumbnail, info.image + QStringLiteral("Thumb"));
        EXPECT_EQ(info.hardwareRevision, 0x0100);
        EXPECT_EQ(info.releaseVersion, QStringLiteral("7.6"));
        EXPECT_EQ(info.firmwareFile, QStringLiteral("data-%1.bin").arg(id, 4, 16, QLatin1Char('0')));
        EXPECT_EQ(info.bootloaderWaitSeconds, 1);
        EXPECT_EQ(info.settleWaitSeconds, ids::isXmegaProduct(id) ? 5 : 70) << id;
        EXPECT_EQ(info.firmwareVersion, info.firmwareVersion.toLower());
    }
    EXPECT_EQ(table.at(0xBE90).modelName, table.at(0xBE6F).modelName);
    EXPECT_EQ(table.at(0xBE90).image, table.at(0xBE6F).image);
    EXPECT_EQ(table.at(0xBE91).image, table.at(0xBE70).image);
    EXPECT_EQ(table.at(0xBE90).firmwareVersion, QStringLiteral("fpga:0000001a xmega:00000002"));
    EXPECT_EQ(table.at(0xBE91).firmwareVersion, QStringLiteral("fpga:00000000 xmega:00000000")) << "no package";
    // The STM32 rows carry the build ids the synthetic packages' images (and so an updated
    // simulated device) name.
    for (const std::uint16_t id : ids::kStm32ProductIds)
        EXPECT_EQ(table.at(id).firmwareVersion, QString::fromLatin1(firmwareids::stm32BuildId(id))) << std::hex << id;
    EXPECT_EQ(formatHex8(0x1a), QStringLiteral("0000001a"));
    EXPECT_EQ(formatHex8(0xFFFFFFFF), QStringLiteral("ffffffff"));
}

class ZanthicFactories : public zanthictest::ZanthicSimFixture {};

TEST_F(ZanthicFactories, EachProductGetsItsClassesAndAnUnknownOneNone)
{
    auto manager = std::make_shared<UsbConnectionManager>(nullptr, modelTable(), &createConnectedDevice,
                                                          &createFirmwareUpdater, &createPotentialDevice, nullptr);
    zanthictest::FakeOwner owner;
    struct Case {
        std::uint16_t product;
        bool xmega;
        bool listed;
    };
    const Case cases[] = {{0xBE89, false, true}, {0xBE6F, false, true}, {0xBE90, true, true}, {0xBE50, false, false}};
    for (const Case& c : cases) {
        const std::string path = c.xmega ? attachXmega(xmegaState(c.product)) : attachStm32(stm32State(c.product));
        zanthictest::DeviceRef usb{open(path)};
        ASSERT_NE(usb.device, nullptr);
        auto potential = createPotentialDevice(manager, usb.device);
        if (!c.listed) {
            EXPECT_EQ(potential, nullptr) << std::hex << c.product;
            auto stand_in = std::make_shared<UsbPotentialDevice>(manager, usb.device);
            EXPECT_EQ(createConnectedDevice(&owner, stand_in), nullptr);
            EXPECT_TRUE(createFirmwareUpdater(manager, stand_in).isNull());
            continue;
        }
        ASSERT_NE(potential, nullptr) << std::hex << c.product;
        EXPECT_EQ(dynamic_cast<XmegaUsbPotentialDevice*>(potential.get()) != nullptr, c.xmega);
        auto connected = createConnectedDevice(&owner, potential);
        ASSERT_NE(connected, nullptr);
        const QSharedPointer<DeviceFirmwareUpdater> updater = createFirmwareUpdater(manager, potential);
        if (c.xmega) {
            EXPECT_NE(qobject_cast<XmegaUsbUpgradeTask*>(updater.data()), nullptr) << std::hex << c.product;
        } else {
            EXPECT_NE(qobject_cast<DfuUpgradeTask*>(updater.data()), nullptr) << std::hex << c.product;
        }
        if (c.xmega)
            EXPECT_NE(dynamic_cast<XmegaZanthicConvertersConnectedDevice*>(connected.get()), nullptr);
        else
            EXPECT_NE(dynamic_cast<Stm32ZanthicConvertersConnectedDevice*>(connected.get()), nullptr);
    }
}

TEST_F(ZanthicFactories, APotentialDeviceThatCannotBeReadIsLoggedAndLeftOut)
{
    auto manager = std::make_shared<UsbConnectionManager>(nullptr, modelTable(), &createConnectedDevice,
                                                          &createFirmwareUpdater, &createPotentialDevice, nullptr);
    // An XMEGA product id on a device without the XMEGA's vendor interface.
    zanthictest::DeviceRef usb{open(attachStm32(stm32State(0xBE90)))};
    ASSERT_NE(usb.device, nullptr);
    zanthictest::LogCapture log;
    EXPECT_EQ(createPotentialDevice(manager, usb.device), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("Unable to connect to create potential device: "))) << log.lines().join('\n').toStdString();
}

} // namespace
