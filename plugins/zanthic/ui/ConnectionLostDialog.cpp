#include "plugins/zanthic/ui/ConnectionLostDialog.h"

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kConnectionTypeUsb = 1;
constexpr int kConnectionTypeNetwork = 2;
} // namespace

ConnectionLostDialog::ConnectionLostDialog(QWidget* parent, const QString& productWord)
    : CommonDialog(tr("Connection Lost"), parent), productWord_(productWord)
{
}

void ConnectionLostDialog::setConnectionState(ConnectionState state)
{
    state_ = state;
    updateText();
}

void ConnectionLostDialog::setConnectionType(int type)
{
    type_ = type;
    updateText();
}

void ConnectionLostDialog::updateText()
{
    if (type_ == kConnectionTypeUsb && state_ == Interrupted)
        setTitleAndMessage(tr("USB Disconnected!"),
                           tr("Please check that your %1 is connected via USB and powered on.").arg(productWord_));
    else if (type_ == kConnectionTypeNetwork && state_ == Interrupted)
        setTitleAndMessage(
            tr("Network Disconnected!"),
            tr("Please check that your %1 and computer are connected to the network and powered on.").arg(productWord_));
    else
        setTitleAndMessage(tr("%1 Disconnected!").arg(productWord_),
                           tr("Please check that your %1 is connected and powered on.").arg(productWord_));
    setSingleButton(tr("Close"));
}

} // namespace Zanthic
} // namespace TWG
