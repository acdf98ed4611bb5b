#pragma once

#include "kit/framework/Family.h"
#include "plugins/zanthic/device/ConnectionManager.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QSharedPointer>
#include <QString>

#include <memory>

class QWidget;

namespace TWG {
namespace Zanthic {

class D2VisibleDevice;
class FirmwareUpdateController;
class PotentialDevice;

// The Zanthic family: one visible device per physical device, whatever number of paths
// report it; opens cards, runs firmware updates and writes the diagnostics report.
class D2Family : public Family, public DeviceListener {
    Q_OBJECT
public:
    D2Family(const QString& name, const QSet<QString>& serviceTypes, QWidget* hostWindow);
    ~D2Family() override;

    QString familyName() override { return name_; }
    bool usesBonjour() override { return !serviceTypes_.isEmpty(); }
    QSet<QString> bonjourServiceTypes() override { return serviceTypes_; }
    void startDeviceDetection() override;
    // Refuses, and says why, while an update runs.
    bool canClose() override;
    // Waits, with the event loop turning, until a running update, LUT upload and status-poll
    // read have ended.
    void shutdown() override;
    bool onBonjourDeviceAdded(const BonjourInfo&) override;
    bool onBonjourDeviceRemoved(const BonjourInfo&) override;
    bool onBonjourDeviceUpdated(const BonjourInfo&) override;
    bool onBonjourDeviceResolved(const BonjourInfo&, bool success, QString hostName, QString ipAddress,
                                 int port) override;
    void showDevice(VisibleDevice* device) override;
    void showControlApp(VisibleDevice* device) override;
    void updateFirmware(VisibleDevice* device) override;
    QString buildInformation() override;

    virtual void openDeviceCard(VisibleDevice* device, bool checkFirmware);
    virtual void startFirmwareUpdate(VisibleDevice* device, bool prompt, bool required);

    void setBuildInfo(const QString& time, const QString& release, const QString& tag, const QString& revision);
    void addConnectionManager(std::shared_ptr<ConnectionManager> manager);

    // DeviceListener: on the GUI thread, under the calling manager's lock.
    void onPotentialDeviceArrived(std::shared_ptr<PotentialDevice> device) override;
    void onPotentialDeviceRemoved(std::shared_ptr<PotentialDevice> device) override;

    // The visible device of the potential device's serial; none for an empty serial.
    std::shared_ptr<D2VisibleDevice> findVisibleDevice(const PotentialDevice& device) const;
    std::shared_ptr<D2VisibleDevice> findVisibleDevice(const VisibleDevice* device) const;
    const QList<std::shared_ptr<D2VisibleDevice>>& visibleDevices() const { return devices_; }
    FirmwareUpdateController* controller() const { return controller_.data(); }
    // An update task has started and not reported its end.
    bool isUpdating() const;
    // The dialog that said why the program may not close; null until then.

public slots:
    void onFirmwareUpdateFinish(bool openCard);

protected:
    virtual void addPotentialDevice(const std::shared_ptr<D2VisibleDevice>& visible,
                                    std::shared_ptr<PotentialDevice> device);
    virtual void removePotentialDevice(const std::shared_ptr<D2VisibleDevice>& visible,
                                       const std::shared_ptr<PotentialDevice>& device);
    virtual void createVisibleDevice(std::shared_ptr<PotentialDevice> device);

private:
    QWidget* hostWidget() const { return hostWindow_; }

    QSharedPointer<FirmwareUpdateController> controller_;
    QList<std::shared_ptr<D2VisibleDevice>> devices_;
    QString name_;
    QSet<QString> serviceTypes_;
    QString buildTime_;
    QString releaseVersion_;
    QString releaseCandidateTag_;
    QString revision_;
    QList<std::shared_ptr<ConnectionManager>> managers_;
    QWidget* hostWindow_;
};

} // namespace Zanthic
} // namespace TWG
