#include "plugins/zanthic/device/FirmwareVersion.h"

#include <gtest/gtest.h>

using TWG::Zanthic::firmwareVersionsMatch;
using TWG::Zanthic::parseFirmwareVersion;

TEST(FirmwareVersion, MatchesKeyByKey)
{
    struct Row {
        const char* a;
        const char* b;
        bool match;
    };
    const Row rows[] = {
        {"fpga:0000001a xmega:00000002", "xmega:2 fpga:1A", true},
        {"fpga:0000001a xmega:00000002", "fpga:1a xmega:2 extra:5", true},
        {"fpga:0000001a xmega:00000002", "fpga:1a", false},
        {"fpga:1a", "FPGA:1a", false},
        {"fpga:1a", "fpga:1b", false},
        {"0000b6f1", "0000b6f1", true},
        {"0000b6f1", "0000B6F1", false},
        {"0000b6f1", "fpga:b6f1", false},
        {"", "", true},
        {"", "fpga:1", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(firmwareVersionsMatch(QString::fromLatin1(row.a), QString::fromLatin1(row.b)), row.match)
            << row.a << " | " << row.b;
}

TEST(FirmwareVersion, ParsesPairsLaterKeysWinAndOverlongNumbersAreLeftOut)
{
    const auto v = parseFirmwareVersion(QStringLiteral(" fpga:1a junk xmega:ff fpga:2 big:123456789 x:"));
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v.at(QStringLiteral("fpga")), 2u);
    EXPECT_EQ(v.at(QStringLiteral("xmega")), 0xFFu);
}
