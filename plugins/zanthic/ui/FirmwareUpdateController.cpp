#include "plugins/zanthic/ui/FirmwareUpdateController.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"

namespace TWG {
namespace Zanthic {

FirmwareUpdateController::FirmwareUpdateController(QWidget* hostWindow, std::shared_ptr<D2VisibleDevice> device)
    : FirmwareUpdateController(new FirmwareUpdateDialog(hostWindow), std::move(device))
{
}

FirmwareUpdateController::FirmwareUpdateController(FirmwareUpdateDialog* dialog, std::shared_ptr<D2VisibleDevice> device)
    : dialog_(dialog), device_(std::move(device))
{
    wire();
}

FirmwareUpdateController::~FirmwareUpdateController()
{
    releaseUpdater();
    delete dialog_;
}

void FirmwareUpdateController::wire()
{
    connect(dialog_, &CommonDialog::yesClicked, this, &FirmwareUpdateController::onAcceptClicked);
    connect(dialog_, &CommonDialog::noClicked, this, &FirmwareUpdateController::onCloseOrDeclineClicked);
    connect(dialog_, &CommonDialog::closeClicked, this, &FirmwareUpdateController::onCloseOrDeclineClicked);
    connect(dialog_, &CommonDialog::noClicked, dialog_, &QWidget::close);
    connect(dialog_, &CommonDialog::closeClicked, dialog_, &QWidget::close);
}

void FirmwareUpdateController::start(bool prompt, bool required)
{
    // result_: what ending the dialog reports; declining or closing an update that was not
    // required opens the card.
    required_ = required;
    result_ = !required;
    dialog_->setDeviceName(device_ ? device_->modelName() : QString());
    dialog_->setProgress(0);
    if (!prompt) {
        dialog_->show();
        onAcceptClicked();
        return;
    }
    dialog_->updateText(required ? FirmwareUpdateDialog::Required : FirmwareUpdateDialog::Available);
    dialog_->show();
}

void FirmwareUpdateController::onAcceptClicked()
{
    DeviceFirmwareUpdater* updater = device_ ? device_->firmwareUpdater() : nullptr;
    if (!updater) {
        // Said until the user closes it; closing leaves the card closed.
        result_ = false;
        dialog_->updateText(FirmwareUpdateDialog::Failed);
        return;
    }
    releaseUpdater();
    updater_ = updater;
    connect(updater, &DeviceFirmwareUpdater::firmwareUpdateProgress, this,
            &FirmwareUpdateController::onFirmwareUpdateProgress);
    connect(updater, &DeviceFirmwareUpdater::firmwareUpdated, this, &FirmwareUpdateController::onFirmwareUpdateCompleted);
    dialog_->updateText(FirmwareUpdateDialog::Updating);
    updater->startUpdate();
}

void FirmwareUpdateController::onFirmwareUpdateProgress(int percent)
{
    if (updater_ && sender() == updater_.data())
        dialog_->setProgress(percent);
}

void FirmwareUpdateController::onFirmwareUpdateCompleted(int status)
{
    if (!updater_ || sender() != updater_.data())
        return;
    releaseUpdater();
    dialog_->updateText(status == DeviceFirmwareUpdater::Succeeded ? FirmwareUpdateDialog::Complete
                                                                   : FirmwareUpdateDialog::Failed);
    emit updateEnded();
}

void FirmwareUpdateController::onCloseOrDeclineClicked()
{
    emit firmwareUpdated(result_);
}

void FirmwareUpdateController::releaseUpdater()
{
    if (updater_)
        disconnect(updater_.data(), nullptr, this, nullptr);
    updater_ = nullptr;
}

} // namespace Zanthic
} // namespace TWG
