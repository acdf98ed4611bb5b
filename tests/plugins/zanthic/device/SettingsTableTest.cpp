#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "plugins/zanthic/device/XmegaConnectedDevice.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"

#include "tests/plugins/zanthic/ZanthicSimFixture.h"

#include <algorithm>

using namespace zanthictest;
using namespace TWG::Zanthic;
using Device = ZanthicConvertersConnectedDevice;

namespace {

const std::vector<std::uint16_t> kStm32Ids = {0xBE6F, 0xBE70, 0xBE77, 0xBE78, 0xBE79, 0xBE89};
const std::vector<std::uint16_t> kXmegaIds = {0xBE90, 0xBE91};

// The one-byte settings, with the models that have them on each line.
struct Row {
    const char* name;
    const char* property;
    std::vector<std::uint16_t> stm32;
    std::uint32_t reg; // 0: no XMEGA model has it
    std::vector<std::uint16_t> xmega;
    bool (Device::*supports)() const;
    std::function<int(Device&)> get;
    std::function<void(Device&, int)> set;
    const char* delegate;
    int value;
    int absent;
};

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = {
        {"LUT selection", "LutSelection", {0xBE6F, 0xBE70, 0xBE77, 0xBE78, 0xBE89}, 768, {0xBE90, 0xBE91},
         &Device::supportsLutSelection, [](Device& d) { return int(d.getLutSelection()); },
         [](Device& d, int v) { d.setLutSelection(std::uint8_t(v)); }, "setLutSelection", 3, 255},
        {"LUT on loop output", "LutLoopEnable", {0xBE6F, 0xBE77}, 769, {0xBE90}, &Device::supportsLutLoopEnable,
         [](Device& d) { return int(d.getLutLoopEnable()); }, [](Device& d, int v) { d.setLutLoopEnable(v); },
         "setLutOnLoopOutput", 1, 0},
        {"LUT on SDI output", "LutSdiOutEnable", {0xBE89}, 0, {}, &Device::supportsLutSdiOutEnable,
         [](Device& d) { return int(d.getLutSdiOutEnable()); }, [](Device& d, int v) { d.setLutSdiOutEnable(v); },
         "setLutOnSdiOutput", 1, 0},
        {"LUT on HDMI output", "LutHdmiOutEnable", {0xBE89}, 0, {}, &Device::supportsLutHdmiOutEnable,
         [](Device& d) { return int(d.getLutHdmiOutEnable()); }, [](Device& d, int v) { d.setLutHdmiOutEnable(v); },
         "setLutOnHdmiOutput", 1, 0},
        {"HDMI clamp", "HdmiClampEnable", {0xBE6F, 0xBE77, 0xBE79, 0xBE89}, 256, {0xBE90},
         &Device::supportsHdmiClampEnable, [](Device& d) { return int(d.getHdmiClampEnable()); },
         [](Device& d, int v) { d.setHdmiClampEnable(v); }, "setHdmiClipLevel", 1, 0},
        {"HDMI receive 3/4 swap", "HdmiRxCh34Swap", {}, 0, {}, &Device::supportsHdmiRxCh34Swap,
         [](Device& d) { return int(d.getHdmiRxCh34Swap()); }, [](Device& d, int v) { d.setHdmiRxCh34Swap(v); },
         "setAudioMapping", 1, 0},
        {"HDMI transmit 3/4 swap", "HdmiTxCh34Swap", {0xBE6F, 0xBE77, 0xBE79, 0xBE89}, 258, {0xBE90},
         &Device::supportsHdmiTxCh34Swap, [](Device& d) { return int(d.getHdmiTxCh34Swap()); },
         [](Device& d, int v) { d.setHdmiTxCh34Swap(v); }, "setSecondAudioMapping", 1, 0},
        {"SDI level A", "SdiLevelAEnable", {0xBE70, 0xBE77, 0xBE78, 0xBE79, 0xBE89}, 512, {0xBE91},
         &Device::supportsSdiLevelAEnable, [](Device& d) { return int(d.getSdiLevelAEnable()); },
         [](Device& d, int v) { d.setSdiLevelAEnable(v); }, "setSdiOutputLevel", 1, 0},
        {"camera id", "ZephId", {0xBE79, 0xBE89}, 0, {}, &Device::supportsZephId,
         [](Device& d) { return int(d.getZephId()); }, [](Device& d, int v) { d.setZephId(std::uint8_t(v)); },
         "zephIdChanged", 7, 0},
    };
    return table;
}

