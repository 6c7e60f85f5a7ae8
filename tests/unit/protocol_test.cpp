#include <cstring>
#include <string>

#include "unit/link_helpers.h"

namespace {

class Protocol : public ::testing::Test {
  protected:
    void SetUp() override { ResetLinkState(); }
};

std::string Identity() {
    char text[kIdentitySize];
    ReadIdentity(text);
    return text;
}

TEST_F(Protocol, EncodesAndSendsLongMessages) {
    const struct {
        uint16_t word;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {65050, {0xF1, 0xE1, 0x11, 0xA1, 0x84, 0x0D}},
        {3000, {0x01, 0xB1, 0xB1, 0x81, 0xE4, 0x0D}},
        {0, {0x01, 0x01, 0x01, 0x01, 0x04, 0x0D}},
        {65055, {0xF1, 0xE1, 0x11, 0xF1, 0xD4, 0x0D}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Bytes(c.word), c.bytes) << c.word;
        SendCommand(c.word);
        EXPECT_EQ(TakeAllTx(), c.bytes) << c.word;
    }
    SendPoll();
    EXPECT_EQ(SentWords(), std::vector<uint16_t>{CMD_POLL});
}

TEST_F(Protocol, ValueClassesSetTheirLiveValue) {
    using Field = std::atomic<int32_t> LiveValues::*;
    const struct {
        uint16_t word;
        Field field;
        int32_t expected;
    } cases[] = {
        {0, &LiveValues::measurement, 0},   {199, &LiveValues::measurement, 199},
        {200, &LiveValues::minPeak, 0},     {399, &LiveValues::minPeak, 199},
        {400, &LiveValues::maxPeak, 0},     {599, &LiveValues::maxPeak, 199},
        {600, &LiveValues::dPdtPeak, 0},    {999, &LiveValues::dPdtPeak, 399},
        {65052, &LiveValues::dUdtEvent, 1},
    };
    for (const auto& c : cases) {
        ResetLinkState();
        FeedWords({c.word});
        EXPECT_EQ((liveValues.*c.field).load(), c.expected) << c.word;
        EXPECT_EQ(liveValues.linkTimeout.load(), 15) << c.word;
    }
    for (uint16_t ignored : {1000, 2999, 65050, 65099, 65100, 65199, 65500, 65535}) {
        ResetLinkState();
        FeedWords({ignored});
        EXPECT_EQ(liveValues.linkTimeout.load(), 15) << ignored;
        EXPECT_EQ(liveValues.measurement.load(), -1) << ignored;
        EXPECT_EQ(windowFlags.valuesChanged.load(), 0) << ignored;
    }
}

TEST_F(Protocol, MessageFraming) {
    const struct {
        std::vector<uint8_t> bytes;
        int32_t measurement;  // -1: dropped
    } cases[] = {
        {{0x71, 0x31, 0xA2, 0x0D}, 115},                                      // short message
        {{0x71, 0x31, 0xA3, 0x0D}, -1},                                       // wrong checksum
        {{0x0D}, -1},                                                         // empty
        {{0x71, 0x31, 0xA2, 0x00, 0x55, 0x0D}, 115},                          // a zero ends it
        {{0x71, 0x31, 0x11, 0x11, 0x11, 0x11, 0xE6, 0x99, 0x98, 0x0D}, 115},  // cut to 7
        {{0x71, 0x31, 0x11, 0x11, 0x11, 0x11, 0x99, 0xE6, 0x0D}, -1},  // 8th byte not the sum
    };
    for (const auto& c : cases) {
        ResetLinkState();
        Feed(c.bytes);
        EXPECT_EQ(liveValues.measurement.load(), c.measurement);
        EXPECT_EQ(liveValues.linkTimeout.load(), c.measurement < 0 ? 20 : 15);
    }
}

TEST_F(Protocol, EveryBandBoundarySetsItsWord) {
    platform::EventHandle event = platform::CreateEvent(true, false);
    replyEvent = event;
    for (int word = 0; word < kParameterCount; ++word) {
        const ParameterInfo& info = kParameterTable[word];
        for (uint16_t value : {uint16_t{0}, static_cast<uint16_t>(info.bandSpan - 1)}) {
            parameterSet.deviceWords[word] = 0xFFFF;
            platform::ResetEvent(event);
            FeedWords({static_cast<uint16_t>(info.transferCode + value)});
            EXPECT_EQ(parameterSet.deviceWords[word].load(), value) << info.name;
            EXPECT_EQ(platform::WaitForEvent(event, 0), word == limit1Mode) << info.name;
        }
    }
    replyEvent = nullptr;
    platform::CloseEvent(event);
}

TEST_F(Protocol, WordZeroSignalsReplyAndRestartsIdentity) {
    platform::EventHandle event = platform::CreateEvent(true, false);
    FeedWords({65265, 65266});
    Feed({0x01, 0xB1, 0xB1, 0xD1, 0x34, 0x0D});  // word 0 = 5, before the event exists
    EXPECT_EQ(parameterSet.deviceWords[0].load(), 5);
    EXPECT_EQ(liveValues.identityPos.load(), 0);
    replyEvent = event;
    FeedWords({3000, 65265, 65266, 65213});
    EXPECT_TRUE(platform::WaitForEvent(event, 0));
    EXPECT_EQ(Identity(), "AB");
    replyEvent = nullptr;
    platform::CloseEvent(event);
}

TEST_F(Protocol, IdentityNeverOutgrowsItsBuffer) {
    FeedWords({3000});
    for (int i = 0; i < 60; ++i) {
        FeedWords({static_cast<uint16_t>(65200 + 'a' + i % 26)});
    }
    FeedWords({65213});
    EXPECT_EQ(Identity().size(), 43u);
    EXPECT_EQ(liveValues.identity[43].load(), 0);
    FeedWords({3000, 65200 + 'Z', 65213});
    EXPECT_EQ(Identity(), "Z");
}

TEST_F(Protocol, ChunkSplitsDoNotMatter) {
    std::vector<uint8_t> stream = {0x71, 0x31, 0xA2, 0x0D};
    for (uint16_t w : {3105, 3000, 65265, 65213, 450}) {
        std::vector<uint8_t> m = Bytes(w);
        stream.insert(stream.end(), m.begin(), m.end());
    }
    for (size_t split = 0; split <= stream.size(); ++split) {
        ResetLinkState();
        ParseReceived(stream.data(), static_cast<int>(split));
        ParseReceived(stream.data() + split, static_cast<int>(stream.size() - split));
        EXPECT_EQ(liveValues.measurement.load(), 115) << split;
        EXPECT_EQ(parameterSet.deviceWords[limit1Setpoint].load(), 5) << split;
        EXPECT_EQ(Identity(), "A") << split;
        EXPECT_EQ(liveValues.maxPeak.load(), 50) << split;
    }
}

TEST_F(Protocol, AlarmStatusStartsCountdownOnlyWithStopAtAlarm) {
    const struct {
        uint16_t code;
        bool alarm;
    } cases[] = {{65000, false}, {65012, false}, {65013, true}, {65024, true},
                 {65025, false}, {65037, false}, {65038, true}, {65049, true}};
    for (uint16_t stop : {0, 1}) {
        for (const auto& c : cases) {
            windowFlags.alarmCountdown = 0;
            settings.stopAtAlarm = stop;
            FeedWords({c.code});
            EXPECT_EQ(windowFlags.alarmCountdown.load(), stop && c.alarm ? 1 : 0) << c.code;
        }
    }
}

TEST_F(Protocol, TrendSamplesFollowTheRollDivider) {
    settings.rollIndex = 1;
    FeedWords({10, 11, 12, 13, 14, 15, 16});
    EXPECT_EQ(trendBuffer.sampleWrite.load(), 2);
    EXPECT_EQ(trendBuffer.sampleRing[1].load(), 30);
    settings.rollIndex = 0;  // the count (1) already reaches the new divider
    FeedWords({17});
    EXPECT_EQ(trendBuffer.sampleWrite.load(), 3);
    settings.rollIndex = 9;  // out of range counts as every third
    FeedWords({1, 2, 3});
    EXPECT_EQ(trendBuffer.sampleWrite.load(), 4);
}

TEST_F(Protocol, LinkTickBlanksOnceAfterSixteenIdleTicks) {
    static int invalidations;
    invalidations = 0;
    SetInvalidateWindowHook([](bool erase) {
        EXPECT_FALSE(erase);
        ++invalidations;
    });
    FeedWords({3000, 65265, 65213, 57, 420});
    for (int tick = 0; tick < 15; ++tick) {
        LinkTick();
    }
    EXPECT_EQ(liveValues.linkTimeout.load(), 0);
    EXPECT_EQ(liveValues.measurement.load(), 57);
    LinkTick();
    EXPECT_EQ(liveValues.measurement.load(), -1);
    EXPECT_EQ(liveValues.maxPeak.load(), -1);
    EXPECT_EQ(Identity(), "");
    EXPECT_EQ(windowFlags.panelRepaint.load(), 1);
    LinkTick();
    EXPECT_EQ(invalidations, 1);
}

TEST_F(Protocol, QueueSendsOnePerTickAndRefusesOverflow) {
    FeedWords({50});
    std::vector<uint16_t> queued;
    for (int i = 0; i < 32; ++i) {
        bool accepted = QueueWord(3000, static_cast<uint16_t>(i));
        EXPECT_EQ(accepted, i < 31) << i;
        if (accepted) {
            queued.push_back(static_cast<uint16_t>(3000 + i));
        }
    }
    std::vector<uint16_t> sent;
    for (size_t tick = 0; tick < queued.size(); ++tick) {
        LinkTick();
        std::vector<uint16_t> words = SentWords();
        ASSERT_EQ(words.size(), 1u);
        sent.push_back(words[0]);
    }
    EXPECT_EQ(sent, queued);
    EXPECT_TRUE(CommandQueueEmpty());
    EXPECT_EQ(liveValues.linkTimeout.load(), 15);  // sending ticks do not count down
    EXPECT_TRUE(QueueWord(30000, 34999));
    LinkTick();
    EXPECT_EQ(SentWords(), std::vector<uint16_t>{64999});
}

}  // namespace
