#pragma once

#include "tests/plugins/zanthic/ScaledClock.h"
#include "tests/plugins/zanthic/ZanthicSimFixture.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "plugins/zanthic/device/FirmwareLookup.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "protocol/ZanthicIds.h"
#include "usb/IUSBDevice.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <mutex>

namespace zanthictest {

// A task's reports as the test's thread sees them. QSignalSpy records on the emitting thread
// and the task emits on its worker: the relay takes each report over queued, so the spies fill
// only on the test's thread, in order, as its event loop turns.
struct TaskReports {
    explicit TaskReports(DeviceFirmwareUpdater* task)
    {
        QObject::connect(task, &DeviceFirmwareUpdater::firmwareUpdated, &relay,
                         &DeviceFirmwareUpdater::firmwareUpdated, Qt::QueuedConnection);
        QObject::connect(task, &DeviceFirmwareUpdater::firmwareUpdateProgress, &relay,
                         &DeviceFirmwareUpdater::firmwareUpdateProgress, Qt::QueuedConnection);
    }

    struct Relay : DeviceFirmwareUpdater {
        bool firmwareIsCurrent() override { return false; }
        void startUpdate() override {}
    } relay;
    QSignalSpy done{&relay, &DeviceFirmwareUpdater::firmwareUpdated};
    QSignalSpy progress{&relay, &DeviceFirmwareUpdater::firmwareUpdateProgress};
};

struct NoFamily : TWG::Zanthic::DeviceListener {
    void onPotentialDeviceArrived(std::shared_ptr<TWG::Zanthic::PotentialDevice>) override {}
    void onPotentialDeviceRemoved(std::shared_ptr<TWG::Zanthic::PotentialDevice>) override {}
};

// Zanthic converters behind a started connection manager, in scaled real time, with the
// synthetic packages in a firmware folder of their own.
class UpdateFixture : public ZanthicSimFixture {
protected:
    static constexpr int kTimeScale = 100;
    static constexpr std::int64_t kWaitSeconds = 30;

    UpdateFixture() { TWG::Zanthic::setFirmwareResourcePath(folder.path().toStdString()); }
    ~UpdateFixture() override
    {
        manager.reset();
        QCoreApplication::processEvents();
        TWG::Zanthic::setFirmwareResourcePath({});
    }

    TWG::Zanthic::ModelTable models() const
    {
        TWG::Zanthic::ModelTable table;
        for (std::uint16_t id : TWG::Zanthic::ids::kStm32ProductIds)
            table[id].firmwareFile = QString::fromStdString(TWG::Zanthic::firmwarePackagePath(id)).section('/', -1);
        for (std::uint16_t id : TWG::Zanthic::ids::kXmegaProductIds)
            table[id].firmwareFile = QString::fromStdString(TWG::Zanthic::firmwarePackagePath(id)).section('/', -1);
        for (auto& row : table) {
            row.second.bootloaderWaitSeconds = kWaitSeconds;
            row.second.settleWaitSeconds = kWaitSeconds;
        }
        return table;
    }

    void startManager()
    {
        manager = std::make_shared<TWG::Zanthic::UsbConnectionManager>(
            &family, models(), nullptr, nullptr,
            [](std::weak_ptr<TWG::Zanthic::UsbConnectionManager> m,
               TWG::USB::IUSBDevice* usb) -> std::shared_ptr<TWG::Zanthic::UsbPotentialDevice> {
                std::uint16_t product = 0;
                usb->getProductId(&product);
                try {
                    if (TWG::Zanthic::ids::isXmegaProduct(product))
                        return std::make_shared<TWG::Zanthic::XmegaUsbPotentialDevice>(m, usb);
                    return std::make_shared<TWG::Zanthic::UsbPotentialDevice>(m, usb);
                } catch (const TWG::Zanthic::DeviceNotIdentified&) {
                    throw;
                } catch (const std::exception&) {
                    return nullptr;
                }
            },
            nullptr);
        ASSERT_TRUE(manager->start());
    }

    std::shared_ptr<TWG::Zanthic::UsbPotentialDevice> listed(const QString& serial)
    {
        std::shared_ptr<TWG::Zanthic::UsbPotentialDevice> device;
        if (!QTest::qWaitFor([&] { return (device = manager->findPotentialDevice(serial)) != nullptr; }, 5000))
            return nullptr;
        return device;
    }

    // Starts the update and waits for its end: the wall time it took, or -1 when it never ended.
    qint64 runToItsEnd(DeviceFirmwareUpdater& task, const QSignalSpy& done)
    {
        QElapsedTimer wall;
        wall.start();
        task.startUpdate();
        if (!QTest::qWaitFor([&] { return done.count() == 1; }, 10000))
            return -1;
        return wall.elapsed();
    }

    QTemporaryDir folder;
    ScaledClock scaled{kTimeScale};
    platform::ClockOverride scaledOverride{&scaled};
    NoFamily family;
    std::shared_ptr<TWG::Zanthic::UsbConnectionManager> manager;
};

} // namespace zanthictest
