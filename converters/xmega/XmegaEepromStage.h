#pragma once

#include "converters/xmega/XmegaLoaderStage.h"

#include <cstdint>

namespace TWG {
namespace Converters {

// A stage that works on one EEPROM target at a byte offset.
class XmegaEepromStage : public XmegaLoaderStage {
public:
    // An empty name gives "Chip <target> offset <offset in hex>".
    XmegaEepromStage(std::uint16_t target, std::uint32_t offset, std::string name = {});

    std::string name() const override;
    std::uint16_t target() const { return target_; }
    std::uint32_t offset() const { return offset_; }

private:
    std::uint16_t target_;
    std::uint32_t offset_;
    std::string name_;
};

} // namespace Converters
} // namespace TWG
