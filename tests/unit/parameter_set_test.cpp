#include "params/parameter_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

class ParameterSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < kParameterCount; ++i) {
            parameterSet.deviceWords[i] = 0;
            parameterSet.editWords[i] = 0;
        }
    }
    static void UseRange(uint16_t range) { parameterSet.editWords[timerRange] = range; }
};

struct ParseCase {
    uint16_t range;
    const char* text;
    uint16_t expected;
};

TEST_F(ParameterSetTest, ParseTimeText) {
    const ParseCase cases[] = {
        {0, "5", 500},     {0, "1.5", 150},    {0, ",25", 25},     {0, "12.34", 1234},
        {0, "9.999", 999}, {0, "123", 9999},   {0, "", 0},         {0, ".", 0},
        {0, "1.2.3", 12},  {0, "12", 1200},    {0, "123.4", 9999}, {0, "ab", 0},
        {0, " 7", 700},    {0, "1234.", 9999}, {0, "0.05", 5},     {1, "5", 50},
        {1, "12.34", 123}, {1, "999.9", 9999}, {1, "1000", 9999},  {1, "0,5", 5},
        {1, "99.99", 999}, {1, "123", 1230},   {1, "1234.", 9999}, {1, ".", 0},
        {7, "5", 50},  // any range other than 0 counts in tenths
    };
    for (const ParseCase& c : cases) {
        UseRange(c.range);
        EXPECT_EQ(ParseTimeText(c.text, static_cast<int>(std::strlen(c.text))), c.expected)
            << "range " << c.range << " text \"" << c.text << "\"";
    }
    UseRange(0);
    EXPECT_GT(ParseTimeText("-1", 2), 9999);
    // Only the given length counts, not the terminator.
    EXPECT_EQ(ParseTimeText("12.345678", 4), 1230);
}

TEST_F(ParameterSetTest, FormatTimeText) {
    struct Case {
        uint16_t range, value;
        const char* text;
    };
    const Case cases[] = {{0, 1234, "12.34"}, {0, 5, "0.05"},      {0, 9999, "99.99"},
                          {0, 0, "0.00"},     {1, 1234, "123.4"},  {1, 5, "0.5"},
                          {1, 9999, "999.9"}, {1, 65535, "6553.5"}};
    for (const Case& c : cases) {
        UseRange(c.range);
        char out[16];
        FormatTimeText(c.value, out);
        EXPECT_STREQ(out, c.text) << c.value;
    }
}

TEST_F(ParameterSetTest, RescaleTimesBothWays) {
    parameterSet.editWords[limit1Tr] = 8000;
    parameterSet.editWords[limit2Tr] = 123;
    parameterSet.editWords[ts] = 1000;
    parameterSet.deviceWords[limit1Tr] = 8000;
    RescaleTimes(0);
    EXPECT_EQ(parameterSet.editWords[limit1Tr], 9999);
    EXPECT_EQ(parameterSet.editWords[limit2Tr], 1230);
    EXPECT_EQ(parameterSet.editWords[ts], 9999);
    RescaleTimes(1);
    EXPECT_EQ(parameterSet.editWords[limit1Tr], 999);
    EXPECT_EQ(parameterSet.editWords[limit2Tr], 123);
    EXPECT_EQ(parameterSet.editWords[ts], 999);
    parameterSet.editWords[ts] = 1234;
    RescaleTimes(1);
    EXPECT_EQ(parameterSet.editWords[ts], 123);
    parameterSet.editWords[ts] = 65535;  // a device value far out of range must not wrap
    RescaleTimes(0);
    EXPECT_EQ(parameterSet.editWords[ts], 9999);
    EXPECT_EQ(parameterSet.deviceWords[limit1Tr].load(), 8000);
    EXPECT_EQ(parameterSet.editWords[limit1Mode], 0);
}

TEST_F(ParameterSetTest, CopyDeviceToEditCopiesEveryWord) {
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i] = static_cast<uint16_t>(1000 + i);
        parameterSet.editWords[i] = 7;
    }
    CopyDeviceToEdit();
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(parameterSet.editWords[i], 1000 + i);
    }
}

TEST(ParameterBands, EveryWordAtItsBandEdges) {
    // Transfer code and the last code of each band, in word order.
    const uint16_t bands[kParameterCount][2] = {
        {3000, 3009}, {3100, 3199},   {20000, 29999}, {3070, 3074}, {3500, 3599}, {3010, 3019},
        {3200, 3299}, {30000, 64999}, {3075, 3079},   {3600, 3699}, {3020, 3029}, {3300, 3399},
        {3400, 3499}, {3030, 3039},   {10000, 19999}, {3040, 3049}, {3050, 3059}, {3060, 3064},
        {3080, 3099}, {3800, 9999},   {3700, 3799},   {3065, 3069}};
    for (int i = 0; i < kParameterCount; ++i) {
        SCOPED_TRACE(kParameterTable[i].name);
        EXPECT_EQ(kParameterTable[i].transferCode, bands[i][0]);
        EXPECT_EQ(FindParameterBand(bands[i][0]), i);
        EXPECT_EQ(FindParameterBand(bands[i][1]), i);
        // The word's highest valid value stays inside its own band.
        EXPECT_EQ(
            FindParameterBand(static_cast<uint16_t>(bands[i][0] + kParameterTable[i].maxValue)), i);
        // The code just past the band belongs to another word or to nothing.
        EXPECT_NE(FindParameterBand(static_cast<uint16_t>(bands[i][1] + 1)), i);
    }
    EXPECT_EQ(FindParameterBand(2999), -1);
    EXPECT_EQ(FindParameterBand(65000), -1);
    EXPECT_EQ(FindParameterBand(0), -1);
}

}  // namespace
