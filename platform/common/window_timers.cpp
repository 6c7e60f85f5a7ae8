// Every timer keeps its own due times, each the previous one plus the period, so it keeps its rate
// exactly over time. Grid points lie every frame period from the first timer's start; the wake
// timer wakes at the grid point at or after the earliest due time, and every tick due by then is
// delivered in that wake-up, in the order of their due times.
//
// Sleeping: when a wake-up (or the event loop about to wait) finds that no running timer's tick
// would change anything, nothing is armed. The due times run on unseen; what wakes the timers
// again first skips every tick that would have been delivered at a grid point before now (each of
// them would have changed nothing, as the check said and nothing has changed since), so the next
// tick of every timer falls where it would have fallen had every tick been delivered.
#include "platform/common/window_timers.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

namespace platform {
namespace {

using Clock = WindowTimers::Clock;

Clock::time_point (*clockOverride)() = nullptr;

Clock::time_point Now() {
    return clockOverride != nullptr ? clockOverride() : Clock::now();
}

// Window thread only.
std::vector<WindowTimers*> instances;

std::atomic<void (*)()> wakePost{nullptr};

// How many timer sets sleep. Raised before their checks run, so that a thread which changes what
// a check reads after it was read also sees the count, and wakes them (WakeAll).
std::atomic<int> sleepers{0};
// A wake is on its way to the window thread; later ones until it arrives add nothing.
std::atomic<bool> wakePosted{false};

}  // namespace

WindowTimers::WindowTimers(WakeTimer wakeTimer, std::function<void(int id)> fire,
                           std::function<void()> afterWake, Clock::duration frame)
    : wakeTimer_(std::move(wakeTimer)),
      fire_(std::move(fire)),
      afterWake_(std::move(afterWake)),
      frame_(std::max<Clock::duration>(frame, std::chrono::milliseconds(1))),
      origin_(Now()) {
    instances.push_back(this);
}

WindowTimers::~WindowTimers() {
    if (asleep_) {
        sleepers.fetch_sub(1);
    }
    instances.erase(std::remove(instances.begin(), instances.end(), this), instances.end());
}

void WindowTimers::SetClock(Clock::time_point (*now)()) {
    clockOverride = now;
}

Clock::time_point WindowTimers::GridPointAtOrAfter(Clock::time_point t) const {
    if (t <= origin_) {
        return origin_;
    }
    const auto frames = ((t - origin_) + frame_ - Clock::duration(1)) / frame_;
    return origin_ + frames * frame_;
}

void WindowTimers::Set(int id, int periodMs) {
    const auto period = std::chrono::milliseconds(std::max(periodMs, 1));
    timers_[id] = Entry{period, Now() + period, ++nextSerial_};
    Arm();
}

void WindowTimers::Kill(int id) {
    if (timers_.erase(id) != 0) {
        Arm();
    }
}

void WindowTimers::KillAll() {
    timers_.clear();
    Arm();
}

void WindowTimers::SetIdleCheck(std::function<bool(int id)> idle) {
    idle_ = std::move(idle);
    Arm();
}

bool WindowTimers::AllIdle() const {
    if (!idle_) {
        return false;
    }
    for (const auto& [id, entry] : timers_) {
        if (!idle_(id)) {
            return false;
        }
    }
    return true;
}

void WindowTimers::LeaveSleep() {
    asleep_ = false;
    sleepers.fetch_sub(1);
    // The ticks that fell on grid points before now were not delivered; each would have changed
    // nothing. Those due on the next grid point (now itself, if it lies on one) are delivered.
    const Clock::time_point lastPassed = GridPointAtOrAfter(Now()) - frame_;
    for (auto& [id, entry] : timers_) {
        if (entry.due <= lastPassed) {
            entry.due += ((lastPassed - entry.due) / entry.period + 1) * entry.period;
        }
    }
}

void WindowTimers::Arm() {
    if (asleep_) {
        if (!timers_.empty() && AllIdle()) {
            return;
        }
        LeaveSleep();
    }
    if (timers_.empty()) {
        Stop();
        return;
    }
    if (idle_) {
        // The increment reads the count the waking threads left with their own read-modify-
        // write, so whatever they stored before waking is seen by the checks below; or they see
        // this sleeper and wake it. (Read-modify-writes rather than fences: the thread sanitizer
        // does not model fences.)
        sleepers.fetch_add(1, std::memory_order_acq_rel);
        if (AllIdle()) {
            asleep_ = true;
            Stop();
            return;
        }
        sleepers.fetch_sub(1);
    }
    Clock::time_point next = Clock::time_point::max();
    for (const auto& [id, entry] : timers_) {
        next = std::min(next, entry.due);
    }
    const Clock::time_point target = GridPointAtOrAfter(next);
    if (armedFor_ == target) {
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(target - Now());
    armedFor_ = target;
    wakeTimer_(std::max(wait, std::chrono::milliseconds(0)));
}

void WindowTimers::Stop() {
    if (armedFor_) {
        armedFor_.reset();
        wakeTimer_(std::nullopt);
    }
}

void WindowTimers::RunDue() {
    // A timer may fire a little late: the grid point it was set for counts, so that a tick due
    // there is delivered there.
    Clock::time_point at = Now();
    if (armedFor_) {
        at = std::max(at, *armedFor_);
        armedFor_.reset();
    }
    struct Due {
        Clock::time_point due;
        int id;
        unsigned serial;
    };
    // Ticks wait up to a frame for their grid point. A window thread held up far longer (a wait
    // for the device's reply) gets the latest tick of each timer, not a burst of the missed ones.
    const Clock::duration heldUp = 2 * frame_;
    std::vector<Due> due;
    for (auto& [id, entry] : timers_) {
        if (entry.due > at) {
            continue;
        }
        if (at - entry.due >= heldUp) {
            entry.due += ((at - entry.due) / entry.period) * entry.period;
            if (at - entry.due >= heldUp) {
                due.push_back(Due{entry.due, id, entry.serial});
                entry.due += entry.period;
            }
        }
        for (; entry.due <= at; entry.due += entry.period) {
            due.push_back(Due{entry.due, id, entry.serial});
        }
    }
    // Armed before any tick is handled: a handler may run a nested event loop (a message box),
    // and the other timers must keep running inside it.
    Arm();
    std::stable_sort(due.begin(), due.end(),
                     [](const Due& a, const Due& b) { return a.due < b.due; });
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

void WindowTimers::SetWakePost(void (*post)()) {
    wakePost.store(post);
}

void WindowTimers::BeforeSleep() {
    // Whoever changed the state did so before the exchange in WakeAll; this exchange reads that
    // one, so the checks that follow see the change.
    wakePosted.exchange(false);
    // Copied: a resumed set's checks run system code, which must not find the list changing.
    const std::vector<WindowTimers*> sets = instances;
    for (WindowTimers* timers : sets) {
        if (timers->asleep_ &&
            std::find(instances.begin(), instances.end(), timers) != instances.end()) {
            timers->Arm();
        }
    }
}

void WindowTimers::WakeAll() {
    if (sleepers.fetch_add(0, std::memory_order_acq_rel) == 0 || wakePosted.exchange(true)) {
        return;
    }
    if (void (*post)() = wakePost.load()) {
        post();
    } else {
        wakePosted.store(false);
    }
}

std::function<bool(int id)> IdleFunction(bool (*check)(int id)) {
    if (check == nullptr) {
        return nullptr;
    }
    return [check](int id) { return check(id); };
}

int WindowTimerPeriod(int periodMs) {
    return std::max(periodMs, 10);
}

}  // namespace platform
