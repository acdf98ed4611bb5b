#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32Channel.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "protocol/Stm32Protocol.h"

#include "tests/plugins/zanthic/ZanthicSimFixture.h"
#include "tests/support/Bytes.h"

#include <stdexcept>

using namespace zanthictest;
using namespace TWG::Zanthic;
using platform::SimFault;
using platform::SimFaultAction;

namespace {

class Stm32ProtocolTest : public ZanthicSimFixture {};

} // namespace

TEST_F(Stm32ProtocolTest, ChunkedWritesGoInPiecesEndedByAShortOneWithTheirProgress)
{
    struct Row {
        std::uint32_t length;
        std::vector<std::uint32_t> pieces;
        std::vector<int> progress;
    };
    const Row rows[] = {
        {0, {0}, {0, 100}},
        {1, {1}, {0, 100, 100}},
        {4095, {4095}, {0, 100, 100}},
        {4096, {4096, 0}, {0, 100, 100}},
        {4097, {4096, 1}, {0, 99, 100, 100}},
        {8192, {4096, 4096, 0}, {0, 50, 100, 100}},
    };
    auto state = stm32State();
    DeviceRef usb{open(attachStm32(state))};
    ASSERT_TRUE(usb.device);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        bus.clearTranscript();
        std::vector<int> progress;
        Stm32PropertyChannel channel(usb.device, [&](int p) { progress.push_back(p); });
        const auto value = pattern(row.length);
        channel.setSettingsProperty(stm32::keys::kLutData, value.data(), row.length);

        std::vector<std::uint32_t> pieces;
        for (const SimRequest& r : controls(stm32::kSetValue, stm32::kVendorDeviceOut))
            pieces.push_back(r.length);
        EXPECT_EQ(pieces, row.pieces);
        // The key's own transfer (a short one) comes first.
        std::vector<int> expected = {0, 100, 100};
        expected.insert(expected.end(), row.progress.begin(), row.progress.end());
        EXPECT_EQ(progress, expected);
        EXPECT_EQ(state->properties[stm32::keys::kLutData], value) << "reassembled on the device";
        EXPECT_TRUE(state->violations.empty());
    }
}

TEST_F(Stm32ProtocolTest, ASlowSimulatedDeviceTakesItsTimeForEachLutPieceOnly)
{
    auto state = stm32State();
    state->lutPieceMs = 80;
    DeviceRef usb{open(attachStm32(state))};
    ASSERT_TRUE(usb.device);
    Stm32PropertyChannel channel(usb.device, {});
    const auto lut = pattern(8192);
    const std::string name = "Day Exterior";

    const auto before = clock.now();
    channel.setSettingsProperty(stm32::keys::kLutName, name.data(), static_cast<std::uint32_t>(name.size()));
    EXPECT_EQ(clock.elapsedMs(before), 0) << "only the LUT's data is slow";
    channel.setSettingsProperty(stm32::keys::kLutData, lut.data(), static_cast<std::uint32_t>(lut.size()));
    EXPECT_EQ(clock.elapsedMs(before), 3 * 80) << "two full pieces and the empty one that ends them";
    EXPECT_EQ(state->properties[stm32::keys::kLutData], lut);
}

TEST_F(Stm32ProtocolTest, PropertyRequestsCarryTheirSetupFields)
{
    auto state = stm32State();
    DeviceRef usb{open(attachStm32(state))};
    Stm32PropertyChannel channel(usb.device, {});
    std::uint8_t value = 9;
    state->properties[stm32::keys::kZephId] = {42};
    channel.getSettingsProperty(stm32::keys::kZephId, &value, 1);
    EXPECT_EQ(value, 42);
    const auto t = allControls();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].setup.bmRequestType, 0xC0);
    EXPECT_EQ(t[0].setup.bRequest, 10);
    EXPECT_EQ(t[0].setup.wLength, 2);
    const std::uint16_t handle = static_cast<std::uint16_t>(t[0].data[0] | (t[0].data[1] << 8));
    EXPECT_EQ(t[1].setup.bmRequestType, 0x40);
    EXPECT_EQ(t[1].setup.bRequest, 11);
    EXPECT_EQ(t[1].setup.wValue, handle);
    EXPECT_EQ(std::string(t[1].data.begin(), t[1].data.end()), "ZephId") << "no terminating NUL";
    EXPECT_EQ(t[2].setup.bmRequestType, 0xC0);
    EXPECT_EQ(t[2].setup.bRequest, 12);
    EXPECT_EQ(t[2].setup.wValue, handle);
    EXPECT_EQ(t[2].setup.wLength, 1);
    for (const SimRequest& r : t)
        EXPECT_EQ(r.setup.wIndex, 0);

    bus.clearTranscript();
    channel.factoryReset();
    const auto reset = allControls();
    ASSERT_EQ(reset.size(), 1u);
    EXPECT_EQ(reset[0].setup.bmRequestType, 0x40);
    EXPECT_EQ(reset[0].setup.bRequest, 20);
    EXPECT_EQ(reset[0].setup.wLength, 0);
}

