#pragma once

#include "kit/widgets/CommonDialog.h"

#include <cstdint>

namespace TWG {
namespace Zanthic {

// Asks before the LUT of a slot is removed.
class DeleteLutDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit DeleteLutDialog(QWidget* parent);

    void setLutIndex(std::uint8_t index) { index_ = index; }
    std::uint8_t lutIndex() const { return index_; }

private:
    std::uint8_t index_ = 0;
};

} // namespace Zanthic
} // namespace TWG