bool has(const std::vector<std::uint16_t>& ids, std::uint16_t id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

class SettingsTableTest : public ZanthicSimFixture {
protected:
    std::shared_ptr<Device> connectStm32(std::uint16_t product)
    {
        stm32 = stm32State(product);
        return connect<Stm32ZanthicConvertersConnectedDevice, UsbPotentialDevice>(attachStm32(stm32));
    }
    std::shared_ptr<Device> connectXmega(std::uint16_t product)
    {
        xmega = xmegaState(product);
        return connect<XmegaZanthicConvertersConnectedDevice, XmegaUsbPotentialDevice>(attachXmega(xmega));
    }

    // After a setting is set: both tabs heard it, or, on a model without it, nothing was sent.
    void expectSetHeard(const Row& row, bool present)
    {
        if (present) {
            const QStringList heard{QStringLiteral("%1 %2").arg(QLatin1String(row.delegate)).arg(row.value)};
            EXPECT_EQ(delegate.heard, heard);
            EXPECT_EQ(second.heard, heard);
        } else {
            EXPECT_TRUE(allControls().empty()) << "an absent setting sent a request";
            EXPECT_TRUE(delegate.heard.isEmpty());
        }
    }
    // The setting reads back with one read request, or, on a model without it, as its absent
    // value without a request.
    void expectReadBack(const Row& row, Device& device, bool present, int readRequest, int readType)
    {
        bus.clearTranscript();
        EXPECT_EQ(row.get(device), present ? row.value : row.absent);
        if (!present)
            EXPECT_TRUE(allControls().empty()) << "an absent setting was read";
        else
            EXPECT_EQ(controls(readRequest, readType).size(), 1u);
    }

    std::shared_ptr<platform::SimStm32State> stm32;
    std::shared_ptr<platform::SimXmegaState> xmega;
    DeviceRef usb;
    std::shared_ptr<UsbPotentialDevice> potential;
    FakeOwner owner;
    RecordingDelegate delegate;
    RecordingDelegate second;

private:
    template <typename Connected, typename Potential>
    std::shared_ptr<Device> connect(const std::string& path)
    {
        usb.reset(open(path));
        potential = std::make_shared<Potential>(std::weak_ptr<ConnectionManager>(), usb.device);
        auto d = makeConnectedDevice<Connected>(&owner, potential);
        d->addDelegate(&delegate);
        d->addDelegate(&second);
        return d;
    }
};

} // namespace

TEST_F(SettingsTableTest, Stm32PropertiesAreReadAndWrittenForExactlyTheirModels)
{
    for (std::uint16_t product : kStm32Ids) {
        for (const Row& row : rows()) {
            SCOPED_TRACE(std::string(row.name) + " on " + QString::number(product, 16).toStdString());
            bus.clearTranscript();
            delegate.heard.clear();
            second.heard.clear();
            auto device = connectStm32(product);
            const bool present = has(row.stm32, product);
            EXPECT_EQ(((*device).*row.supports)(), present);

            bus.clearTranscript();
            row.set(*device, row.value);
            const auto keys = controls(11, 0x40);
            const auto values = controls(13, 0x40);
            if (present) {
                ASSERT_EQ(keys.size(), 1u);
                EXPECT_EQ(std::string(keys[0].data.begin(), keys[0].data.end()), row.property);
                ASSERT_EQ(values.size(), 1u);
                EXPECT_EQ(values[0].setup.wValue, keys[0].setup.wValue);
                EXPECT_EQ(values[0].data, std::vector<std::uint8_t>{std::uint8_t(row.value)});
                EXPECT_EQ(stm32->properties[row.property], std::vector<std::uint8_t>{std::uint8_t(row.value)});
            }
            expectSetHeard(row, present);

            stm32->properties[row.property] = {std::uint8_t(row.value)};
            expectReadBack(row, *device, present, 12, 0xC0);
        }
    }
}

TEST_F(SettingsTableTest, XmegaRegistersAreReadAndWrittenForExactlyTheirModels)
{
    for (std::uint16_t product : kXmegaIds) {
        for (const Row& row : rows()) {
            SCOPED_TRACE(std::string(row.name) + " on " + QString::number(product, 16).toStdString());
            delegate.heard.clear();
            second.heard.clear();
            auto device = connectXmega(product);
            const bool present = has(row.xmega, product);
            EXPECT_EQ(((*device).*row.supports)(), present);

            bus.clearTranscript();
            row.set(*device, row.value);
            const auto writes = controls(0x52, 0x41);
            if (present) {
                ASSERT_EQ(writes.size(), 1u);
                EXPECT_EQ(writes[0].setup.wValue, row.reg);
                EXPECT_EQ(writes[0].data, std::vector<std::uint8_t>{std::uint8_t(row.value)});
                EXPECT_EQ(xmega->memory[row.reg], row.value);
            }
            expectSetHeard(row, present);

            if (row.reg)
                xmega->memory[row.reg] = std::uint8_t(row.value);
            expectReadBack(row, *device, present, 0x53, 0xC1);
        }
    }
}

