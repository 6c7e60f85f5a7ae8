// A window's timers share wake-ups: the link, panel and identity ticks must ride on the graph
// tick without losing their own rate, and a tick killed by an earlier handler of the same
// wake-up must not arrive.
#include "platform/common/window_timers.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

// The timers on a Qt timer, as the window runs them.
struct QtTimers {
    explicit QtTimers(std::function<void(int)> fire)
        : timers(
              [this](std::optional<std::chrono::milliseconds> wait) {
                  wait ? wake.start(*wait) : wake.stop();
              },
              std::move(fire)) {
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, [this] { timers.RunDue(); });
    }
    QTimer wake;
    platform::WindowTimers timers;
};

// Runs the event loop for ms milliseconds.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

TEST(WindowTimers, SlowerTimersRideOnTheFastestAndKeepTheirRate) {
    std::vector<std::pair<int, Clock::time_point>> ticks;
    QtTimers qt([&](int id) { ticks.emplace_back(id, Clock::now()); });
    platform::WindowTimers& timers = qt.timers;
    timers.Set(1, 20);
    timers.Set(2, 47);
    timers.Set(3, 300);
    RunFor(1500);
    timers.KillAll();
    std::map<int, int> count;
    for (size_t i = 0; i < ticks.size(); ++i) {
        const auto [id, at] = ticks[i];
        ++count[id];
        if (id == 1) {
            continue;
        }
        // Delivered in the same wake-up as a graph tick (before or after it), with no wait
        // between.
        bool besideGraphTick = false;
        for (const auto& [other, when] : ticks) {
            const auto gap = when > at ? when - at : at - when;
            besideGraphTick = besideGraphTick || (other == 1 && gap < std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(besideGraphTick) << "timer " << id << " woke the loop by itself";
    }
    // Generous bounds: a loaded machine (sanitizers) drops late ticks, it never adds any.
    EXPECT_GE(count[1], 40);
    EXPECT_LE(count[1], 76);
    EXPECT_GE(count[2], count[1] * 3 / 10);
    EXPECT_LE(count[2], count[1] * 55 / 100 + 1);
    EXPECT_GE(count[3], 3);
    EXPECT_LE(count[3], 5);
}

TEST(WindowTimers, ATimerKilledOrRestartedByAnEarlierTickOfTheSameWakeUpDoesNotFire) {
    for (const bool restart : {false, true}) {
        std::map<int, int> count;
        platform::WindowTimers* self = nullptr;
        QtTimers qt([&](int id) {
            ++count[id];
            if (id == 1 && count[1] == 1) {
                restart ? self->Set(2, 200) : self->Kill(2);
            }
        });
        platform::WindowTimers& timers = qt.timers;
        self = &timers;
        // Both fall due together; the earlier one's handler acts on the other.
        timers.Set(1, 30);
        timers.Set(2, 31);
        RunFor(120);
        timers.KillAll();
        EXPECT_GE(count[1], 2);
        EXPECT_EQ(count[2], 0) << (restart ? "restarted" : "killed");
    }
}
