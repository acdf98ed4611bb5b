#pragma once

#include "kit/widgets/StyleHelpers.h"

#include <QString>

namespace TWG {
namespace Zanthic {

// The text look the controls of the Zanthic settings tabs share: the kit's settings font, with
// their own geometry and style sheets (not the kit's settings controls).
constexpr int kD2ControlFont = 7;
constexpr int kD2DisabledAlpha = 100;

inline QString d2DisabledText() { return colourToRgba(kitColourText(), kD2DisabledAlpha); }

} // namespace Zanthic
} // namespace TWG
