#pragma once

#include "kit/framework/DeviceFirmwareUpdater.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;

namespace TWG {
namespace Zanthic {

class D2VisibleDevice;
class FirmwareUpdateDialog;

// Asks, runs and ends one firmware update of a Zanthic device. Its one report,
// firmwareUpdated(openCard), comes when the user ends the dialog: true asks the family to open
// the device's card (an update that was not required, declined or closed).
class FirmwareUpdateController : public QObject {
    Q_OBJECT
public:
    // Makes its own dialog on the host window.
    FirmwareUpdateController(QWidget* hostWindow, std::shared_ptr<D2VisibleDevice> device);
    // Takes the dialog over.
    FirmwareUpdateController(FirmwareUpdateDialog* dialog, std::shared_ptr<D2VisibleDevice> device);
    ~FirmwareUpdateController() override;

    void start(bool prompt, bool required);

    FirmwareUpdateDialog* dialog() const { return dialog_; }
    const std::shared_ptr<D2VisibleDevice>& device() const { return device_; }
    // An update task is running: the program must not close.
    bool isUpdating() const { return updater_ != nullptr; }

signals:
    void firmwareUpdated(bool openCard);
    // The running task reported its end (either way).
    void updateEnded();

public slots:
    void onCloseOrDeclineClicked();
    void onAcceptClicked();
    void onFirmwareUpdateCompleted(int status);
    void onFirmwareUpdateProgress(int percent);

private:
    void wire();
    void releaseUpdater();

    FirmwareUpdateDialog* dialog_;
    std::shared_ptr<D2VisibleDevice> device_;
    bool result_ = false;
    bool required_ = true;
    // The running task; reports of any other (an abandoned run) are ignored.
    QPointer<DeviceFirmwareUpdater> updater_;
};

} // namespace Zanthic
} // namespace TWG
