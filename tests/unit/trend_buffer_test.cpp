#include "unit/test_support.h"

namespace {

void Append(int32_t percent) {
    liveValues.measurement = percent;
    AppendTrendSample();
}

TEST(TrendBuffer, FirstSampleStandsAloneAndResyncWaitsForIt) {
    ResetLinkState();
    Append(10);
    ResyncTrend();  // nothing plotted yet: keeps the pending sample
    Append(20);
    TrendStep first{}, second{}, none{};
    ASSERT_TRUE(TakeTrendSample(&first) && TakeTrendSample(&second));
    EXPECT_FALSE(first.connect);
    EXPECT_TRUE(second.connect && second.from == 20 && second.to == 40);
    EXPECT_EQ(trendBuffer.historyRing[1], 40);
    Append(30);
    ResyncTrend();  // drops what is not plotted yet
    EXPECT_FALSE(TakeTrendSample(&none));
}

TEST(TrendBuffer, ReaderThreadAppendsWindowThreadPlotsInOrderAcrossTheWrap) {
    ResetLinkState();
    settings.rollIndex = 0;
    constexpr int kSamples = 1700;
    std::thread reader([] {
        for (int i = 0; i < kSamples; ++i) {
            // Stay within the ring, which does not detect overrun.
            while ((trendBuffer.sampleWrite - trendBuffer.sampleRead + kTrendSize) % kTrendSize >
                   kTrendSize - 10)
                std::this_thread::yield();
            FeedWords({uint16_t(i % 200)});
        }
    });
    TrendStep step{};
    bool inOrder = true;
    for (int taken = 0; taken < kSamples;) {
        if (TakeTrendSample(&step))
            inOrder = inOrder && step.to == taken++ % 200 * 2;
        else
            std::this_thread::yield();
    }
    reader.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(trendBuffer.historyPos, kSamples % kTrendSize);
    EXPECT_EQ(trendBuffer.historyRing[kSamples % kTrendSize - 1], (kSamples - 1) % 200 * 2);
}

}  // namespace
