// The timers of one window, run from a single Qt timer. Each timer keeps its own period; the
// window wakes once for every timer that falls due within a few milliseconds of another, so a
// 20 ms graph tick and a 47 ms link tick share their wake-ups instead of each waking the process.
#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <map>

namespace platform {

class WindowTimers {
  public:
    using Clock = std::chrono::steady_clock;
    // fire is called once for each timer that fell due, in the order of their due times;
    // afterWake (if given) once after the last of them in every wake-up.
    explicit WindowTimers(std::function<void(int id)> fire,
                          std::function<void()> afterWake = nullptr);

    // Starts the timer, or restarts it with the new period from now.
    void Set(int id, int periodMs);
    // Stops it; a tick that fell due in the same wake-up but is not delivered yet is dropped.
    void Kill(int id);
    void KillAll();

  private:
    // How far a timer may move from its due time to share a wake-up: a quarter of its period,
    // at most 12 ms. A window system's timers are coarser than that.
    static Clock::duration Slack(int periodMs);

    struct Entry {
        Clock::duration period;
        Clock::time_point due;
        Clock::duration slack;
        unsigned serial;  // tells a restarted timer from the one that fell due
    };
    void Arm();
    void OnWake();

    std::function<void(int)> fire_;
    std::function<void()> afterWake_;
    QTimer wake_;
    // What the running wake_ was set for: it repeats, and while the earliest deadline keeps
    // moving by the same step (the usual case: the graph tick leads and the others ride along)
    // it is left alone instead of being stopped and started on every wake-up.
    Clock::time_point armedDeadline_;
    std::chrono::milliseconds armedStep_{};
    std::map<int, Entry> timers_;
    unsigned nextSerial_ = 0;
};

}  // namespace platform
