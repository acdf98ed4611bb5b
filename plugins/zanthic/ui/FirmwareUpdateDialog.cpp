#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"

#include <QLabel>

namespace TWG {
namespace Zanthic {

FirmwareUpdateDialog::FirmwareUpdateDialog(QWidget* parent) : CommonDialog(tr("Software Update"), parent) {}

void FirmwareUpdateDialog::updateText(int state)
{
    switch (state) {
    case Available:
        setTitleAndMessage(tr("Update Available!"),
                           tr("You can still use the %1 if you don't update, but it may be missing the latest "
                              "features.")
                               .arg(deviceName_));
        setTwoButtons(tr("Continue"), tr("Update"));
        break;
    case Required:
        setTitleAndMessage(tr("Update Required!"), tr("Would you like to update your %1 software now?").arg(deviceName_));
        setTwoButtons(tr("Cancel"), tr("Update"));
        break;
    case Updating:
        setTitleAndMessage(tr("Updating Software..."), tr("Please don't unplug the %1 while updating!").arg(deviceName_));
        showProgressBar();
        break;
    case Complete:
        setTitleAndMessage(tr("Update Complete!"), tr("Your %1 has been updated and is ready to use.").arg(deviceName_));
        setSingleButton(tr("Done"));
        break;
    case Failed:
        setTitleAndMessage(tr("Update Failed!"), tr("Please check your connections and try again."));
        setSingleButton(tr("Close"));
        break;
    case Incompatible:
        titleLabel()->setText(tr("Incompatible Software"));
        setTitleAndMessage(tr("Software Incompatible!"),
                           tr("Please download the latest version of your %1 software.").arg(deviceName_));
        setSingleButton(tr("Close"));
        break;
    default:
        return;
    }
    state_ = state;
}

} // namespace Zanthic
} // namespace TWG