TEST_F(SettingsTableTest, NamesAndLutNamesOnBothLines)
{
    auto s = connectStm32(0xBE89);
    EXPECT_TRUE(s->supportsDeviceName());
    EXPECT_TRUE(static_cast<Stm32ZanthicConvertersConnectedDevice&>(*s).supportsLutName());
    stm32->setText("LutName", "Warm");
    EXPECT_EQ(s->getLutName(), QStringLiteral("Warm"));
    s->setDeviceName(QStringLiteral("Régie 2"));
    EXPECT_EQ(stm32->text("DeviceName"), "R\xC3\xA9gie 2") << "UTF-8 through the control interface";
    EXPECT_FALSE(controls(4, 0x21).empty());
    EXPECT_EQ(owner.renamed, QStringList{QStringLiteral("Régie 2")});
    potential->readIdentity();
    EXPECT_EQ(s->deviceName(), QStringLiteral("Régie 2")) << "as the device reads it back";
    EXPECT_FALSE(connectStm32(0xBE77)->supportsLutName()) << "only with both LUT outputs";

    auto x = connectXmega(0xBE90);
    EXPECT_FALSE(x->supportsLutName());
    const std::string lut = "Cool";
    for (std::size_t i = 0; i < 64; ++i)
        xmega->memory[784 + std::uint32_t(i)] = i < lut.size() ? std::uint8_t(lut[i]) : 0;
    EXPECT_EQ(x->getLutName(), QStringLiteral("Cool"));
    const QString seventy(70, QLatin1Char('n'));
    x->setDeviceName(seventy);
    for (std::uint32_t i = 0; i < 64; ++i)
        EXPECT_EQ(xmega->memory[192 + i], 'n') << i;
    EXPECT_EQ(xmega->memory.count(256), 0u) << "wrote past the 64-byte field";
    potential->readIdentity();
    EXPECT_EQ(x->deviceName(), QString(64, QLatin1Char('n'))) << "a full field has no zero byte";
    x->setDeviceName(QStringLiteral("Desk"));
    potential->readIdentity();
    EXPECT_EQ(x->deviceName(), QStringLiteral("Desk"));
    EXPECT_EQ(xmega->memory[192 + 4], 0) << "zero-padded";
    for (std::uint32_t i = 0; i < 64; ++i)
        xmega->memory[192 + i] = 0;
    potential->readIdentity();
    EXPECT_EQ(x->deviceName(), QStringLiteral("Tarnwright Device"));
}

TEST_F(SettingsTableTest, FactoryResetOnBothLines)
{
    auto s = connectStm32(0xBE6F);
    stm32->properties["HdmiClampEnable"] = {1};
    s->factoryReset();
    EXPECT_EQ(stm32->factoryResets, 1);
    EXPECT_EQ(stm32->properties["HdmiClampEnable"], std::vector<std::uint8_t>{0});

    struct Case {
        const char* name;
        int doneOnRead;
        std::size_t reads;
        std::int64_t ms;
    };
    for (const Case& c : {Case{"done on the third read", 3, 3, 400}, Case{"stuck", 0, 10, 2000}}) {
        SCOPED_TRACE(c.name);
        auto x = connectXmega(0xBE90);
        xmega->resetDoneOnRead = c.doneOnRead;
        xmega->memory[256] = 1;
        bus.clearTranscript();
        const auto start = clock.now();
        x->factoryReset();
        const auto writes = controls(0x52, 0x41);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].setup.wValue, 10);
        EXPECT_EQ(writes[0].data, std::vector<std::uint8_t>{0x42});
        EXPECT_EQ(controls(0x53, 0xC1).size(), c.reads);
        EXPECT_EQ(clock.elapsedMs(start), c.ms);
        const auto restarts = controls(0x12, 0x41);
        ASSERT_EQ(restarts.size(), 1u) << "rebooted into the application";
        EXPECT_EQ(restarts[0].setup.wValue, 0);
        EXPECT_EQ(xmega->memory.count(256) ? xmega->memory[256] : 0, c.doneOnRead ? 0 : 1);
    }
}

