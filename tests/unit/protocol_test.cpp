#include "unit/test_support.h"

namespace {

class Protocol : public ::testing::Test {
  protected:
    void SetUp() override { ResetLinkState(); }
};

TEST_F(Protocol, EncodesLongMessages) {
    const std::pair<uint16_t, std::vector<uint8_t>> cases[] = {
        {65050, {0xF1, 0xE1, 0x11, 0xA1, 0x84, 0x0D}},
        {3000, {0x01, 0xB1, 0xB1, 0x81, 0xE4, 0x0D}},
        {0, {0x01, 0x01, 0x01, 0x01, 0x04, 0x0D}},
        {65055, {0xF1, 0xE1, 0x11, 0xF1, 0xD4, 0x0D}}};
    for (const auto& [word, bytes] : cases) {
        SendCommand(word);
        EXPECT_EQ(TakeAllTx(), bytes) << word;
    }
}

TEST_F(Protocol, ReceivedMessagesSetTheirValue) {
    using Field = std::atomic<int32_t> LiveValues::*;
    const Field m = &LiveValues::measurement, lo = &LiveValues::minPeak, hi = &LiveValues::maxPeak,
                dp = &LiveValues::dPdtPeak, du = &LiveValues::dUdtEvent;
    const struct {
        std::vector<uint8_t> bytes;
        Field field;
        int32_t expected;
        bool taken;  // false: dropped, the link timeout untouched
    } cases[] = {
        {{0x71, 0x31, 0xA2, 0x0D}, m, 115, true},
        {{0x71, 0x31, 0xA3, 0x0D}, m, -1, false},  // checksum
        {{0x0D}, m, -1, false},
        {{0x71, 0x71, 0x0D}, m, -1, false},  // one data byte: its "checksum" is no low nibble
        {{0x71, 0x31, 0xA2, 0x00, 0x55, 0x0D}, m, 115, true},  // a zero ends the message
        {{0x71, 0x31, 0x11, 0x11, 0x11, 0x11, 0xE6, 0x99, 0x98, 0x0D}, m, 115, true},  // cut to 7
        {{0x71, 0x31, 0x11, 0x11, 0x11, 0x11, 0x99, 0xE6, 0x0D}, m, -1, false},
        // Every class of long message from both sides.
        {Bytes(199), m, 199, true},
        {Bytes(200), m, -1, true},
        {Bytes(200), lo, 0, true},
        {Bytes(399), lo, 199, true},
        {Bytes(400), lo, -1, true},
        {Bytes(400), hi, 0, true},
        {Bytes(599), hi, 199, true},
        {Bytes(600), dp, 0, true},
        {Bytes(999), dp, 399, true},
        {Bytes(1000), dp, -1, true},
        {Bytes(MSG_DUDT - 1), du, 0, true},
        {Bytes(MSG_DUDT), du, 1, true},
        {Bytes(MSG_DUDT + 1), du, 0, true},
    };
    for (const auto& c : cases) {
        ResetLinkState();
        Feed(c.bytes);
        EXPECT_EQ((liveValues.*c.field).load(), c.expected) << &c - cases;
        EXPECT_EQ(liveValues.linkTimeout.load(), c.taken ? 15 : 20);
    }
}

// Any one bit of a long message flipped on the line: the message is dropped, never taken for
// another value (a taken message reloads the link timeout). Every seventh value keeps it quick
// while each nibble still takes every value.
TEST_F(Protocol, ASingleFlippedBitIsNeverTakenForAValue) {
    int taken = 0;
    for (uint32_t v = 0; v <= 0xFFFF; v += 7) {
        const std::vector<uint8_t> message = Bytes(static_cast<uint16_t>(v));
        for (int bit = 0; bit < 8 * kLongMessageSize; ++bit) {
            std::vector<uint8_t> flipped = message;
            flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            ResetProtocolState();
            Feed(flipped);
            if (liveValues.linkTimeout.load() != 20 && ++taken <= 5) {
                ADD_FAILURE() << "value " << v << " with bit " << bit << " flipped was taken";
            }
        }
    }
    EXPECT_EQ(taken, 0);
}

TEST_F(Protocol, EveryWordTakesItsWholeBandAndOnlyWordZeroSignals) {
    const int bands[kParameterCount][2] = {
        {3000, 3009}, {3100, 3199},   {20000, 29999}, {3070, 3074}, {3500, 3599}, {3010, 3019},
        {3200, 3299}, {30000, 64999}, {3075, 3079},   {3600, 3699}, {3020, 3029}, {3300, 3399},
        {3400, 3499}, {3030, 3039},   {10000, 19999}, {3040, 3049}, {3050, 3059}, {3060, 3064},
        {3080, 3099}, {3800, 9999},   {3700, 3799},   {3065, 3069}};
    replyEvent = platform::CreateEvent(true, false);
    for (int word = 0; word < kParameterCount; ++word) {
        SCOPED_TRACE(kParameterTable[word].name);
        const auto [first, last] = bands[word];
        EXPECT_LE(kParameterTable[word].maxValue, last - first);
        for (int code : {first, last, last + 1}) {  // the next band's first code
            parameterSet.deviceWords[word] = 0xFFFF;
            FeedWords({uint16_t(code)});
            EXPECT_EQ(parameterSet.deviceWords[word].load(), code > last ? 0xFFFF : code - first);
            EXPECT_EQ(platform::WaitForEvent(replyEvent, 0), word == 0 && code <= last);
            platform::ResetEvent(replyEvent);
        }
    }
    platform::CloseEvent(replyEvent.exchange(nullptr));
}

TEST_F(Protocol, IdentityFollowsWordZeroAndStaysTerminated) {
    Feed({0x01, 0xB1, 0xB1, 0xD1, 0x34, 0x0D});  // word 0 = 5; no event exists yet
    FeedWords({65265, 65266, 65213});
    EXPECT_EQ(parameterSet.deviceWords[0].load(), 5);
    EXPECT_EQ(IdentityText(), "AB");
    FeedWords({3000});
    for (int i = 0; i < 60; ++i)
        FeedWords({uint16_t(65200 + 'a' + i % 26)});
    FeedWords({65213});
    EXPECT_EQ(IdentityText().size(), 43u);
    EXPECT_EQ(liveValues.identity[43].load(), 0);
    FeedWords({3000, 65200 + 'Z', 65213});
    EXPECT_EQ(IdentityText(), "Z");
}

TEST_F(Protocol, ChunkSplitsDoNotMatter) {
    std::vector<uint8_t> stream = {0x71, 0x31, 0xA2, 0x0D};
    for (uint16_t w : {3105, 3000, 65265, 65213, 450}) {
        std::vector<uint8_t> m = Bytes(w);
        stream.insert(stream.end(), m.begin(), m.end());
    }
    for (int split = 0; split <= int(stream.size()); ++split) {
        ResetLinkState();
        ParseReceived(stream.data(), split);
        ParseReceived(stream.data() + split, int(stream.size()) - split);
        EXPECT_EQ(liveValues.measurement.load(), 115) << split;
        EXPECT_EQ(liveValues.maxPeak.load(), 50) << split;
        EXPECT_EQ(parameterSet.deviceWords[limit1Setpoint].load(), 5) << split;
        EXPECT_EQ(IdentityText(), "A") << split;
    }
}

TEST_F(Protocol, AlarmCodesStartTheCountdownOnlyWithStopAtAlarm) {
    const std::pair<uint16_t, int> cases[] = {{65000, 0}, {65012, 0}, {65013, 1}, {65024, 1},
                                              {65025, 0}, {65037, 0}, {65038, 1}, {65049, 1}};
    for (uint16_t stop : {0, 1}) {
        settings.stopAtAlarm = stop;
        for (auto [code, alarm] : cases) {
            windowFlags.alarmCountdown = 0;
            FeedWords({code});
            EXPECT_EQ(windowFlags.alarmCountdown.load(), stop * alarm) << code;
        }
    }
}

TEST_F(Protocol, TrendSamplesFollowTheRollDivider) {
    FeedWords({10, 11, 12, 13, 14, 15, 16});  // every third
    EXPECT_EQ(trendBuffer.sampleWrite.load(), 2);
    EXPECT_EQ(trendBuffer.sampleRing[1].load(), 30);
    settings.rollIndex = 0;  // the running count already passes the new divider
    FeedWords({17});
    settings.rollIndex = 9;  // out of range: every third
    FeedWords({1, 2, 3});
    EXPECT_EQ(trendBuffer.sampleWrite.load(), 4);
}

TEST_F(Protocol, QueueSendsOneWordPerTickAndRefusesOverflow) {
    FeedWords({50});
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(QueueWord(3000, uint16_t(i)), i < 31) << i;
    for (int i = 0; i < 31; ++i) {
        LinkTick();
        EXPECT_EQ(SentWords(), std::vector<uint16_t>{uint16_t(3000 + i)});
    }
    EXPECT_TRUE(CommandQueueEmpty());
    EXPECT_EQ(liveValues.linkTimeout.load(), 15);  // sending ticks do not count down
}

TEST(TxRing, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    TakeAllTx();
    std::vector<uint8_t> a(20, 0xA1), b(11, 0xB1);
    a[0] = b[0] = 0x55;
    ASSERT_TRUE(PutTxBytes(a.data(), 20));
    EXPECT_EQ(TakeAllTx(), a);  // the indexes now sit mid-ring
    ASSERT_TRUE(PutTxBytes(a.data(), 20) && PutTxBytes(b.data(), 11));  // 31 pending: full
    EXPECT_FALSE(PutTxBytes(b.data(), 1));
    std::vector<uint8_t> expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(TakeAllTx(), expected);
    ASSERT_TRUE(PutTxBytes(a.data(), 20) && PutTxBytes(b.data(), 6));
    EXPECT_FALSE(PutTxBytes(b.data(), 6));  // a message that does not fit leaves nothing behind
    EXPECT_EQ(TakeAllTx().size(), 26u);
}

}  // namespace
