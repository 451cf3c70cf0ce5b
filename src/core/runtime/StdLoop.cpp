#include "core/runtime/StdLoop.h"

namespace parlune {

void StdLoop::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(job));
    }
    wake_.notify_one();
}

TimerHandle StdLoop::postAfter(Duration delay, std::function<void()> job) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(mutex_);
        timers_.emplace(std::make_pair(now() + delay, sequence_++), Timer{cancelled, std::move(job)});
    }
    wake_.notify_one();
    return TimerHandle(cancelled);
}

TimePoint StdLoop::now() const {
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

void StdLoop::run() {
    std::unique_lock lock(mutex_);
    quit_ = false;
    while (!quit_) {
        if (!ready_.empty()) {
            auto job = std::move(ready_.front());
            ready_.pop_front();
            lock.unlock();
            job();
            lock.lock();
            continue;
        }
        while (!timers_.empty() && timers_.begin()->second.cancelled->load()) timers_.erase(timers_.begin());
        if (!timers_.empty() && timers_.begin()->first.first <= now()) {
            auto job = std::move(timers_.begin()->second.job);
            timers_.erase(timers_.begin());
            lock.unlock();
            job();
            lock.lock();
            continue;
        }
        if (timers_.empty()) {
            wake_.wait(lock);
        } else {
            wake_.wait_until(lock, timers_.begin()->first.first);
        }
    }
}

void StdLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
}

}  // namespace parlune
