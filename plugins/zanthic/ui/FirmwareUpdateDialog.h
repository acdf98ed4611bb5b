#pragma once

#include "kit/widgets/CommonDialog.h"

namespace TWG {
namespace Zanthic {

// The Zanthic update dialog: six states, the device's model name in its texts.
class FirmwareUpdateDialog : public CommonDialog {
    Q_OBJECT
public:
    enum State : int { Available = 0, Required = 1, Updating = 2, Complete = 3, Failed = 4, Incompatible = 5 };

    explicit FirmwareUpdateDialog(QWidget* parent);

    void setDeviceName(const QString& name) { deviceName_ = name; }
    const QString& deviceName() const { return deviceName_; }
    // States outside 0-5 change nothing.
    virtual void updateText(int state);
    // The last state shown; -1 before the first.
    int state() const { return state_; }

private:
    QString deviceName_;
    int state_ = -1;
};

} // namespace Zanthic
} // namespace TWG
