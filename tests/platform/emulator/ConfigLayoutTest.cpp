#include "platform/emulator/ConfigLayout.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

using platform::ConfigLayout;

namespace {

// A configuration with one interface and one endpoint, then whatever the case appends.
Bytes configuration(const Bytes& tail, int totalAdjust = 0)
{
    Bytes b{9, 2, 0, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0, 7, 5, 0x02, 2, 0x00, 0x02, 0};
    b.insert(b.end(), tail.begin(), tail.end());
    const int total = static_cast<int>(b.size()) + totalAdjust;
    b[2] = static_cast<std::uint8_t>(total & 0xFF);
    b[3] = static_cast<std::uint8_t>(total >> 8);
    return b;
}

TEST(ConfigLayout, StopsAtMalformedDescriptorsFromTheDevice)
{
    const struct {
        const char* name;
        Bytes bytes;
        std::size_t interfaces;
    } cases[] = {
        {"well formed", configuration({9, 4, 1, 0, 0, 0xFE, 1, 2, 0}), 2},
        {"zero length", configuration({0, 4, 1, 0, 0, 0xFE, 1, 2, 0}), 1},
        {"runs past the end", configuration({9, 4, 1, 0, 0}), 1},
        {"total beyond the bytes", configuration({9, 4, 1, 0, 0, 0xFE, 1, 2, 0}, 300), 2},
        {"total cuts the second interface", configuration({9, 4, 1, 0, 0, 0xFE, 1, 2, 0}, -9), 1},
        {"too short for a configuration", Bytes{9, 2, 0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ConfigLayout layout = ConfigLayout::parse(c.bytes);
        EXPECT_EQ(layout.interfaces.size(), c.interfaces);
        if (!layout.interfaces.empty()) {
            ASSERT_EQ(layout.interfaces[0].endpoints.size(), 1u);
            EXPECT_EQ(layout.interfaces[0].endpoints[0].maxPacketSize, 512);
        }
    }
}

} // namespace
