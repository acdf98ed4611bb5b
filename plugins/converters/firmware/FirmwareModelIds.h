#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// The converter models that have a firmware package. Header-only: the simulation-only tree
// writes packages for the same models without linking the plug-in.
namespace FirmwareModels {

inline const std::vector<std::uint16_t>& fx2Models()
{
    static const std::vector<std::uint16_t> ids{
        0xBD15, 0xBD16, 0xBD17, 0xBD18, 0xBD19, 0xBD27, 0xBD28, 0xBD2C, 0xBD2E, 0xBD2F, 0xBD30,
        0xBD31, 0xBD32, 0xBD33, 0xBD34, 0xBD41, 0xBD46, 0xBD47, 0xBD53, 0xBD54, 0xBD55, 0xBD5F,
        0xBD60, 0xBD69, 0xBD6A, 0xBD82, 0xBD83, 0xBD84, 0xBD85, 0xBDCF, 0xBDD0};
    return ids;
}

inline const std::vector<std::uint16_t>& xmegaModels()
{
    static const std::vector<std::uint16_t> ids{0xBD91, 0xBD92, 0xBD93, 0xBD94, 0xBD95, 0xBD96, 0xBDB8, 0xBDC5,
                                                0xBDC6, 0xBDE7, 0xBDF2, 0xBDF6, 0xBE00, 0xBE06, 0xBE0C};
    return ids;
}

inline bool isFx2Model(std::uint16_t productId)
{
    const auto& ids = fx2Models();
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

inline bool isXmegaModel(std::uint16_t productId)
{
    const auto& ids = xmegaModels();
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

} // namespace FirmwareModels
