#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "protocol/Stm32Protocol.h"

#include "LutSimFixture.h"

#include <QSignalSpy>

#include <algorithm>

using namespace luttest;
using namespace TWG::Zanthic;
using platform::SimFault;
using platform::SimFaultAction;
using platform::SimRequest;
using platform::SimRequestKind;

namespace {

class Stm32LutUpload : public LutSimFixture {
protected:
    void connect(std::uint16_t product)
    {
        state = std::make_shared<platform::SimStm32State>();
        state->productId = product;
        usb.reset(open(bus.attach(std::make_shared<platform::SimStm32Application>(state))));
        ASSERT_NE(usb.device, nullptr);
        potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
        device = makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(&owner, potential);
        device->addDelegate(&delegate);
        // The first status poll, read on its own thread, before what the test looks at.
        ASSERT_TRUE(QTest::qWaitFor([this] { return device->connectionState() != Idle; }, 5000));
        bus.clearTranscript();
    }

    // The pieces of each value write (request 13), in order.
    std::vector<std::size_t> valuePieces() const
    {
        std::vector<std::size_t> sizes;
        for (const SimRequest& r : controls(TWG::Zanthic::stm32::kSetValue, TWG::Zanthic::stm32::kVendorDeviceOut))
            sizes.push_back(r.data.size());
        return sizes;
    }
    // The keys written (request 11), in order.
    std::vector<std::string> keys() const
    {
        std::vector<std::string> out;
        for (const SimRequest& r : controls(TWG::Zanthic::stm32::kSetKey, TWG::Zanthic::stm32::kVendorDeviceOut))
            out.emplace_back(r.data.begin(), r.data.end());
        return out;
    }

    std::shared_ptr<platform::SimStm32State> state;
    DeviceRef usb;
    std::shared_ptr<UsbPotentialDevice> potential;
    std::shared_ptr<Stm32ZanthicConvertersConnectedDevice> device;
};

TEST_F(Stm32LutUpload, ThirtyThreePointModelsTakeTheWholeCubeThenTheName)
{
    const QString file = files.write(QStringLiteral("grade.cube"), "TITLE \"Grade\"\nLUT_3D_SIZE 33\n" + identityRows(33));
    for (std::uint16_t product : {0xBE77, 0xBE78, 0xBE89}) {
        SCOPED_TRACE(product);
        connect(product);
        QSignalSpy progress(device.get(), &ZanthicConvertersConnectedDevice::transferProgress);
        EXPECT_EQ(device->loadLut(2, file, QStringLiteral("unused")), 0);

        const std::vector<std::uint8_t>& data = state->properties[stm32::keys::kLutData];
        ASSERT_EQ(data.size(), 143748u);
        EXPECT_EQ(wordAt(data, 0), 0u);
        EXPECT_EQ(wordAt(data, 4 * 1), 31u); // 1/32 x 1023 = 31.97
        EXPECT_EQ(wordAt(data, 4 * (33 * 33 * 33 - 1)), 0x3FFFFFFFu);
        EXPECT_EQ(state->text(stm32::keys::kLutName), "Grade");
        std::vector<std::size_t> pieces(35, 4096);
        pieces.push_back(388);
        pieces.push_back(5); // the name
        EXPECT_EQ(valuePieces(), pieces);
        EXPECT_EQ(keys(), (std::vector<std::string>{"LutData", "LutName"}));
        EXPECT_TRUE(state->violations.empty());

        // Each chunked transfer (the key, then the value, of both writes) counts from 0 up to 100.
        std::vector<std::vector<int>> transfers;
        for (const QList<QVariant>& p : progress) {
            const int percent = p.at(0).toInt();
            if (transfers.empty() || (percent == 0 && transfers.back().back() != 0))
                transfers.emplace_back();
            transfers.back().push_back(percent);
        }
        ASSERT_EQ(transfers.size(), 4u);
        for (const std::vector<int>& t : transfers) {
            EXPECT_EQ(t.front(), 0);
            EXPECT_EQ(t.back(), 100);
            EXPECT_TRUE(std::is_sorted(t.begin(), t.end()));
        }
        EXPECT_GT(transfers[1].size(), 30u); // LutData's value, piece by piece

        EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("2 Grade")});
        delegate.heard.clear();
    }
}

TEST_F(Stm32LutUpload, OtherModelsTakeSeventeenPointsAndTheGivenName)
{
    connect(0xBE6F);
    const QString file = files.write(QStringLiteral("plain.cube"), identityCube(33));
    EXPECT_EQ(device->loadLut(0, file, QStringLiteral("Plain")), 0);
    const std::vector<std::uint8_t>& data = state->properties[stm32::keys::kLutData];
    ASSERT_EQ(data.size(), 17u * 17 * 17 * 4);
    EXPECT_EQ(wordAt(data, 4), 63u); // 1/16 x 1023 = 63.9
    EXPECT_EQ(state->text(stm32::keys::kLutName), "Plain");
    EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("0 Plain")});
}

