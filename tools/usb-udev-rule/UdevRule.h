#pragma once

#include <string>

namespace udevrule {

// The udev rule that gives the user at the seat access to the converters on the allow-list,
// and to no other device.
std::string ruleText();

} // namespace udevrule
