#include "app/panel.h"

#include "window_fixture.h"

namespace {

// The panel left of the Reset buttons, the identity bar, the dP/dt value, the dU/dt indicator.
constexpr platform::Rect kValuesArea{26, 61, 256, 324};
constexpr platform::Rect kIdentityArea{26, 16, 934, 49};
constexpr platform::Rect kDpdtValue{182, 246, 256, 276};
constexpr platform::Rect kDudtArea{190, 276, 261, 302};
using platform::MessageType;

std::string Sent() {
    uint8_t bytes[kTxRingSize];
    return std::string(reinterpret_cast<char*>(bytes), TakeTxBytes(bytes));
}

}  // namespace

TEST(PanelText, MeasurementAndPeaks) {
    struct {
        int32_t value;
        const char *measurement, *peak;
    } cases[] = {{-1, "--", "--"}, {7, "07", "  07"}, {99, "99", "  99"}, {100, "100", "  100"}};
    char out[16];
    for (const auto& c : cases) {
        FormatMeasurement(c.value, out);
        EXPECT_STREQ(out, c.measurement);
        FormatPeak(c.value, out);
        EXPECT_STREQ(out, c.peak);
        FormatDpdtPeak(c.value, 0, out);  // function off
        EXPECT_STREQ(out, "  --");
    }
}

using PanelPaint = KvxWindowTest;

TEST_F(PanelPaint, ShorterMeasurementLeavesNoStrayDigit) {
    ASSERT_NE(Start(), nullptr);
    liveValues.measurement.store(45);
    TickAndPaint(300);
    const auto direct = Capture(kValuesArea);
    Stop();
    ResetProgramState();
    ASSERT_NE(Start(), nullptr);
    // Through the 300 ms rule; then with the value passing 99 between the tick and its paint.
    for (int32_t before : {123, 99}) {
        liveValues.measurement.store(before);
        Tick(300);
        liveValues.measurement.store(123);
        Paint();
        ASSERT_NE(Capture(kValuesArea), direct);
        liveValues.measurement.store(45);
        TickAndPaint(300);
        EXPECT_EQ(Capture(kValuesArea), direct) << before;
    }
}

TEST_F(PanelPaint, DpdtRow) {
    ASSERT_NE(Start(), nullptr);
    const auto blank = Capture(kDpdtValue);
    Feed({600 + 57});  // function off: dashes whatever the peak
    TickAndPaint(300);
    EXPECT_EQ(Capture(kDpdtValue), blank);
    Feed({3020 + 1, 600});
    TickAndPaint(300);
    const auto zero = Capture(kDpdtValue);
    EXPECT_NE(zero, blank);
    Feed({600 + 150});
    TickAndPaint(300);
    ASSERT_NE(Capture(kDpdtValue), zero);
    Sent();
    Send(MessageType::Command, kResetDpdtButton);
    EXPECT_EQ(Sent(), Encoded(CMD_RESET_DPDT_PEAK));
    TickAndPaint(300);
    EXPECT_EQ(Capture(kDpdtValue), zero);  // "00" at once, no hundreds digit left over
    Feed({600 + 150});
    TickAndPaint(300);
    Feed({3020});  // the function is switched off under a three-digit peak
    TickAndPaint(300);
    EXPECT_EQ(Capture(kDpdtValue), blank);
}

TEST_F(PanelPaint, IdentityShownWhileTheValuesStandStill) {
    ASSERT_NE(Start(), nullptr);
    Feed({57});
    TickAndPaint(300);
    const auto before = Capture(kIdentityArea);
    Feed({65200 + 'K', 65200 + '7', MSG_IDENTITY_END});
    TickAndPaint(300);
    EXPECT_NE(Capture(kIdentityArea), before);
}

TEST_F(PanelPaint, DudtIndicatorShownByOneRepaintErasedByTheNext) {
    ASSERT_NE(Start(), nullptr);
    const auto blank = Capture(kDudtArea);
    Feed({MSG_DUDT});
    TickAndPaint(20);  // a graph-only paint leaves it pending
    TickAndPaint(300);
    EXPECT_NE(Capture(kDudtArea), blank);
    TickAndPaint(300);
    EXPECT_EQ(Capture(kDudtArea), blank);
}

TEST_F(PanelPaint, LinkLossBlanksEverythingOnSixteenthIdleTick) {
    ASSERT_NE(Start(), nullptr);
    const auto blankValues = Capture(kValuesArea);
    const auto blankIdentity = Capture(kIdentityArea);
    Feed({400 + 88, 200 + 12, 600 + 150, 3000, 65200 + 'K', 65213, 57});
    TickAndPaint(300);
    const auto shown = Capture(kValuesArea);
    ASSERT_NE(shown, blankValues);
    ASSERT_NE(Capture(kIdentityArea), blankIdentity);
    Tick(50, 15);
    Paint();
    EXPECT_EQ(Capture(kValuesArea), shown);
    TickAndPaint(50);
    EXPECT_EQ(Capture(kValuesArea), blankValues);
    EXPECT_EQ(Capture(kIdentityArea), blankIdentity);
}

TEST_F(PanelPaint, ButtonsAndTheHeldKeySendTheirCommandOnce) {
    ASSERT_NE(Start(), nullptr);
    Sent();
    PressKey(Qt::Key_Space, 2);
    PressKey(Qt::Key_Space);
    Send(MessageType::Command, kResetMaxButton);
    Send(MessageType::Command, kResetMinButton);
    EXPECT_EQ(Sent(), Encoded(CMD_SPACE) + Encoded(CMD_SPACE) + Encoded(CMD_RESET_MAX_PEAK) +
                          Encoded(CMD_RESET_MIN_PEAK));
}
