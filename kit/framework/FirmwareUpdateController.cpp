#include "kit/framework/FirmwareUpdateController.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "kit/framework/FrameworkLog.h"
#include "kit/framework/FirmwareUpdateDialog.h"
#include "kit/framework/VisibleDevice.h"

#include <QWidget>

FirmwareUpdateController::FirmwareUpdateController(QWidget* parentWidget, QObject* parent)
    : QObject(parent), parentWidget_(parentWidget)
{
}

FirmwareUpdateController::~FirmwareUpdateController()
{
    disconnectUpdater();
    if (dialog_) {
        dialog_->close();
        delete dialog_;
    }
}

FirmwareUpdateDialog* FirmwareUpdateController::dialog() const
{
    return dialog_;
}

void FirmwareUpdateController::promptForUpdate(VisibleDevice* device)
{
    if (!device) {
        result_ = NoDevice;
        emit firmwareUpdated();
        return;
    }
    if (device_) {
        // The running prompt or update is left alone, and so is a finished run's result that
        // its dialog still shows: Busy holds only while this refusal is being reported.
        const int kept = result_;
        const QPointer<FirmwareUpdateController> alive(this);
        result_ = Busy;
        emit firmwareUpdated();
        if (alive && result_ == Busy)
            result_ = kept;
        return;
    }
    device_ = device;
    updater_ = device->firmwareUpdater();
    if (!updater_) {
        finish(NoUpdater);
        return;
    }
    if (updater_->firmwareIsCurrent()) {
        finish(Completed);
        return;
    }
    if (!dialog_) {
        dialog_ = new FirmwareUpdateDialog(parentWidget_);
        connect(dialog_, &FirmwareUpdateDialog::yesClicked, this, &FirmwareUpdateController::onAcceptClicked);
        connect(dialog_, &FirmwareUpdateDialog::noClicked, this, &FirmwareUpdateController::onDeclineClicked);
        connect(dialog_, &FirmwareUpdateDialog::closeClicked, this, &FirmwareUpdateController::onCloseClicked);
    }
    dialog_->setState(FirmwareUpdateDialog::Prompt);
    dialog_->show();
    dialog_->raise();
}

void FirmwareUpdateController::onAcceptClicked()
{
    if (!updater_ || updating_)
        return;
    updating_ = true;
    const quint64 run = ++run_;
    // Queued from a worker thread, a report can still arrive after the run was abandoned and
    // after these connections are gone; the run number drops it then.
    resultConnection_ = connect(updater_, &DeviceFirmwareUpdater::firmwareUpdated, this, [this, run](int status) {
        if (run == run_)
            onFirmwareUpdateTermination(status);
    });
    progressConnection_ =
        connect(updater_, &DeviceFirmwareUpdater::firmwareUpdateProgress, this, [this, run](int percent) {
            if (run == run_ && updating_ && dialog_)
                dialog_->setProgress(percent);
        });
    if (dialog_)
        dialog_->setState(FirmwareUpdateDialog::Updating);
    updater_->startUpdate();
}

void FirmwareUpdateController::onDeclineClicked()
{
    finish(Declined);
}

void FirmwareUpdateController::onFirmwareUpdateTermination(int status)
{
    if (!updating_)
        return;
    disconnectUpdater();
    updating_ = false;
    if (status == DeviceFirmwareUpdater::Succeeded) {
        result_ = Completed;
        if (dialog_)
            dialog_->setState(FirmwareUpdateDialog::Completed);
    } else if (status == DeviceFirmwareUpdater::Failed) {
        result_ = Failed;
        if (dialog_)
            dialog_->setState(FirmwareUpdateDialog::Failed);
    } else {
        qCWarning(lcKitFramework) << "Unknown update status" << status;
    }
}

void FirmwareUpdateController::onCloseClicked()
{
    // The result keeps the value set when the update ended.
    finish(result_);
}

void FirmwareUpdateController::closeDialog()
{
    if (dialog_)
        dialog_->close();
    forget();
}

// The controller is idle before the card hears of the result, so the card may prompt again
// (or delete the controller) from its handler.
void FirmwareUpdateController::finish(int result)
{
    result_ = result;
    if (dialog_)
        dialog_->close();
    forget();
    emit firmwareUpdated();
}

void FirmwareUpdateController::forget()
{
    disconnectUpdater();
    if (updating_)
        ++run_;
    updating_ = false;
    updater_ = nullptr;
    device_ = nullptr;
}

void FirmwareUpdateController::disconnectUpdater()
{
    QObject::disconnect(resultConnection_);
    QObject::disconnect(progressConnection_);
}
