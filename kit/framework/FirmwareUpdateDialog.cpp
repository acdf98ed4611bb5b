#include "kit/framework/FirmwareUpdateDialog.h"

FirmwareUpdateDialog::FirmwareUpdateDialog(QWidget* parent) : CommonDialog(tr("Software Update"), parent) {}

void FirmwareUpdateDialog::setState(int state)
{
    switch (state) {
    case Prompt:
        setTitleAndMessage(tr("Update Required!"), tr("Would you like to update your Converter software now?"));
        setTwoButtons(tr("Cancel"), tr("Update"));
        break;
    case Updating:
        setTitleAndMessage(tr("Updating Software..."), tr("Please don't unplug the Converter while updating!"));
        // A reused dialog must not start from the last run's bar.
        setProgress(0);
        showProgressBar();
        break;
    case Completed:
        setTitleAndMessage(tr("Update Completed!"), tr("Your Converter has been updated and is ready to use."));
        setSingleButton(tr("Done"));
        break;
    case Failed:
        setTitleAndMessage(tr("Update Failed!"), tr("Please check your connections and try again."));
        setSingleButton(tr("Close"));
        break;
    default:
        return;
    }
    state_ = state;
}
