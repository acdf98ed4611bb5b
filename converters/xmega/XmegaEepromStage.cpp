#include "converters/xmega/XmegaEepromStage.h"

#include <cstdio>

namespace TWG {
namespace Converters {

XmegaEepromStage::XmegaEepromStage(std::uint16_t target, std::uint32_t offset, std::string name)
    : target_(target), offset_(offset), name_(std::move(name))
{
}

std::string XmegaEepromStage::name() const
{
    if (!name_.empty())
        return name_;
    char b[48];
    std::snprintf(b, sizeof b, "Chip %u offset %x", static_cast<unsigned>(target_), static_cast<unsigned>(offset_));
    return b;
}

} // namespace Converters
} // namespace TWG