TEST_F(Stm32ProtocolTest, AFailedRequestThrowsItsNumberAndTheSettingIsLoggedAndKept)
{
    auto state = stm32State(0xBE89);
    const std::string path = attachStm32(state);
    DeviceRef usb{open(path)};
    Stm32PropertyChannel channel(usb.device, {});
    for (int request : {10, 12}) {
        SimFault f;
        f.bRequest = request;
        f.bmRequestType = 0xC0;
        bus.addFault(f);
        std::uint8_t v = 0;
        try {
            channel.getSettingsProperty(stm32::keys::kZephId, &v, 1);
            ADD_FAILURE() << "no error for request " << request;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Failed to send get request " + std::to_string(request));
        }
    }
    for (int request : {11, 13, 20}) {
        SimFault f;
        f.bRequest = request;
        f.bmRequestType = 0x40;
        bus.addFault(f);
        std::uint8_t v = 1;
        try {
            if (request == 20)
                channel.factoryReset();
            else
                channel.setSettingsProperty(stm32::keys::kZephId, &v, 1);
            ADD_FAILURE() << "no error for request " << request;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Failed to send set request " + std::to_string(request));
        }
    }

    // Through the connected device: logged, the value kept at 0, the delegates still told.
    auto potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
    FakeOwner owner;
    auto device = makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(&owner, potential);
    RecordingDelegate delegate;
    device->addDelegate(&delegate);
    LogCapture log;
    state->properties[stm32::keys::kZephId] = {7};
    SimFault stall;
    stall.bRequest = 12;
    bus.addFault(stall);
    EXPECT_EQ(device->getZephId(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("getSettingsProperty failed: Failed to send get request 12")))
        << log.lines().join('\n').toStdString();
    SimFault stall13;
    stall13.bRequest = 13;
    bus.addFault(stall13);
    device->setZephId(5);
    EXPECT_TRUE(log.contains(QStringLiteral("setSettingsProperty failed: Failed to send set request 13")));
    EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("zephIdChanged 5")});
    SimFault stall20;
    stall20.bRequest = 20;
    bus.addFault(stall20);
    device->factoryReset();
    EXPECT_TRUE(log.contains(QStringLiteral("factoryReset failed: Failed to send set request 20")));
    EXPECT_EQ(state->factoryResets, 0);
}

TEST_F(Stm32ProtocolTest, WithoutAnAnsweringControlInterfaceTheIdentityIsTheDefaultAndNothingIsAsked)
{
    struct Row {
        const char* name;
        std::function<void(platform::SimStm32State&)> shape;
        bool opensInterface;
    };
    const Row rows[] = {
        {"no control interface", [](platform::SimStm32State& s) { s.controlInterface = false; }, false},
        {"attribute bit 0 clear", [](platform::SimStm32State& s) { s.answersIdentity = false; }, true},
        {"functional descriptor of 9 bytes", [](platform::SimStm32State& s) { s.functionalLength = 9; }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto state = stm32State();
        row.shape(*state);
        DeviceRef usb{open(attachStm32(state))};
        UsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), usb.device);
        bus.clearTranscript();
        EXPECT_EQ(device.deviceName(), QStringLiteral("Tarnwright Device"));
        EXPECT_EQ(device.buildId(), QString());
        EXPECT_EQ(device.releaseVersion(), QString());
        EXPECT_EQ(device.readBootMode(), 255);
        for (const SimRequest& r : allControls())
            ADD_FAILURE() << "asked request " << int(r.setup.bRequest);
    }
    // And one that answers, for contrast.
    auto state = stm32State();
    state->setText("DeviceName", "Studio B");
    state->setText("BuildId", "0000B6F1");
    state->bootMode = 11;
    DeviceRef usb{open(attachStm32(state))};
    UsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), usb.device);
    EXPECT_EQ(device.deviceName(), QStringLiteral("Studio B"));
    EXPECT_EQ(device.buildId(), QStringLiteral("0000b6f1"));
    EXPECT_EQ(device.releaseVersion(), QStringLiteral("7.6"));
    EXPECT_EQ(device.readBootMode(), 11);
    ASSERT_FALSE(controls(0, 0xA1).empty());
    EXPECT_EQ(controls(0, 0xA1)[0].setup.wIndex, state->controlInterfaceNumber);
    state->setText("DeviceName", "");
    EXPECT_EQ(device.deviceName(), QStringLiteral("Studio B")) << "as read when the device was made";
    device.readIdentity();
    EXPECT_EQ(device.deviceName(), QStringLiteral("Tarnwright Device"));
}

TEST_F(Stm32ProtocolTest, TheSerialIsTheLowerCasedStringDescriptorOrEmpty)
{
    auto utf16 = [](std::uint8_t bLength, std::uint8_t type, const std::string& text) {
        std::vector<std::uint8_t> d = {bLength, type};
        for (char c : text) {
            d.push_back(static_cast<std::uint8_t>(c));
            d.push_back(0);
        }
        return d;
    };
    struct Row {
        const char* name;
        std::optional<std::vector<std::uint8_t>> descriptor;
        QString serial;
        bool failed;
    };
    const Row rows[] = {
        {"good", std::nullopt, QStringLiteral("5a4e0001abcd"), false},
        {"bLength 0", utf16(0, 3, "AB12"), QString(), true},
        {"bLength 1", utf16(1, 3, "AB12"), QString(), true},
        {"bLength 2: empty text", utf16(2, 3, "AB12"), QString(), false},
        {"wrong type", utf16(10, 2, "AB12"), QString(), true},
        {"odd bLength drops the half unit", utf16(9, 3, "AB12"), QStringLiteral("ab1"), false},
        {"bLength claims more than was sent", utf16(40, 3, "AB12"), QStringLiteral("ab12"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto state = stm32State();
        state->rawSerialDescriptor = row.descriptor;
        DeviceRef usb{open(attachStm32(state))};
        LogCapture log;
        UsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), usb.device);
        EXPECT_EQ(device.serial(), row.serial);
        EXPECT_EQ(log.contains(QStringLiteral("Unable to get Serial Number")), row.failed);
        const auto reads = controls(6, 0x80);
        ASSERT_FALSE(reads.empty());
        EXPECT_EQ(reads.back().setup.wValue, 0x0303);
        EXPECT_EQ(reads.back().setup.wIndex, 0x0409);
        EXPECT_EQ(reads.back().setup.wLength, 256);
    }
}
