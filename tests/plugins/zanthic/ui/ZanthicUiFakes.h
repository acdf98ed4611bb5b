#pragma once

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "kit/framework/VisibleDevice.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/ConnectionManager.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/ZanthicModels.h"
#include "protocol/ZanthicIds.h"
#include "tools/package-writer/PackageWriter.h"
#include "usb/package/FirmwareFileLocation.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

namespace zanthicui {

using namespace TWG::Zanthic;

// A Zanthic device as the family sees it, every answer set by the test.
class FakePotential : public PotentialDevice {
public:
    FakePotential(std::weak_ptr<ConnectionManager> manager, QString serial, std::uint16_t productId = 0xBE89)
        : PotentialDevice(std::move(manager)), serial_(std::move(serial)), productId_(productId)
    {
    }
    std::uint16_t productId() const override { return productId_; }
    std::uint16_t hardwareId() const override { return hardware; }
    QString serial() const override { return serial_; }
    QString deviceName() override { return name; }
    QString buildId() override { return build; }
    QString releaseVersion() override { return release; }
    int connectionType() const override { return type; }
    bool offersFirmwareUpdate() const override { return offers; }
    bool isReady() const override { return ready; }
    int modeCode() const override { return mode; }
    void onArrival() override { ++arrivals; }

    std::uint16_t hardware = 0x0100;
    QString name = QStringLiteral("Studio A");
    QString build;
    QString release = QStringLiteral("7.6");
    int type = 1;
    bool offers = true;
    bool ready = true;
    int mode = 10;
    int arrivals = 0;

private:
    QString serial_;
    std::uint16_t productId_;
};

// A connected device whose state the test sets; it never touches a bus.
class FakeConnected : public ZanthicConvertersConnectedDevice {
    Q_OBJECT
public:
    FakeConnected(ConnectedDeviceOwner* owner, std::shared_ptr<PotentialDevice> potential)
        : ZanthicConvertersConnectedDevice(owner, std::move(potential))
    {
    }
    void setDeviceName(const QString&) override {}
    bool supportsLutName() const override { return false; }
    QString getLutName() override { return {}; }
    bool supportsLutTransferThread() const override { return false; }
    void factoryReset() override {}
    int disconnects = 0;
    void notifyDisconnected() override
    {
        ++disconnects;
        ZanthicConvertersConnectedDevice::notifyDisconnected();
    }

protected:
    void poll() override { setPollInterval(60 * 60 * 1000); }
    bool supports(Setting) const override { return false; }
    void readSetting(Setting, std::uint8_t*) override {}
    void writeSetting(Setting, std::uint8_t) override {}
};

// An update task the test drives: it counts its starts and reports what the test emits.
class ScriptedUpdater : public DeviceFirmwareUpdater {
    Q_OBJECT
public:
    bool firmwareIsCurrent() override { return false; }
    void startUpdate() override { ++starts; }
    int starts = 0;
};

// The manager a family is given: connects to FakeConnected devices (or to what the test's
// factory makes) and hands out the test's updater.
class FakeManager : public ConnectionManager {
public:
    FakeManager(DeviceListener* family, ModelTable models)
        : ConnectionManager("USB", family, std::move(models))
    {
    }
    bool start() override
    {
        ++starts;
        return true;
    }
    std::shared_ptr<ConnectedDevice> connect(ConnectedDeviceOwner* owner, PotentialDevice* device) override
    {
        ++connects;
        if (connectFactory)
            return connectFactory(owner, device);
        std::shared_ptr<PotentialDevice> potential;
        for (const auto& d : devices)
            if (d.get() == device)
                potential = d;
        last = makeConnectedDevice<FakeConnected>(owner, potential);
        return last;
    }
    QSharedPointer<DeviceFirmwareUpdater> createUpdater(PotentialDevice&) override { return updater; }

    std::shared_ptr<FakePotential> add(const QString& serial, std::uint16_t productId = 0xBE89)
    {
        auto d = std::make_shared<FakePotential>(weak_from_this(), serial, productId);
        devices.push_back(d);
        return d;
    }

    int starts = 0;
    int connects = 0;
    std::function<std::shared_ptr<ConnectedDevice>(ConnectedDeviceOwner*, PotentialDevice*)> connectFactory;
    std::shared_ptr<FakeConnected> last;
    QSharedPointer<DeviceFirmwareUpdater> updater;
    std::vector<std::shared_ptr<PotentialDevice>> devices;
};

// A firmware folder for the process, with packages written as the test asks; unset again at
// the end.
class FirmwareFolder {
public:
    FirmwareFolder() { TWG::USB::setFirmwareDirectory(dir.path().toStdString()); }
    ~FirmwareFolder() { TWG::USB::setFirmwareDirectory(std::string()); }

    // A package with one firmware image for the product, and information entries when asked.
    void writePackage(std::uint16_t productId, bool withImage = true, std::uint32_t fpga = 0, std::uint32_t xmega = 0)
    {
        const std::uint32_t key = (std::uint32_t(ids::kVendorId) << 16) | productId;
        TWG::Tools::PackageWriter writer;
        if (withImage) {
            TWG::Tools::PackageSection image;
            image.id = 1;
            image.entries.push_back({TWG::USB::PackageFormat::kEntryTypeFirmware, key});
            image.data.assign(64, 0xA5);
            writer.addSection(image);
        }
        for (const auto& [byteB, number] : {std::pair<std::uint8_t, std::uint32_t>{0, fpga}, {1, xmega}}) {
            if (!number)
                continue;
            TWG::Tools::PackageSection info;
            info.id = number;
            TWG::Tools::PackageEntryRecord record;
            record.type = TWG::USB::PackageFormat::kEntryTypeInformation;
            record.key = key;
            record.byteB = byteB;
            info.entries.push_back(record);
            info.data.assign(4, 0);
            writer.addSection(info);
        }
        std::string error;
        ASSERT_TRUE(writer.writeFile(path(productId), &error)) << error;
    }
    std::string path(std::uint16_t productId) const
    {
        return dir.filePath(QString::fromStdString(TWG::USB::packageFileName(productId))).toStdString();
    }

    QTemporaryDir dir;
};

} // namespace zanthicui

Q_DECLARE_METATYPE(VisibleDevice*)
