// The timers of one window, run from a single Qt timer. Ticks are delivered on a grid of frame
// periods: a tick waits for the first grid point at or after its due time, so a 20 ms graph tick,
// a 47 ms link tick and the frame they paint share one wake-up and the window wakes at most once
// per frame. Timers whose ticks would change nothing let the window sleep until something can.
#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

namespace platform {

class WindowTimers {
  public:
    using Clock = std::chrono::steady_clock;
    // fire is called once for each tick that fell due, in the order of their due times;
    // afterWake (if given) once after the last of them in every wake-up.
    explicit WindowTimers(std::function<void(int id)> fire,
                          std::function<void()> afterWake = nullptr,
                          Clock::duration frame = std::chrono::milliseconds(40));
    ~WindowTimers();
    WindowTimers(const WindowTimers&) = delete;
    WindowTimers& operator=(const WindowTimers&) = delete;

    // Starts the timer, or restarts it with the new period from now.
    void Set(int id, int periodMs);
    // Stops it; a tick that fell due in the same wake-up but is not delivered yet is dropped.
    void Kill(int id);
    void KillAll();

    // idle(id) says whether a tick of that timer, delivered now, would change nothing. While it
    // says so of every running timer, the window does not wake for them; their due times run on
    // unseen, and a wake-up resumes every timer on its phase, so each count comes out as if
    // every tick had been delivered. The window thread wakes them by itself whenever it is about
    // to wait; another thread that changes what idle reads calls WakeAll afterwards.
    void SetIdleCheck(std::function<bool(int id)> idle);
    // Any thread.
    static void WakeAll();

    // For tests that run the timers on a clock of their own: the clock (nullptr: the steady
    // clock), the grid point the Qt timer is set for (none while asleep), what it does when it
    // fires, and what the event loop does before it waits.
    static void SetClock(Clock::time_point (*now)());
    std::optional<Clock::time_point> ArmedFor() const { return armedFor_; }
    void RunDue();
    static void BeforeSleep();

  private:
    struct Entry {
        Clock::duration period;
        Clock::time_point due;
        unsigned serial;  // tells a restarted timer from the one that fell due
    };
    Clock::time_point GridPointAtOrAfter(Clock::time_point t) const;
    bool AllIdle() const;
    void Arm();
    void Resume();
    void LeaveSleep();

    std::function<void(int)> fire_;
    std::function<void()> afterWake_;
    std::function<bool(int)> idle_;
    Clock::duration frame_;
    Clock::time_point origin_;  // where the grid of frame periods starts
    QTimer wake_;
    // The grid point the running wake_ lands on next. It repeats, and while the next one is due
    // a step of the same length later (streaming: every frame) it is left alone instead of
    // being stopped and started on every wake-up.
    std::optional<Clock::time_point> armedFor_;
    Clock::duration armedStep_{};
    bool asleep_ = false;
    std::map<int, Entry> timers_;
    unsigned nextSerial_ = 0;
};

}  // namespace platform
