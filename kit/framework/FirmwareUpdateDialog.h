#pragma once

#include "kit/widgets/CommonDialog.h"

// The "Software Update" dialog: ask, show progress, then report success or failure.
class FirmwareUpdateDialog : public CommonDialog {
    Q_OBJECT
public:
    enum State : int { Prompt = 0, Updating = 1, Completed = 2, Failed = 3 };

    explicit FirmwareUpdateDialog(QWidget* parent);

    // Values other than the four states change nothing.
    void setState(int state);
    int state() const { return state_; }

private:
    int state_ = -1;
};
