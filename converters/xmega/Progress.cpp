#include "converters/xmega/Progress.h"

#include <utility>

namespace TWG {
namespace Converters {

Progress::Progress(Sink sink, int low, int high) : sink_(std::move(sink)), low_(low), high_(high) {}

int Progress::percentFor(std::uint32_t index, std::uint32_t count) const
{
    if (count == 0 || index >= count)
        return high_;
    return low_ + static_cast<int>(static_cast<std::int64_t>(index) * (high_ - low_) / count);
}

void Progress::report(std::uint32_t index, std::uint32_t count) const
{
    if (sink_)
        sink_(percentFor(index, count));
}

} // namespace Converters
} // namespace TWG