TEST_F(Stm32LutUpload, AnEmptyFileNameDeletesTheLut)
{
    connect(0xBE89);
    state->setText(stm32::keys::kLutName, "Old");
    EXPECT_EQ(device->loadLut(1, QString(), QStringLiteral("ignored")), 0);
    EXPECT_EQ(keys(), std::vector<std::string>{"LutName"});
    EXPECT_EQ(valuePieces(), std::vector<std::size_t>{0});
    EXPECT_EQ(state->text(stm32::keys::kLutName), "");
    EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("1 ")});
}

TEST_F(Stm32LutUpload, AFileThatCannotBeReadOrDecodedSendsNothing)
{
    connect(0xBE89);
    CubeLogCapture log;
    EXPECT_EQ(device->loadLut(0, files.path(QStringLiteral("missing.cube")), QString()), 2);
    const QString bad = files.write(QStringLiteral("bad.cube"), "LUT_3D_SIZE 2\n1.0 abc 2\n");
    EXPECT_EQ(device->loadLut(0, bad, QString()), 22);
    EXPECT_NE(log.text().find("CubeParser: Parse failed, malformed file\n"), std::string::npos);
    EXPECT_TRUE(bus.transcript().empty());
    EXPECT_TRUE(delegate.heard.isEmpty());
}

// Data and name are two writes: whichever fails, the upload fails, and the tabs hear the name
// the device then reports (the old one, over the new table when only the name failed).
TEST_F(Stm32LutUpload, AFailedDataOrNameWriteFailsAndTheTabsHearTheDevicesName)
{
    const std::string text = "TITLE \"New\"\n" + identityCube(33);
    DeviceCube expected(33);
    ASSERT_EQ(DecodeCubeFile(text, expected), 0);
    const struct {
        const char* name;
        SimFaultAction action;
        bool onName;        // the name's value write fails, else the 7th piece of the data
        bool tableArrived;
        const char* heard;
    } cases[] = {
        {"a data piece stalls", SimFaultAction::Stall, false, false, "0 Old"},
        {"a data piece times out", SimFaultAction::Timeout, false, false, "0 Old"},
        {"the name stalls", SimFaultAction::Stall, true, true, "0 Old"},
        {"the name times out", SimFaultAction::Timeout, true, true, "0 Old"},
        {"unplugged at the name", SimFaultAction::Unplug, true, true, "0 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connect(0xBE89);
        const QString file = files.write(QStringLiteral("new.cube"), text);
        state->setText(stm32::keys::kLutName, "Old");
        SimFault f;
        f.action = c.action;
        f.kind = SimRequestKind::Control;
        f.bmRequestType = stm32::kVendorDeviceOut;
        f.bRequest = stm32::kSetValue;
        if (c.onName)
            f.match = [](const SimRequest& r) { return r.data == std::vector<std::uint8_t>{'N', 'e', 'w'}; };
        else
            f.nth = 7;
        bus.addFault(f);
        LogCapture qtLog;
        // On the transfer worker, where an escaping error would end the program.
        EXPECT_EQ(onWorker([&] { return device->loadLut(0, file, QStringLiteral("unused")); }), 5);
        EXPECT_TRUE(qtLog.contains(QStringLiteral("setSettingsProperty failed: Failed to send set request 13")));
        EXPECT_EQ(state->properties.count(stm32::keys::kLutData) != 0, c.tableArrived);
        if (c.tableArrived) {
            EXPECT_EQ(state->properties[stm32::keys::kLutData], expected.bytes());
        }
        EXPECT_EQ(state->text(stm32::keys::kLutName), "Old");
        EXPECT_EQ(delegate.heard, QStringList{QString::fromLatin1(c.heard)});
        delegate.heard.clear();
        device.reset();
        potential.reset();
        usb.reset();
        bus.clearFaults();
    }
}

TEST_F(Stm32LutUpload, AWorkerUploadTellsTheTabsOnTheDevicesThread)
{
    connect(0xBE77);
    const QString file = files.write(QStringLiteral("grade.cube"), "TITLE \"Worker\"\n" + identityCube(17));
    std::vector<QThread*> calledOn;
    EXPECT_EQ(onWorker([&] { return device->loadLut(3, file, QString()); }), 0);
    ASSERT_EQ(delegate.heard, QStringList{QStringLiteral("3 Worker")});
    EXPECT_EQ(delegate.threads, std::vector<QThread*>{device->thread()});
    EXPECT_EQ(state->properties[stm32::keys::kLutData].size(), 143748u);
}

} // namespace
