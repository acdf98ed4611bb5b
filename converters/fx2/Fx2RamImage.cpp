#include "converters/fx2/Fx2RamImage.h"

#include "protocol/Fx2Protocol.h"

namespace TWG {
namespace Converters {

bool walkFx2DataRecords(const std::vector<std::uint8_t>& image, const Fx2RecordVisitor& visit)
{
    std::size_t at = 0;
    while (at < image.size()) {
        if (image.size() - at < fx2::kRecordHeaderLength)
            return false;
        const std::uint8_t count = image[at];
        const std::uint16_t address = static_cast<std::uint16_t>(image[at + 1] << 8 | image[at + 2]);
        if (image[at + 3] != fx2::kRecordTypeData)
            return true;
        if (image.size() - at < count + std::size_t(fx2::kRecordOverhead))
            return false;
        if (!visit(address, image.data() + at + fx2::kRecordHeaderLength, count))
            return false;
        at += count + std::size_t(fx2::kRecordOverhead);
    }
    return true;
}

} // namespace Converters
} // namespace TWG
