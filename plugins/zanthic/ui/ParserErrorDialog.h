#pragma once

#include "kit/widgets/CommonDialog.h"

#include <QString>

namespace TWG {
namespace Zanthic {

// Tells that a LUT file did not load; goes once closed.
class ParserErrorDialog : public CommonDialog {
    Q_OBJECT
public:
    ParserErrorDialog(const QString& fileName, QWidget* parent);
};

} // namespace Zanthic
} // namespace TWG
