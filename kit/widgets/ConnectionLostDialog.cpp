#include "kit/widgets/ConnectionLostDialog.h"

namespace {

constexpr int kReasonDisconnected = 0;

} // namespace

ConnectionLostDialog::ConnectionLostDialog(QWidget* parent)
    : CommonDialog(tr("Connection Lost"), parent)
{
}

void ConnectionLostDialog::setDisconnected(int reason)
{
    if (reason != kReasonDisconnected)
        return;
    setTitleAndMessage(tr("Product Disconnected!"),
                       tr("Please check that your product is connected and powered on."));
    setSingleButton(tr("Close"));
}
