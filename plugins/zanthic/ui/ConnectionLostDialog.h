#pragma once

#include "kit/widgets/CommonDialog.h"
#include "plugins/zanthic/device/ConnectionState.h"

namespace TWG {
namespace Zanthic {

// What a Zanthic card shows when its device's connection is lost: texts by connection type
// (1 USB, 2 network) and state, with the product word for "%1".
class ConnectionLostDialog : public CommonDialog {
    Q_OBJECT
public:
    ConnectionLostDialog(QWidget* parent, const QString& productWord);

    void setConnectionState(ConnectionState state);
    void setConnectionType(int type);

private:
    void updateText();

    QString productWord_;
    ConnectionState state_ = Idle;
    int type_ = 0;
};

} // namespace Zanthic
} // namespace TWG
