#include "platform/sim/SimBackend.h"
#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/SimScenario.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace platform;

namespace {

class TaggedDevice : public SimDevice {
public:
    TaggedDevice(SimDescriptors d, QString tag)
        : SimDevice(std::move(d)), tag(std::move(tag))
    {
    }
    QString tag;
};

const bool registered = SimModelRegistry::add("tagged", [](const QJsonObject& entry, QString* error) {
    SimDescriptors d;
    if (!simDescriptorsFromJson(entry, &d, error))
        return std::shared_ptr<SimDevice>();
    return std::shared_ptr<SimDevice>(std::make_shared<TaggedDevice>(d, entry.value("tag").toString()));
});

TEST(SimScenario, BuildsGenericDevicesAndRegisteredModels)
{
    ASSERT_TRUE(registered);
    EXPECT_FALSE(SimModelRegistry::add("tagged", [](const QJsonObject&, QString*) { return nullptr; }));

    SimBackend bus;
    QString error;
    ASSERT_TRUE(loadSimScenario(R"({"devices": [
        {"vendor": "0x7C5D", "product": "0xBD86", "release": 256, "serial": "A1",
         "interfaces": [{"class": 255, "subclass": 255, "protocol": 255,
                         "endpoints": [{"address": "0x02", "type": "bulk", "maxPacket": 512},
                                       {"address": "0x81", "type": "interrupt", "maxPacket": 64, "interval": 4}]},
                        {"class": "0xFE", "subclass": 1, "protocol": 2}]},
        {"model": "tagged", "vendor": "0x04B4", "product": "0x8613", "tag": "fx"}]})",
                                bus, &error))
        << error.toStdString();
    const std::vector<UsbDeviceInfo> devices = bus.listDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].descriptor.idVendor, 0x7C5D);
    EXPECT_EQ(devices[0].descriptor.idProduct, 0xBD86);
    EXPECT_EQ(devices[0].descriptor.bcdDevice, 0x0100);
    std::shared_ptr<SimDevice> generic = bus.device(devices[0].path);
    ASSERT_NE(generic->descriptors().device.iSerialNumber, 0);
    EXPECT_EQ(generic->descriptors().strings.at(generic->descriptors().device.iSerialNumber), "A1");
    const SimConfiguration& c = generic->descriptors().configurations.at(0);
    ASSERT_EQ(c.interfaces.size(), 2u);
    EXPECT_EQ(c.interfaces[1].number, 1);
    EXPECT_EQ(c.interfaces[1].interfaceClass, 0xFE);
    ASSERT_EQ(c.interfaces[0].endpoints.size(), 2u);
    EXPECT_EQ(c.interfaces[0].endpoints[1].attributes, 3);
    EXPECT_EQ(c.interfaces[0].endpoints[1].interval, 4);

    auto* tagged = dynamic_cast<TaggedDevice*>(bus.device(devices[1].path).get());
    ASSERT_NE(tagged, nullptr);
    EXPECT_EQ(tagged->tag, "fx");
    EXPECT_EQ(tagged->descriptors().device.idProduct, 0x8613);
}

TEST(SimScenario, RefusesBadEntriesWithAReason)
{
    const struct {
        const char* json;
        const char* reason;
    } cases[] = {
        {"{", ""},
        {R"({"devices": 3})", "devices"},
        {R"({"devices": [{"model": "no-such-model"}]})", "no-such-model"},
        {R"({"devices": [{"vendor": "0x1FFFF"}]})", "vendor"},
        {R"({"devices": [{"vendor": -1}]})", "vendor"},
        // Numbers past any integer type, or with a fraction, are refused rather than converted.
        {R"({"devices": [{"vendor": 1e19}]})", "vendor"},
        {R"({"devices": [{"product": -1e300}]})", "product"},
        {R"({"devices": [{"release": 1.5}]})", "release"},
        {R"({"devices": [{"interfaces": [{"endpoints": [{"address": 1e30}]}]}]})", "address"},
        {R"({"devices": [{"model": "xmega-app", "versions": [1e19, 1]}]})", "versions"},
        {R"({"devices": [{"model": "fx2", "registers": {"10": 9.2e18}}]})", "registers"},
        {R"({"devices": [{"interfaces": [{"endpoints": [{"type": "bulk"}]}]}]})", "address"},
        {R"({"devices": [{"interfaces": [{"endpoints": [{"address": 1, "type": "iso"}]}]}]})", "iso"},
        {R"({"devices": [7]})", "object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        SimBackend bus;
        QString error;
        EXPECT_FALSE(loadSimScenario(c.json, bus, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_TRUE(bus.listDevices().empty());
    }
}

TEST(SimScenario, AFileThatCannotBeLoadedGivesAnEmptyBus)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("scenario.json");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(R"({"devices": [{"vendor": 1, "product": 2}]})");
    out.close();
    EXPECT_EQ(loadSimScenarioFile(file.toStdString())->listDevices().size(), 1u);
    EXPECT_TRUE(loadSimScenarioFile(dir.filePath("missing.json").toStdString())->listDevices().empty());
}

} // namespace
