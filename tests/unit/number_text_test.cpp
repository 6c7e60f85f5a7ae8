// The number fields' text rules, and what a typed number may become in the edit copy.
#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "params/parameter_set.h"

namespace {

TEST(NumberText, ReadsPlainDecimalsWithBlanksAroundAndNothingElse) {
    const struct {
        const char* text;
        uint32_t expected;
    } cases[] = {
        {"42", 42},
        {" \t42\t ", 42},
        {"007", 7},
        {"", 0},
        {"4 2", 0},
        {"-5", 0},
        {"12a", 0},
        {"0x10", 0},
        {"4294967295", 4294967295u},
        {"4294967296", 0},
        {"000004294967295", 4294967295u},
        {"5\xA0", 0},  // a no-break space is not a blank
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ParseNumberText(c.text, static_cast<int>(std::strlen(c.text))),
                  c.expected)
            << '"' << c.text << '"';
    }
}

TEST(NumberText, ReadsOnlyTheGivenLengthAndStopsAtATerminator) {
    EXPECT_EQ(platform::ParseNumberText("123", 2), 12u);
    EXPECT_EQ(platform::ParseNumberText("12\0x", 4), 12u);
    EXPECT_EQ(platform::ParseNumberText("12", 0), 0u);
    EXPECT_EQ(platform::ParseNumberText(nullptr, 5), 0u);
}

TEST(NumberText, EveryShownNumberReadsBackAsItself) {
    for (uint32_t value : {0u, 1u, 9u, 10u, 99u, 100u, 65535u, 4294967294u, 4294967295u}) {
        char text[platform::kNumberTextSize];
        const int digits = platform::FormatNumberText(value, text);
        EXPECT_EQ(digits, static_cast<int>(std::strlen(text)));
        EXPECT_EQ(platform::ParseNumberText(text, digits), value) << text;
    }
}

TEST(TypedNumber, StoredOnlyWithinTheWordsRange) {
    const struct {
        int word;
        uint16_t p1MinNow, p1MaxNow;
        uint32_t number;
        bool stored;
    } cases[] = {
        // Each field's limits from both sides.
        {limit1Setpoint, 0, 100, 4, false},
        {limit1Setpoint, 0, 100, 5, true},
        {limit2Setpoint, 0, 100, 99, true},
        {limit2Setpoint, 0, 100, 100, false},
        {dpdtSetpoint, 0, 100, 4, false},
        {dpdtSetpoint, 0, 100, 99, true},
        {limit1Hysteresis, 0, 100, 1, false},
        {limit1Hysteresis, 0, 100, 2, true},
        {limit2Hysteresis, 0, 100, 50, true},
        {limit2Hysteresis, 0, 100, 51, false},
        {dudt, 0, 100, 0, true},
        {dudt, 0, 100, 20, true},
        {dudt, 0, 100, 21, false},
        {limit1Setpoint, 0, 100, 65541, false},  // no wrap
        // p1Max from p1Min + 10 to 100; p1Min from 0 to p1Max - 10, and never above 90.
        {p1Max, 5, 100, 14, false},
        {p1Max, 5, 100, 15, true},
        {p1Max, 5, 100, 100, true},
        {p1Max, 5, 100, 101, false},
        {p1Max, 0, 100, 9, false},
        {p1Max, 0, 100, 10, true},
        {p1Min, 0, 10, 0, true},
        {p1Min, 0, 10, 1, false},
        {p1Min, 0, 5, 0, false},  // p1Max below 10
        {p1Min, 0, 60, 50, true},
        {p1Min, 0, 60, 51, false},
        // A device p1Max above 100 must not let p1Min reach into p1Max's code band.
        {p1Min, 0, 200, 91, false},
        {p1Min, 0, 200, 90, true},
        {limit1Mode, 0, 100, 1, true},
        {kParameterCount, 0, 100, 1, false},
    };
    for (const auto& c : cases) {
        for (uint16_t& w : parameterSet.editWords) {
            w = 77;
        }
        parameterSet.editWords[p1Min] = c.p1MinNow;
        parameterSet.editWords[p1Max] = c.p1MaxNow;
        uint16_t before[kParameterCount];
        std::memcpy(before, parameterSet.editWords, sizeof before);
        EXPECT_EQ(StoreTypedNumber(c.word, c.number), c.stored) << c.word << " " << c.number;
        if (c.stored) {
            before[c.word] = static_cast<uint16_t>(c.number);
        }
        EXPECT_EQ(std::memcmp(before, parameterSet.editWords, sizeof before), 0) << c.word;
    }
}

}  // namespace
