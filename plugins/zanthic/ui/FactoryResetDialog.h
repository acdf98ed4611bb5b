#pragma once

#include "kit/widgets/CommonDialog.h"

#include <QString>

namespace TWG {
namespace Zanthic {

// Asks before a factory reset.
class FactoryResetDialog : public CommonDialog {
    Q_OBJECT
public:
    FactoryResetDialog(const QString& modelName, QWidget* parent);
};

} // namespace Zanthic
} // namespace TWG
