// A timer falls due at its due time; it may fire from due - slack to due + slack. The one Qt
// timer wakes at the earliest due + slack of all timers, and every timer whose window has opened
// by then fires in the same wake-up. The next due time always follows from the previous due
// time, not from the wake-up, so each timer keeps its period exactly over time.
#include "platform/qt/window_timers.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace platform {

WindowTimers::WindowTimers(std::function<void(int id)> fire, std::function<void()> afterWake)
    : fire_(std::move(fire)), afterWake_(std::move(afterWake)) {
    wake_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake_, &QTimer::timeout, [this]() { OnWake(); });
}

WindowTimers::Clock::duration WindowTimers::Slack(int periodMs) {
    return std::min<Clock::duration>(std::chrono::microseconds(periodMs * 1000 / 4),
                                     std::chrono::milliseconds(12));
}

void WindowTimers::Set(int id, int periodMs) {
    const auto period = std::chrono::milliseconds(periodMs);
    timers_[id] = Entry{period, Clock::now() + period, Slack(periodMs), ++nextSerial_};
    Arm();
}

void WindowTimers::Kill(int id) {
    if (timers_.erase(id) != 0) {
        Arm();
    }
}

void WindowTimers::KillAll() {
    timers_.clear();
    wake_.stop();
}

void WindowTimers::Arm() {
    if (timers_.empty()) {
        wake_.stop();
        return;
    }
    Clock::time_point deadline = Clock::time_point::max();
    for (const auto& [id, entry] : timers_) {
        deadline = std::min(deadline, entry.due + entry.slack);
    }
    if (wake_.isActive() && deadline == armedDeadline_) {
        return;  // the repeating wake_ lands there by itself
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    armedStep_ = std::max(wait, std::chrono::milliseconds(1));
    armedDeadline_ = deadline;
    wake_.start(armedStep_);
}

void WindowTimers::OnWake() {
    armedDeadline_ += armedStep_;  // where the repeating wake_ falls next
    const Clock::time_point now = Clock::now();
    struct Due {
        Clock::time_point due;
        int id;
        unsigned serial;
    };
    std::vector<Due> due;
    for (auto& [id, entry] : timers_) {
        if (entry.due - entry.slack > now) {
            continue;
        }
        due.push_back(Due{entry.due, id, entry.serial});
        entry.due += entry.period;
        // A window thread that was held up longer than a period gets one tick, not a burst:
        // the missed ones are dropped, as a window system drops them.
        if (entry.due - entry.slack <= now) {
            entry.due = now + entry.period;
        }
    }
    // Armed before any tick is handled: a handler may run a nested event loop (a message box),
    // and the other timers must keep running inside it.
    Arm();
    std::sort(due.begin(), due.end(), [](const Due& a, const Due& b) { return a.due < b.due; });
    for (const Due& tick : due) {
        auto it = timers_.find(tick.id);
        if (it == timers_.end() || it->second.serial != tick.serial) {
            continue;  // killed or restarted by an earlier tick's handler
        }
        fire_(tick.id);
    }
    if (afterWake_ && !due.empty()) {
        afterWake_();
    }
}

}  // namespace platform
