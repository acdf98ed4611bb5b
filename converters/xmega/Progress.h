#pragma once

#include <cstdint>
#include <functional>

namespace TWG {
namespace Converters {

// Maps block i of n onto [low, high] and hands the percentage to a sink.
class Progress {
public:
    using Sink = std::function<void(int percent)>;

    Progress(Sink sink, int low, int high);

    int percentFor(std::uint32_t index, std::uint32_t count) const;
    void report(std::uint32_t index, std::uint32_t count) const;

private:
    Sink sink_;
    int low_;
    int high_;
};

} // namespace Converters
} // namespace TWG
