#include "plugins/zanthic/ui/TransferFailedDialog.h"

namespace TWG {
namespace Zanthic {

TransferFailedDialog::TransferFailedDialog(QWidget* parent) : CommonDialog(tr("Loading LUT"), parent)
{
    setTitleAndMessage(tr("LUT Transfer Failed"),
                       tr("The LUT could not be sent to your Zanthic Converter. Check its USB connection and try again."));
    setSingleButton(tr("OK"));
    connect(this, &CommonDialog::closeClicked, this, [this] {
        hide();
        deleteLater();
    });
}

} // namespace Zanthic
} // namespace TWG
