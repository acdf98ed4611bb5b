#pragma once

#include "kit/widgets/CommonDialog.h"

namespace TWG {
namespace Zanthic {

// Tells that a LUT did not reach the device (the file was fine); goes once closed.
class TransferFailedDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit TransferFailedDialog(QWidget* parent);
};

} // namespace Zanthic
} // namespace TWG
