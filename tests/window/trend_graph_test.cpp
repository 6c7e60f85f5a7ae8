#include <cstring>

#include "app/settings.h"
#include "app/window_state.h"
#include "link/protocol.h"
#include "params/parameter_set.h"
#include "window_fixture.h"

namespace {

constexpr platform::Rect kPlotArea{346, 61, 934, 324};
constexpr uint32_t kRed = platform::Rgb(255, 0, 0);

}  // namespace

using TrendGraph = KvxWindowTest;

TEST_F(TrendGraph, PictureMovesOnePixelPerSample) {
    settings.rollIndex.store(0);  // one sample per measurement message
    ASSERT_NE(Start(), nullptr);
    for (uint16_t m : {10, 10, 30}) {
        Feed(m);
    }
    Tick(20);
    Paint();
    // Row 265 (15 %) is crossed only by the rise from 10 % to 30 %.
    const int column = CurveColumn(265);
    ASSERT_GT(column, 800);
    Feed(30);
    Tick(20);
    Paint();
    EXPECT_EQ(CurveColumn(265), column - 1);
    for (int i = 0; i < 3; ++i) {
        Feed(30);
    }
    Tick(20);
    Paint();
    EXPECT_EQ(CurveColumn(265), column - 4);
}

TEST_F(TrendGraph, LimitLinesOnlyWithIdentityAndActiveLimit) {
    struct Case {
        bool identity;
        uint16_t mode;
        bool drawn;
    } cases[] = {{true, 1, true}, {false, 1, false}, {true, 0, false}};
    for (const Case& c : cases) {
        ResetProgramState();
        settings.rollIndex.store(0);
        parameterSet.deviceWords[limit2Mode].store(c.mode);
        parameterSet.deviceWords[limit2Setpoint].store(50);  // 50 % lies on row 195
        char identity[kIdentitySize] = {};
        std::strcpy(identity, c.identity ? "K1" : "");
        StoreIdentity(identity);
        ASSERT_NE(Start(), nullptr);
        EXPECT_EQ(platform::GetClientPixel(window, 400, 195) == kRed, c.drawn) << c.identity;
        for (uint16_t m : {10, 10}) {
            Feed(m);
        }
        Tick(20);
        Paint();
        EXPECT_EQ(platform::GetClientPixel(window, 866, 195) == kRed, c.drawn) << c.identity;
        Stop();
    }
}

TEST_F(TrendGraph, PauseFreezesAndUnfreezes) {
    settings.rollIndex.store(0);
    ASSERT_NE(Start(), nullptr);
    for (uint16_t m : {10, 10, 30}) {
        Feed(m);
    }
    Tick(20);
    Paint();
    Key(platform::kKeyPause, true);
    Key(platform::kKeyPause, true);  // auto-repeat does not toggle back
    Key(platform::kKeyPause, false);
    ASSERT_EQ(windowFlags.frozen.load(), 1);
    Tick(20);
    Paint();
    const auto frozen = Capture(kPlotArea);
    Feed(50);
    Feed(50);
    Tick(20);
    Paint();
    EXPECT_EQ(Capture(kPlotArea), frozen);
    Key(platform::kKeyPause, true);
    Key(platform::kKeyPause, false);
    EXPECT_EQ(windowFlags.frozen.load(), 0);
    Tick(20);
    Paint();
    EXPECT_EQ(CurveColumn(195), 865);  // the samples kept while frozen are plotted now
}

TEST_F(TrendGraph, AlarmFreezesAfterCountdown) {
    const int ticks[3] = {39, 119, 239};
    for (int roll = 0; roll < 3; ++roll) {
        ResetProgramState();
        settings.rollIndex.store(static_cast<uint16_t>(roll));
        settings.stopAtAlarm.store(1);
        ASSERT_EQ(SaveSettings(settings), 0);  // the window loads them as it starts
        ASSERT_NE(Start(), nullptr);
        Feed(65013);
        Tick(20, 20);
        Feed(65038);  // a later alarm restarts the count
        Tick(20, ticks[roll] - 1);
        EXPECT_EQ(windowFlags.frozen.load(), 0) << roll;
        Tick(20);
        EXPECT_EQ(windowFlags.frozen.load(), 1) << roll;
        EXPECT_EQ(windowFlags.alarmCountdown.load(), 0) << roll;
        Stop();
    }
}
