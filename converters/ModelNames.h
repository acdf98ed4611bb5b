#pragma once

#include <QString>

#include <cstdint>

namespace TWG {
namespace Converters {

// The model name shown for a product id; a null string for an id that is no converter.
QString modelNameForProduct(std::uint16_t productId);

} // namespace Converters
} // namespace TWG
