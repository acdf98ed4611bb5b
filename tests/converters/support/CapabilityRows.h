#pragma once

#include "converters/IConverter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace convtest {

// Flags: A adjustable, G video gains, U audio, D downconversion, E AES/EBU, X DVI extender,
// T tally, C clamping, L video level, H HDMI instant lock, M LUT, S SD aspect.
struct Row {
    std::uint16_t product;
    const char* flags;
    int videoOut;
    int audioOut;
    int channels;
    int controlBitField;
};

// Written from the model table, one row per id, not from the code.
inline const Row kRows[] = {
    {0xBD15, "AGUDEC", 1, 1, 2, 0}, {0xBD91, "AGUDEC", 1, 1, 2, 0}, {0xBD2E, "AGUDE", 1, 1, 2, 0},
    {0xBD16, "AGUE", 0, 0, 2, 0},   {0xBD2F, "AGUE", 0, 0, 2, 0},   {0xBD46, "AGUE", 0, 0, 2, 0},
    {0xBDCF, "AGUE", 0, 0, 2, 0},   {0xBD17, "AUEC", 0, 1, 2, 0},   {0xBD95, "AUECH", 0, 1, 2, 0},
    {0xBDF2, "AUECM", 0, 1, 2, 0},  {0xBD18, "AUDE", 0, 0, 2, 0},   {0xBD47, "AUDE", 0, 0, 2, 6},
    {0xBD96, "AUE", 0, 0, 2, 6},    {0xBDF6, "AUE", 0, 0, 2, 6},    {0xBD30, "", 0, 0, 0, 0},
    {0xBD31, "", 0, 0, 0, 0},       {0xBDD0, "", 0, 0, 0, 0},       {0xBD27, "AUE", 0, 0, 4, 0},
    {0xBD94, "AUE", 0, 0, 4, 0},    {0xBDE7, "AUEL", 0, 0, 4, 0},   {0xBD33, "AUE", 0, 0, 4, 0},
    {0xBD28, "AUE", 0, 1, 4, 0},    {0xBD34, "AUE", 0, 1, 4, 0},    {0xBD93, "AUE", 0, 1, 4, 0},
    {0xBD2C, "AUX", 0, 0, 2, 0},    {0xBD54, "AT", 0, 0, 0, 0},     {0xBDC5, "AC", 0, 0, 0, 0},
    {0xBDC6, "AL", 0, 0, 0, 0},     {0xBE0C, "ACL", 0, 0, 0, 0},    {0xBE06, "AS", 0, 0, 0, 0},
    // Listed models without a row of their own, and ids that are no converter.
    {0xBD19, "", 0, 0, 0, 0},       {0xBD32, "", 0, 0, 0, 0},       {0xBD41, "", 0, 0, 0, 0},
    {0xBD53, "", 0, 0, 0, 0},       {0xBD55, "", 0, 0, 0, 0},       {0xBD5F, "", 0, 0, 0, 0},
    {0xBD60, "", 0, 0, 0, 0},       {0xBD69, "", 0, 0, 0, 0},       {0xBD6A, "", 0, 0, 0, 0},
    {0xBD82, "", 0, 0, 0, 0},       {0xBD83, "", 0, 0, 0, 0},       {0xBD84, "", 0, 0, 0, 0},
    {0xBD85, "", 0, 0, 0, 0},       {0xBD92, "", 0, 0, 0, 0},       {0xBDB8, "", 0, 0, 0, 0},
    {0xBE00, "", 0, 0, 0, 0},       {0xBD86, "", 0, 0, 0, 0},       {0x1234, "", 0, 0, 0, 0},
};

inline bool has(const Row& r, char flag) { return std::string(r.flags).find(flag) != std::string::npos; }


// Every capability getter of the converter answers as the row says.
inline void expectCapabilities(TWG::Converters::IConverter& c, const Row& r)
{
    bool b = !has(r, 'A');
    int i = -1;
    ASSERT_TRUE(c.hasAdjustableSettings(&b));
    EXPECT_EQ(b, has(r, 'A'));
    ASSERT_TRUE(c.hasVideoGains(&b));
    EXPECT_EQ(b, has(r, 'G'));
    ASSERT_TRUE(c.hasAudio(&b));
    EXPECT_EQ(b, has(r, 'U'));
    ASSERT_TRUE(c.hasDownconversion(&b));
    EXPECT_EQ(b, has(r, 'D'));
    ASSERT_TRUE(c.hasAesEbuLevel(&b));
    EXPECT_EQ(b, has(r, 'E'));
    ASSERT_TRUE(c.hasDviExtender(&b));
    EXPECT_EQ(b, has(r, 'X'));
    ASSERT_TRUE(c.hasTally(&b));
    EXPECT_EQ(b, has(r, 'T'));
    ASSERT_TRUE(c.hasClamping(&b));
    EXPECT_EQ(b, has(r, 'C'));
    ASSERT_TRUE(c.hasVideoLevel(&b));
    EXPECT_EQ(b, has(r, 'L'));
    ASSERT_TRUE(c.hasHdmiInstantLock(&b));
    EXPECT_EQ(b, has(r, 'H'));
    ASSERT_TRUE(c.hasLut(&b));
    EXPECT_EQ(b, has(r, 'M'));
    ASSERT_TRUE(c.hasSdAspect(&b));
    EXPECT_EQ(b, has(r, 'S'));
    ASSERT_TRUE(c.videoLevelsAreOutput(&i));
    EXPECT_EQ(i, r.videoOut);
    ASSERT_TRUE(c.audioLevelsAreOutput(&i));
    EXPECT_EQ(i, r.audioOut);
    ASSERT_TRUE(c.getAudioChannelCount(&i));
    EXPECT_EQ(i, r.channels);
}

} // namespace convtest
