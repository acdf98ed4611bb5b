#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

using namespace platform;

namespace {

std::shared_ptr<SimDevice> build(const char* json, QString* error)
{
    const QJsonObject entry = QJsonDocument::fromJson(json).object();
    const SimModelFactory factory = SimModelRegistry::find(entry.value(QStringLiteral("model")).toString().toStdString());
    return factory ? factory(entry, error) : nullptr;
}

} // namespace

TEST(SimZanthicModels, Stm32ScenarioKnobs)
{
    QString error;
    auto device = std::dynamic_pointer_cast<SimStm32Application>(build(
        R"({"model": "stm32-app", "product": "0xBE89", "release": "0x0102", "serial": "Q1", "bootMode": 10,
            "answersIdentity": false, "functionalLength": 9, "properties": {"DeviceName": "Desk", "ZephId": 4},
            "lutPieceMs": 80})",
        &error));
    ASSERT_TRUE(device) << error.toStdString();
    const SimStm32State& s = *device->state();
    EXPECT_EQ(s.productId, 0xBE89);
    EXPECT_EQ(device->descriptors().device.bcdDevice, 0x0102);
    EXPECT_EQ(s.serial, "Q1");
    EXPECT_EQ(s.bootMode, 10);
    EXPECT_FALSE(s.answersIdentity);
    EXPECT_EQ(s.text("DeviceName"), "Desk");
    EXPECT_EQ(s.lutPieceMs, 80);
    const auto& iface = device->descriptors().configurations[0].interfaces.at(0);
    EXPECT_EQ(iface.interfaceSubClass, 3);
    ASSERT_EQ(iface.classDescriptors.size(), 1u);
    EXPECT_EQ(iface.classDescriptors[0].size(), 9u);
    EXPECT_EQ(iface.classDescriptors[0][1], 0x21);
    EXPECT_EQ(iface.classDescriptors[0][2] & 1, 0);

    auto bare = std::dynamic_pointer_cast<SimStm32Application>(
        build(R"({"model": "stm32-app", "controlInterface": false})", &error));
    ASSERT_TRUE(bare);
    // Only the run-time DFU interface is left.
    ASSERT_EQ(bare->descriptors().configurations[0].interfaces.size(), 1u);
    EXPECT_EQ(bare->descriptors().configurations[0].interfaces[0].interfaceClass, 0xFE);
    EXPECT_FALSE(build(R"({"model": "stm32-app", "properties": {"ZephId": 300}})", &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    // A piece slower than the host waits for one request is no scenario of a working device.
    EXPECT_FALSE(build(R"({"model": "stm32-app", "lutPieceMs": 6000})", &error));
    EXPECT_EQ(error, QStringLiteral("stm32: bad \"lutPieceMs\""));
}

TEST(SimZanthicModels, XmegaMapIsChosenByTheScenario)
{
    QString error;
    auto zanthic = std::dynamic_pointer_cast<SimXmegaDevice>(
        build(R"({"model": "xmega-app", "product": "0xBE90", "fpgaVersion": "0x1A", "resetDoneOnRead": 0})", &error));
    ASSERT_TRUE(zanthic) << error.toStdString();
    EXPECT_EQ(zanthic->state()->registerMap, SimXmegaState::RegisterMap::Zanthic);
    EXPECT_EQ(zanthic->state()->resetDoneOnRead, 0);
    auto classic = std::dynamic_pointer_cast<SimXmegaDevice>(build(R"({"model": "xmega-app"})", &error));
    ASSERT_TRUE(classic);
    EXPECT_EQ(classic->state()->registerMap, SimXmegaState::RegisterMap::Classic);
    EXPECT_FALSE(build(R"({"model": "xmega-app", "registerMap": "other"})", &error));
}

TEST(SimZanthicModels, ZanthicRegistersArePlainBytesButVersionAndReset)
{
    SimXmegaState s;
    s.registerMap = SimXmegaState::RegisterMap::Zanthic;
    s.fpgaVersion = 0x11223344;
    s.fpgaZeroReads = 1;
    s.resetDoneOnRead = 2;
    std::vector<std::uint8_t> v(4);
    s.readMemory(0, v);
    EXPECT_EQ(v, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    s.readMemory(0, v);
    EXPECT_EQ(v, (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11}));
    s.writeRegister(52, 1);
    s.writeRegister(512, 9);
    EXPECT_EQ(s.readRegister(52), 1) << "no classic downconversion status";
    EXPECT_EQ(s.readRegister(512), 9) << "no classic LUT name mirror";
    s.writeRegister(256, 1);
    s.writeRegister(10, 0x42);
    std::vector<std::uint8_t> r(1);
    s.readMemory(10, r);
    EXPECT_EQ(r[0], 0x42);
    s.readMemory(10, r);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(s.readRegister(256), 0) << "settings back to the factory's";
}
