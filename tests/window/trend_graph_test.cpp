#include "window_fixture.h"

class TrendGraph : public KvxWindowTest {
  protected:
    // The left-most graph column where row y shows the curve, or -1.
    int CurveColumn(int y) {
        for (int x = 365; x < 868; ++x) {
            if (platform::GetClientPixel(window, x, y) == platform::Rgb(0, 0, 255)) {
                return x;
            }
        }
        return -1;
    }
};

TEST_F(TrendGraph, PictureMovesOnePixelPerSampleAndStandsStillWhileFrozen) {
    settings.rollIndex.store(0);  // one sample per measurement message
    ASSERT_NE(Start(), nullptr);
    Feed({10, 10, 30});
    TickAndPaint(20);
    // Row 265 (15 %) is crossed only by the rise from 10 % to 30 %.
    const int column = CurveColumn(265);
    ASSERT_GT(column, 800);
    Feed({30});
    TickAndPaint(20);
    EXPECT_EQ(CurveColumn(265), column - 1);
    Feed({30, 30, 30});
    TickAndPaint(20);
    EXPECT_EQ(CurveColumn(265), column - 4);

    PressKey(Qt::Key_Pause, 2);  // held: toggles once
    TickAndPaint(20);
    const platform::Rect plot{346, 61, 934, 324};
    const auto frozen = Capture(plot);
    Feed({50, 50});
    TickAndPaint(20);
    EXPECT_EQ(Capture(plot), frozen);
    PressKey(Qt::Key_Pause);
    TickAndPaint(20);
    EXPECT_EQ(CurveColumn(195), 865);  // the samples kept while frozen are plotted now
}

TEST_F(TrendGraph, FullRedrawShowsOnlySamplesThatWereMeasured) {
    settings.rollIndex.store(0);
    ASSERT_NE(Start(), nullptr);
    Feed({60, 60, 60});
    TickAndPaint(20);
    platform::InvalidateRect(window, nullptr, true);  // an exposure: the graph comes from history
    platform::UpdateWindow(window);
    const uint32_t blue = platform::Rgb(0, 0, 255);
    EXPECT_EQ(platform::GetClientPixel(window, 865, 175), blue);  // 60 % at the newest column
    for (int x = 370; x < 860; x += 7) {
        ASSERT_NE(platform::GetClientPixel(window, x, 295), blue) << x;  // no 0 % before them
    }
}

TEST_F(TrendGraph, LimitLinesOnlyWithIdentityAndActiveLimit) {
    struct {
        const char* identity;
        uint16_t mode;
        bool drawn;
    } cases[] = {{"K1", 1, true}, {"", 1, false}, {"K1", 0, false}};
    for (const auto& c : cases) {
        ResetProgramState();
        parameterSet.deviceWords[limit2Mode].store(c.mode);
        parameterSet.deviceWords[limit2Setpoint].store(50);  // on row 195
        SetIdentity(c.identity);
        ASSERT_NE(Start(), nullptr);
        const uint32_t red = platform::Rgb(255, 0, 0);
        EXPECT_EQ(platform::GetClientPixel(window, 400, 195) == red, c.drawn) << c.identity;
        Feed({10, 10, 10, 10, 10, 10});
        TickAndPaint(20);
        EXPECT_EQ(platform::GetClientPixel(window, 866, 195) == red, c.drawn) << c.identity;
        Stop();
    }
}

TEST_F(TrendGraph, AlarmFreezesWhenTheCountdownEnds) {
    const int ticks[3] = {39, 119, 239};
    for (int roll = 0; roll < 3; ++roll) {
        ResetProgramState();
        settings.rollIndex.store(static_cast<uint16_t>(roll));
        settings.stopAtAlarm.store(1);
        ASSERT_EQ(SaveSettings(settings), 0);  // the window loads them as it starts
        ASSERT_NE(Start(), nullptr);
        Feed({65013});
        Tick(20, 20);
        Feed({65038});  // a later alarm restarts the count
        Tick(20, ticks[roll] - 1);
        EXPECT_EQ(windowFlags.frozen.load(), 0) << roll;
        Tick(20);
        EXPECT_EQ(windowFlags.frozen.load(), 1) << roll;
        Stop();
    }
}
