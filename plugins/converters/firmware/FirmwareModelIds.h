#pragma once

#include "protocol/ConverterIds.h"

#include <cstdint>
#include <vector>

// The converter models that have a firmware package: every FX2 and XMEGA converter.
namespace FirmwareModels {

inline const std::vector<std::uint16_t>& fx2Models()
{
    namespace ids = TWG::Converters::ids;
    static const std::vector<std::uint16_t> models(ids::kFx2ProductIds.begin(), ids::kFx2ProductIds.end());
    return models;
}

inline const std::vector<std::uint16_t>& xmegaModels()
{
    namespace ids = TWG::Converters::ids;
    static const std::vector<std::uint16_t> models(ids::kXmegaProductIds.begin(), ids::kXmegaProductIds.end());
    return models;
}

inline bool isFx2Model(std::uint16_t productId) { return TWG::Converters::ids::isFx2Product(productId); }
inline bool isXmegaModel(std::uint16_t productId) { return TWG::Converters::ids::isXmegaProduct(productId); }

} // namespace FirmwareModels