// Read once as the device is made, and answered from that: again only when asked to read it.
TEST_F(SettingsTableTest, XmegaIdentity)
{
    xmega = xmegaState(0xBE91);
    xmega->fpgaVersion = 0x1A;
    xmega->fpgaZeroReads = 2;
    xmega->versions[0] = xmega->versions[1] = 2;
    for (int i = 0; i < 3; ++i)
        xmega->memory[176 + std::uint32_t(i)] = std::uint8_t("7.6"[i]);
    usb.reset(open(attachXmega(xmega)));
    auto fpgaReads = [this] {
        const auto reads = controls(0x53, 0xC1);
        return std::count_if(reads.begin(), reads.end(), [](const SimRequest& r) { return r.setup.wValue == 0; });
    };
    bus.clearTranscript();
    const auto start = clock.now();
    XmegaUsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), usb.device);
    EXPECT_EQ(fpgaReads(), 3) << "zeros twice, then the value";
    EXPECT_EQ(clock.elapsedMs(start), 200);
    EXPECT_EQ(device.serial(), QStringLiteral("101112131415161718191a1b1c1d1e1f"));
    EXPECT_EQ(device.releaseVersion(), QStringLiteral("7.6"));
    EXPECT_EQ(device.hardwareId(), 0x0100);
    bus.clearTranscript();
    EXPECT_EQ(device.buildId(), QStringLiteral("fpga:0000001a xmega:00000002"));
    EXPECT_TRUE(device.isFirmwareCurrent(QStringLiteral("xmega:2 fpga:1A")));
    EXPECT_FALSE(device.isFirmwareCurrent(QStringLiteral("fpga:1b xmega:2")));
    EXPECT_TRUE(allControls().empty()) << "asked the device again";

    xmega->versions[1] = 3;
    EXPECT_EQ(device.buildId(), QStringLiteral("fpga:0000001a xmega:00000002"));
    device.readIdentity();
    EXPECT_EQ(device.buildId(), QStringLiteral("fpga:0000001a")) << "versions that disagree are left out";
    xmega->fpgaVersion = 0;
    bus.clearTranscript();
    device.readIdentity();
    EXPECT_EQ(device.buildId(), QStringLiteral("fpga:00000000"));
    EXPECT_EQ(fpgaReads(), 20);
}

TEST_F(SettingsTableTest, XmegaPotentialDeviceFailsWithoutItsChannel)
{
    auto state = stm32State(0xBE90); // no XMEGA interface at all
    DeviceRef u{open(attachStm32(state))};
    try {
        XmegaUsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), u.device);
        ADD_FAILURE() << "made a device without a channel";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "No device interface.");
    }
    xmega = xmegaState(0xBE90);
    const std::string path = attachXmega(xmega);
    platform::SimFault f;
    f.bmRequestType = 0xC0;
    f.bRequest = 0x10;
    bus.addFault(f);
    DeviceRef x{open(path)};
    try {
        XmegaUsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), x.device);
        ADD_FAILURE() << "made a device without its uuid";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "UUID read failure.");
    }
}

// A bootloader runs no application: it is never current, whatever build or versions it reports
// (the ones of the application it last started, or of one written part-way), and an XMEGA one
// is not asked for the FPGA version that only a running application gives.
TEST_F(SettingsTableTest, ADeviceInItsBootloaderIsNeverCurrent)
{
    const QString build = QStringLiteral("0000b6f1");
    for (const bool bootloader : {false, true}) {
        SCOPED_TRACE(bootloader ? "STM32 DFU bootloader" : "STM32 application");
        auto state = stm32State(0xBE77);
        state->setText("BuildId", build.toStdString());
        DeviceRef u{open(bus.attach(platform::SimStm32Application::persona(state, bootloader)))};
        UsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), u.device);
        EXPECT_EQ(device.buildId(), build);
        EXPECT_EQ(device.isFirmwareCurrent(build), !bootloader);
    }
    for (const std::uint8_t mode : {std::uint8_t(10), std::uint8_t(11)}) {
        SCOPED_TRACE(mode);
        auto state = stm32State(0xBE77);
        state->setText("BuildId", build.toStdString());
        state->bootMode = mode;
        DeviceRef u{open(attachStm32(state))};
        UsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), u.device);
        EXPECT_FALSE(device.isFirmwareCurrent(build));
    }

    for (const bool bootloader : {false, true}) {
        SCOPED_TRACE(bootloader ? "XMEGA bootloader" : "XMEGA application");
        xmega = xmegaState(0xBE90);
        xmega->versions[0] = xmega->versions[1] = 2;
        DeviceRef u{open(attachXmega(xmega, bootloader))};
        bus.clearTranscript();
        XmegaUsbPotentialDevice device(std::weak_ptr<ConnectionManager>(), u.device);
        EXPECT_EQ(device.isFirmwareCurrent(QStringLiteral("xmega:2")), !bootloader);
        EXPECT_EQ(controls(0x53, 0xC1).empty(), bootloader) << "register reads";
    }
}
