#include "unit/link_helpers.h"

namespace {

void AppendMeasurement(int32_t percent) {
    liveValues.measurement = percent;
    AppendTrendSample();
}

TEST(TrendBuffer, FirstSampleStandsAloneAndHistoryFollowsThePlot) {
    ResetLinkState();
    ResyncTrend();  // nothing plotted yet: keeps what is pending
    AppendMeasurement(10);
    ResyncTrend();
    AppendMeasurement(20);
    TrendStep step{};
    ASSERT_TRUE(TakeTrendSample(&step));
    EXPECT_EQ(step.to, 20);
    EXPECT_FALSE(step.connect);
    ASSERT_TRUE(TakeTrendSample(&step));
    EXPECT_EQ(step.from, 20);
    EXPECT_EQ(step.to, 40);
    EXPECT_TRUE(step.connect);
    EXPECT_FALSE(TakeTrendSample(&step));
    EXPECT_EQ(trendBuffer.historyPos, 2);
    EXPECT_EQ(trendBuffer.historyRing[1], 40);
    AppendMeasurement(30);
    ResyncTrend();  // after the first plot: drops the pending sample
    EXPECT_FALSE(TakeTrendSample(&step));
}

TEST(TrendBuffer, IndexesWrapAt500) {
    ResetLinkState();
    TrendStep step{};
    for (int i = 0; i < 700; ++i) {
        AppendMeasurement(i % 200);
        ASSERT_LT(trendBuffer.sampleWrite.load(), kTrendSize);
        ASSERT_TRUE(TakeTrendSample(&step));
        ASSERT_EQ(step.to, i % 200 * 2);
    }
    EXPECT_EQ(trendBuffer.historyPos, 200);
    EXPECT_EQ(trendBuffer.historyRing[199], 699 % 200 * 2);
}

TEST(TrendBuffer, ReaderThreadProducesWindowThreadConsumesInOrder) {
    ResetLinkState();
    settings.rollIndex = 0;
    constexpr int kSamples = 5000;
    std::thread reader([] {
        for (int i = 0; i < kSamples; ++i) {
            // Stay within the ring, which does not detect overrun.
            while ((trendBuffer.sampleWrite - trendBuffer.sampleRead + kTrendSize) % kTrendSize >
                   kTrendSize - 10) {
                std::this_thread::yield();
            }
            FeedWords({static_cast<uint16_t>(i % 200)});
        }
    });
    TrendStep step{};
    bool inOrder = true;
    for (int taken = 0; taken < kSamples;) {
        if (TakeTrendSample(&step)) {
            inOrder = inOrder && step.to == taken % 200 * 2;
            ++taken;
        } else {
            std::this_thread::yield();
        }
    }
    reader.join();
    EXPECT_TRUE(inOrder);
}

}  // namespace
