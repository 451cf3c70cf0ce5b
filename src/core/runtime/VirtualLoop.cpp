#include "core/runtime/VirtualLoop.h"

namespace parlune {

VirtualLoop::VirtualLoop() : start_(TimePoint{} + std::chrono::hours(1)), now_(start_) {}

VirtualLoop::~VirtualLoop() = default;

void VirtualLoop::post(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(job));
}

TimerHandle VirtualLoop::postAfter(Duration delay, std::function<void()> job) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(mutex_);
    const TimePoint due = now_ + (delay < Duration::zero() ? Duration::zero() : delay);
    timers_.emplace(std::make_pair(due, sequence_++), Timer{cancelled, std::move(job)});
    return TimerHandle(cancelled);
}

TimePoint VirtualLoop::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

WatchHandle VirtualLoop::watchReadable(int fd, std::function<void()> onReadable) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    watches_.emplace_back(fd, Timer{cancelled, std::move(onReadable)});
    return WatchHandle(cancelled);
}

void VirtualLoop::notifyReadable(int fd) {
    auto watches = watches_;
    for (auto& [watchedFd, watch] : watches) {
        if (watchedFd == fd && !watch.cancelled->load()) watch.job();
    }
    runUntilIdle();
}

Duration VirtualLoop::elapsed() const { return now() - start_; }

std::size_t VirtualLoop::pendingTimers() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [key, timer] : timers_) {
        if (!timer.cancelled->load()) ++count;
    }
    return count;
}

bool VirtualLoop::runOneReady() {
    std::function<void()> job;
    {
        std::lock_guard lock(mutex_);
        if (ready_.empty()) return false;
        job = std::move(ready_.front());
        ready_.pop_front();
    }
    job();
    return true;
}

void VirtualLoop::runUntilIdle() {
    while (runOneReady()) {
    }
}

std::optional<VirtualLoop::Timer> VirtualLoop::popTimerDueBy(std::optional<TimePoint> limit) {
    std::lock_guard lock(mutex_);
    while (!timers_.empty() && timers_.begin()->second.cancelled->load()) timers_.erase(timers_.begin());
    if (timers_.empty() || (limit && timers_.begin()->first.first > *limit)) return std::nullopt;
    auto first = timers_.begin();
    now_ = first->first.first;
    Timer timer = std::move(first->second);
    timers_.erase(first);
    return timer;
}

bool VirtualLoop::runNextTimer() {
    runUntilIdle();
    auto timer = popTimerDueBy(std::nullopt);
    if (!timer) return false;
    timer->job();
    runUntilIdle();
    return true;
}

void VirtualLoop::advance(Duration by) {
    const TimePoint target = now() + by;
    runUntilIdle();
    while (auto timer = popTimerDueBy(target)) {
        timer->job();
        runUntilIdle();
    }
    std::lock_guard lock(mutex_);
    now_ = target;
}

}  // namespace parlune
