#pragma once

#include "kit/framework/Family.h"
#include "kit/framework/VisibleDevice.h"

#include <QPixmap>
#include <QPointer>
#include <QStringList>

#include <functional>

// A device whose every answer a test sets.
class FakeDevice : public VisibleDevice {
public:
    FakeDevice(Family* family, const QString& displayName, bool listedFirst = false)
        : VisibleDevice(family), displayName_(displayName), name_(displayName), listedFirst_(listedFirst)
    {
    }

    QString name() override { return name_; }
    QPixmap image() override { return image_; }
    QPixmap thumbnail() override { return QPixmap(); }
    QString displayName() override { return displayName_; }
    QPixmap galleryConnectionIcon() override { return icon_; }
    QPixmap cardConnectionIcon() override { return icon_; }
    bool isListedFirst() override { return listedFirst_; }
    bool showsSoftwareStatus() override { return software_; }
    QString softwareVersion() override { return version_; }
    bool isSoftwareSupported() override { return true; }
    bool isFirmwareUpdateAvailable() override { return updateAvailable_; }
    bool isReady() override { return true; }
    QString availableSoftwareVersion() override { return availableVersion_; }
    DeviceFirmwareUpdater* firmwareUpdater() override { return nullptr; }
    QWidget* cardExtraWidget() override { return makeExtra_ ? makeExtra_() : nullptr; }
    bool canOpen() override { return canOpen_; }
    bool hasStatusImages() override { return !status_.isNull(); }
    QPixmap statusImage() override { return status_; }

    QString displayName_;
    QString name_;
    bool listedFirst_;
    QPixmap image_;
    QPixmap icon_;
    bool software_ = false;
    QString version_;
    bool updateAvailable_ = false;
    QString availableVersion_;
    bool canOpen_ = true;
    QPixmap status_;
    std::function<QWidget*()> makeExtra_;
};

Q_DECLARE_METATYPE(VisibleDevice*)

// A family that logs what the host asks of it, as "<name> <call>", and answers as told.
class FakeFamily : public Family {
public:
    FakeFamily(QObject* host, const QString& name, QStringList* log) : Family(host), name_(name), log_(log) {}

    QString familyName() override { return name_; }
    bool usesBonjour() override { return usesBonjour_; }
    QSet<QString> bonjourServiceTypes() override { return types_; }
    void startDeviceDetection() override
    {
        record(QStringLiteral("start"));
        if (onStart_)
            onStart_();
    }
    void shutdown() override
    {
        record(QStringLiteral("shutdown"));
        if (onShutdown_)
            onShutdown_();
    }
    bool canClose() override { return record(QStringLiteral("canClose")), answer_; }
    bool handleDeviceChange(MSG*) override { return record(QStringLiteral("deviceChange")), answer_; }
    bool onBonjourDeviceAdded(const BonjourInfo&) override { return record(QStringLiteral("added")), answer_; }
    bool onBonjourDeviceRemoved(const BonjourInfo&) override { return record(QStringLiteral("removed")), answer_; }
    bool onBonjourDeviceUpdated(const BonjourInfo&) override { return record(QStringLiteral("updated")), answer_; }
    bool onBonjourDeviceResolved(const BonjourInfo& info, bool success, QString host, QString address,
                                 int port) override
    {
        record(QStringLiteral("resolved %1 %2 %3 %4 %5")
                   .arg(QString::fromStdString(info.name))
                   .arg(success)
                   .arg(host, address)
                   .arg(port));
        return answer_;
    }
    void showDevice(VisibleDevice* device) override { record(QStringLiteral("show ") + device->displayName()); }
    void showControlApp(VisibleDevice* device) override
    {
        record(QStringLiteral("controlApp ") + device->displayName());
    }
    void updateFirmware(VisibleDevice* device) override
    {
        record(QStringLiteral("update ") + device->displayName());
    }
    QStringList crossMenuOptions() override { return options_; }
    void onCrossMenuOptionSelected(QString option) override { record(QStringLiteral("option ") + option); }
    QString buildInformation() override { return buildInfo_; }

    // How many slots listen to this family's arrivals.
    int arrivalReceivers() const { return receivers(SIGNAL(deviceArrived(VisibleDevice*))); }

    void emitArrived(VisibleDevice* device) { emit deviceArrived(device); }
    void emitRemoved(VisibleDevice* device) { emit deviceRemoved(device); }
    void emitInfoChanged(VisibleDevice* device) { emit deviceInfoChanged(device); }
    void emitCrossMenuChanged() { emit crossMenuChanged(); }
    void emitBadInstall() { emit badInstall(); }
    void emitResolve(const BonjourInfo& info) { emit bonjourResolveRequested(info); }
    void emitResolveWithPort(const BonjourInfo& info, int port) { emit bonjourResolveRequestedWithPort(info, port); }

    QString name_;
    QStringList* log_;
    bool answer_ = false;
    bool usesBonjour_ = false;
    QSet<QString> types_;
    QStringList options_;
    QString buildInfo_;
    std::function<void()> onStart_;
    std::function<void()> onShutdown_;

private:
    void record(const QString& call)
    {
        if (log_)
            log_->append(name_ + QLatin1Char(' ') + call);
    }
};
