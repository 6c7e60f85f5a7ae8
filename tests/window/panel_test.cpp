#include "app/panel.h"

#include <cstring>
#include <string>

#include "app/window_state.h"
#include "link/protocol.h"
#include "link/tx_ring.h"
#include "window_fixture.h"

namespace {

// The panel left of the Reset buttons, and the identity bar, inside their frames.
constexpr platform::Rect kValuesArea{26, 61, 256, 324};
constexpr platform::Rect kIdentityArea{26, 16, 934, 49};
constexpr platform::Rect kDpdtValue{182, 246, 256, 276};
constexpr platform::Rect kDudtArea{190, 276, 261, 302};

std::string Text(void (*format)(int32_t, char*), int32_t value) {
    char out[16];
    format(value, out);
    return out;
}

std::string Pending() {
    uint8_t bytes[kTxRingSize];
    return std::string(reinterpret_cast<char*>(bytes), TakeTxBytes(bytes));
}

std::string Encoded(uint16_t word) {
    uint8_t bytes[kLongMessageSize];
    EncodeLongMessage(word, bytes);
    return std::string(reinterpret_cast<char*>(bytes), kLongMessageSize);
}

}  // namespace

TEST(PanelText, ValueFormats) {
    struct Case {
        int32_t value;
        const char* measurement;
        const char* peak;
    } cases[] = {{-1, "--", "--"},   {0, "00", "  00"},     {5, "05", "  05"},    {7, "07", "  07"},
                 {99, "99", "  99"}, {100, "100", "  100"}, {199, "199", "  199"}};
    for (const Case& c : cases) {
        EXPECT_EQ(Text(FormatMeasurement, c.value), c.measurement) << c.value;
        EXPECT_EQ(Text(FormatPeak, c.value), c.peak) << c.value;
    }
    char out[16];
    for (int32_t value : {-1, 0, 57, 399}) {
        FormatDpdtPeak(value, 0, out);
        EXPECT_STREQ(out, "  --");
    }
    FormatDpdtPeak(-1, 1, out);
    EXPECT_STREQ(out, "--");
    FormatDpdtPeak(0, 2, out);
    EXPECT_STREQ(out, "  00");
}

TEST(PanelText, IdentityLine) {
    ResetProgramState();
    char line[kIdentityLineSize];
    BuildIdentityLine(57, line);
    EXPECT_EQ(std::string(line), "Tessaron: - - -" + std::string(27, ' '));
    char identity[kIdentitySize] = {};
    std::memset(identity, 'W', kIdentitySize - 1);
    StoreIdentity(identity);
    BuildIdentityLine(57, line);
    EXPECT_EQ(std::string(line), "Tessaron: " + std::string(43, 'W') + std::string(25, ' '));
    // A device that identified itself but sends no measurement yet still shows the dashes.
    BuildIdentityLine(-1, line);
    EXPECT_EQ(std::string(line), "Tessaron: - - -" + std::string(27, ' '));
}

using PanelPaint = KvxWindowTest;

TEST_F(PanelPaint, ShorterMeasurementLeavesNoStrayDigit) {
    ASSERT_NE(Start(), nullptr);
    liveValues.measurement.store(45);
    Tick(300);
    Paint();
    const auto direct = Capture(kValuesArea);
    Stop();

    ResetProgramState();
    ASSERT_NE(Start(), nullptr);
    liveValues.measurement.store(123);
    Tick(300);
    Paint();
    ASSERT_NE(Capture(kValuesArea), direct);
    liveValues.measurement.store(45);
    Tick(300);
    Paint();
    EXPECT_EQ(Capture(kValuesArea), direct);

    // The value may grow past 99 between the 300 ms tick and its paint.
    liveValues.measurement.store(99);
    Tick(300);
    liveValues.measurement.store(123);
    Paint();
    liveValues.measurement.store(45);
    Tick(300);
    Paint();
    EXPECT_EQ(Capture(kValuesArea), direct);
}

TEST_F(PanelPaint, DpdtResetShowsZerosWithoutStrayDigit) {
    ASSERT_NE(Start(), nullptr);
    Feed(3020 + 1);  // dP/dt function on
    Feed(600);       // dP/dt peak 0
    Tick(300);
    Paint();
    const auto zero = Capture(kDpdtValue);
    Feed(600 + 150);
    Tick(300);
    Paint();
    ASSERT_NE(Capture(kDpdtValue), zero);
    Pending();
    Command(kResetDpdtButton);
    EXPECT_EQ(Pending(), Encoded(CMD_RESET_DPDT_PEAK));
    Tick(300);
    Paint();
    EXPECT_EQ(Capture(kDpdtValue), zero);
}

TEST_F(PanelPaint, DpdtRowShowsDashesWhileFunctionOff) {
    ASSERT_NE(Start(), nullptr);
    const auto blank = Capture(kDpdtValue);
    Feed(600 + 57);
    Tick(300);
    Paint();
    EXPECT_EQ(Capture(kDpdtValue), blank);
    Feed(3020 + 1);
    Feed(600 + 57);
    Tick(300);
    Paint();
    EXPECT_NE(Capture(kDpdtValue), blank);
}

TEST_F(PanelPaint, DudtIndicatorShownByOneRepaintErasedByTheNext) {
    ASSERT_NE(Start(), nullptr);
    const auto blank = Capture(kDudtArea);
    Feed(MSG_DUDT);
    Tick(20);  // a graph-only paint must not consume it
    Paint();
    Tick(300);
    Paint();
    EXPECT_NE(Capture(kDudtArea), blank);
    Tick(300);
    Paint();
    EXPECT_EQ(Capture(kDudtArea), blank);
}

TEST_F(PanelPaint, LinkLossBlanksEverythingOnSixteenthIdleTick) {
    ASSERT_NE(Start(), nullptr);
    const auto blankValues = Capture(kValuesArea);
    const auto blankIdentity = Capture(kIdentityArea);
    for (uint16_t word : {400 + 88, 200 + 12, 600 + 150, 3000, 65200 + 'K', 65213, 57}) {
        Feed(word);
    }
    Tick(300);
    Paint();
    const auto shownValues = Capture(kValuesArea);
    ASSERT_NE(shownValues, blankValues);
    ASSERT_NE(Capture(kIdentityArea), blankIdentity);
    Tick(50, 15);
    Paint();
    EXPECT_EQ(Capture(kValuesArea), shownValues);
    Tick(50);
    Paint();
    EXPECT_EQ(Capture(kValuesArea), blankValues);
    EXPECT_EQ(Capture(kIdentityArea), blankIdentity);
}

TEST_F(PanelPaint, HeldKeyActsOnce) {
    ASSERT_NE(Start(), nullptr);
    Pending();
    for (int i = 0; i < 3; ++i) {
        Key(platform::kKeySpace, true);
    }
    Key(platform::kKeySpace, false);
    Key(platform::kKeySpace, true);
    Key(platform::kKeySpace, false);
    EXPECT_EQ(Pending(), Encoded(CMD_SPACE) + Encoded(CMD_SPACE));
}
