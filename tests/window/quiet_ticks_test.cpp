// The window sleeps while no tick could change anything. One script (a device that talks, falls
// silent, raises an alarm; roll changes; Pause and Space) runs on a clock of the test's own with
// every tick delivered, then free to sleep: wire, picture and tick counts must agree after every
// frame, and the second run must really have slept.
#include "window_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point fakeNow;

struct Frame {
    uint64_t image;
    std::string wire;
    int linkTimeout;  // the counts the ticks keep
    int alarmCountdown;
    bool operator==(const Frame&) const = default;
};

}  // namespace

class QuietTicks : public KvxWindowTest {
  protected:
    struct Run {
        std::vector<Frame> frames;  // after every frame period of the timers' grid
        std::vector<int> wakeUps;   // ms of each wake-up
    };

    // A turn of the event loop: posted events (paints, a wake from the line), then, when the loop
    // woke for something of the window thread's own (input, a timer), its check before it waits.
    static void Turn(bool ownWork) {
        QCoreApplication::sendPostedEvents();
        if (ownWork) {
            platform::WindowTimers::BeforeSleep();
        }
    }

    // What happens at ms: the device's messages as the reader thread hands them over, and the
    // user's commands and keys (then true).
    bool Script(int ms) {
        const bool talking = (ms >= 100 && ms < 1500) || (ms >= 3010 && ms < 3110);
        if (talking && ms % 20 == 10) {  // between the grid points, as a device is
            Feed({static_cast<uint16_t>(30 + (ms * 7) % 170)});
        }
        switch (ms) {
            case 1200:  // after a poll: limit 1 active at 60 %, then the identity and the peaks
                Feed({static_cast<uint16_t>(kParameterTable[limit1Mode].transferCode + 1),
                      static_cast<uint16_t>(kParameterTable[limit1Setpoint].transferCode + 60),
                      65200 + 'K', 65200 + 'X', MSG_IDENTITY_END, 455, 212});
                break;
            case 700:
                Send(platform::MessageType::Command, kCmdRollBase);  // 10 s
                return true;
            case 2600:  // asleep by now
                Send(platform::MessageType::Command, kCmdRollBase + 1);
                return true;
            case 2800:
                Send(platform::MessageType::Command, kCmdStopAtAlarm);
                return true;
            case 3050:  // the alarm's countdown outlasts the link: the graph freezes in silence
                Feed({65000 + 13});
                break;
            case 5800:
                PressKey(Qt::Key_Pause);
                return true;
            case 6000:
                PressKey(Qt::Key_Space);
                return true;
            default:
                break;
        }
        return false;
    }

    Run Play(bool everyTick) {
        ResetProgramState();
        std::filesystem::remove(dir / "KVXMon.cnf");
        const Clock::time_point start = Clock::time_point() + std::chrono::hours(1);
        fakeNow = start;
        Run run;
        Start();
        if (everyTick) {
            platform::SetTimerIdleCheck(window, nullptr);
        }
        platform::WindowTimers* timers = platform::TimersOf(window);
        uint8_t bytes[kTxRingSize];
        std::string wire;
        for (int ms = 0; ms <= 6400; ++ms) {
            fakeNow = start + std::chrono::milliseconds(ms);
            Turn(Script(ms));
            if (timers->ArmedFor() && *timers->ArmedFor() <= fakeNow) {
                timers->RunDue();
                run.wakeUps.push_back(ms);
                Turn(true);
            }
            for (int n; (n = TakeTxBytes(bytes)) > 0;) {
                wire.append(reinterpret_cast<char*>(bytes), n);
            }
            if (ms % 40 == 0) {
                uint64_t hash = 14695981039346656037u;
                for (int y = 0; y < kClientHeight; ++y) {
                    for (int x = 0; x < kClientWidth; ++x) {
                        hash = (hash ^ platform::GetClientPixel(window, x, y)) * 1099511628211u;
                    }
                }
                run.frames.push_back(Frame{hash, std::exchange(wire, {}),
                                           liveValues.linkTimeout.load(),
                                           windowFlags.alarmCountdown.load()});
            }
        }
        Stop();
        return run;
    }
};

TEST_F(QuietTicks, SleepingChangesNeitherTheWireNorThePicture) {
    platform::WindowTimers::SetClock([] { return fakeNow; });
    const Run every = Play(true);
    const Run quiet = Play(false);
    platform::WindowTimers::SetClock(nullptr);

    ASSERT_EQ(every.frames.size(), quiet.frames.size());
    for (size_t i = 0; i < every.frames.size(); ++i) {
        ASSERT_EQ(every.frames[i], quiet.frames[i]) << "after " << i * 40 << " ms";
    }
    // The device's polls, the freeze and Space really happened, and the quiet run slept through
    // the silences, roll changes and Stop at Alarm included: no wake-up from the blanked panel's
    // last repaint until the device talks again, or from the freeze until Pause.
    std::string wire;
    for (const Frame& frame : every.frames) {
        wire += frame.wire;
    }
    EXPECT_NE(wire.find(Encoded(CMD_POLL)), std::string::npos);
    EXPECT_NE(wire.find(Encoded(CMD_SPACE)), std::string::npos);
    auto wakeUpsBetween = [](const Run& run, int from, int to) {
        return std::count_if(run.wakeUps.begin(), run.wakeUps.end(),
                             [&](int ms) { return ms > from && ms < to; });
    };
    EXPECT_GT(wakeUpsBetween(every, 2450, 3000), 10);
    EXPECT_EQ(wakeUpsBetween(quiet, 2450, 3010), 0);
    EXPECT_EQ(wakeUpsBetween(quiet, 5500, 5800), 0);
    EXPECT_GT(wakeUpsBetween(quiet, 3000, 5400), 55);  // the countdown keeps it awake
}
