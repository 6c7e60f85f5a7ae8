#include "params/parameter_set.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ParameterSetTest, ParseTimeText) {
    const struct {
        uint16_t range;
        const char* text;
        uint16_t expected;
    } cases[] = {
        {0, "5", 500},     {0, "1.5", 150},    {0, ",25", 25},     {0, "12.34", 1234},
        {0, "9.999", 999}, {0, "123", 9999},   {0, "", 0},         {0, ".", 0},
        {0, "1.2.3", 12},  {0, "123.4", 9999}, {0, "ab", 0},       {0, " 7", 700},
        {1, "5", 50},      {1, "12.34", 123},  {1, "999.9", 9999}, {1, "1000", 9999},
        {1, "0,5", 5},     {1, "99.99", 999},  {1, "1234.", 9999}, {7, "5", 50},
    };
    for (const auto& c : cases) {
        parameterSet.editWords[timerRange] = c.range;
        EXPECT_EQ(ParseTimeText(c.text, static_cast<int>(std::strlen(c.text))), c.expected)
            << "range " << c.range << " text \"" << c.text << "\"";
    }
    parameterSet.editWords[timerRange] = 0;
    EXPECT_GT(ParseTimeText("-1", 2), 9999);
    EXPECT_EQ(ParseTimeText("12.345678", 4), 1230);  // only the given length counts
}

TEST(ParameterSetTest, RescaleTimes) {
    parameterSet.editWords[limit1Tr] = 8000;
    parameterSet.editWords[limit2Tr] = 123;
    parameterSet.editWords[ts] = 65535;  // a device value far out of range must not wrap
    parameterSet.deviceWords[limit1Tr] = 8000;
    RescaleTimes(0);
    EXPECT_EQ(parameterSet.editWords[limit1Tr], 9999);
    EXPECT_EQ(parameterSet.editWords[limit2Tr], 1230);
    EXPECT_EQ(parameterSet.editWords[ts], 9999);
    RescaleTimes(1);
    EXPECT_EQ(parameterSet.editWords[limit1Tr], 999);
    EXPECT_EQ(parameterSet.editWords[limit2Tr], 123);
    EXPECT_EQ(parameterSet.deviceWords[limit1Tr].load(), 8000);  // the device copy stays
}

}  // namespace
