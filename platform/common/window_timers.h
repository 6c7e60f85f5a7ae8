// The timers of one window, run from a single timer of the window system's. Ticks are delivered
// on a grid of frame periods: a tick waits for the first grid point at or after its due time, so
// a 20 ms graph tick, a 47 ms link tick and the frame they paint share one wake-up and the window
// wakes at most once per frame. Timers whose ticks would change nothing let the window sleep until
// something can. Logic only, shared by the back ends: each gives it its one-shot timer, its event
// loop's moment before waiting, and a way to reach the window thread from another thread.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>

namespace platform {

class WindowTimers {
  public:
    using Clock = std::chrono::steady_clock;
    // The back end's one-shot timer: start(wait) sets it to call RunDue after wait (replacing
    // any earlier setting), start(nullopt) stops it.
    using WakeTimer = std::function<void(std::optional<std::chrono::milliseconds> wait)>;
    // fire is called once for each tick that fell due, in the order of their due times;
    // afterWake (if given) once after the last of them in every wake-up.
    WindowTimers(WakeTimer wakeTimer, std::function<void(int id)> fire,
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
    // Any thread. Calls the back end's post (SetWakePost) when some timers sleep.
    static void WakeAll();

    // For the back end: post (any thread) makes the window thread run BeforeSleep soon, and
    // BeforeSleep runs on the window thread whenever its event loop is about to wait. RunDue is
    // what the wake timer calls.
    static void SetWakePost(void (*post)());
    static void BeforeSleep();
    void RunDue();

    // For tests that run the timers on a clock of their own: the clock (nullptr: the steady
    // clock) and the grid point the wake timer is set for (none while asleep).
    static void SetClock(Clock::time_point (*now)());
    std::optional<Clock::time_point> ArmedFor() const { return armedFor_; }

  private:
    struct Entry {
        Clock::duration period;
        Clock::time_point due;
        unsigned serial;  // tells a restarted timer from the one that fell due
    };
    Clock::time_point GridPointAtOrAfter(Clock::time_point t) const;
    bool AllIdle() const;
    void Arm();
    void LeaveSleep();
    void Stop();

    WakeTimer wakeTimer_;
    std::function<void(int)> fire_;
    std::function<void()> afterWake_;
    std::function<bool(int)> idle_;
    Clock::duration frame_;
    Clock::time_point origin_;  // where the grid of frame periods starts
    // The grid point the wake timer is set for.
    std::optional<Clock::time_point> armedFor_;
    bool asleep_ = false;
    std::map<int, Entry> timers_;
    unsigned nextSerial_ = 0;
};

// A window's idle check as the program hands it in (a plain function, or none) for SetIdleCheck.
std::function<bool(int id)> IdleFunction(bool (*check)(int id));
// The period a window timer runs at: one below 10 ms would keep the loop busy and is raised to it.
int WindowTimerPeriod(int periodMs);

}  // namespace platform
