#include "linux/runtime/StdLoop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace parlune {

StdLoop::StdLoop() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
}

StdLoop::~StdLoop() { ::close(wakeFd_); }

void StdLoop::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
}

void StdLoop::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(job));
    }
    wake();
}

TimerHandle StdLoop::postAfter(Duration delay, std::function<void()> job) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(mutex_);
        timers_.emplace(std::make_pair(now() + delay, sequence_++), Timer{cancelled, std::move(job)});
    }
    wake();
    return TimerHandle(cancelled);
}

TimePoint StdLoop::now() const { return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now()); }

WatchHandle StdLoop::watchReadable(int fd, std::function<void()> onReadable) {
    return watches_.add(fd, std::move(onReadable));
}

std::chrono::milliseconds StdLoop::runDue() {
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard lock(mutex_);
            if (quit_) return std::chrono::milliseconds(0);
            if (!ready_.empty()) {
                job = std::move(ready_.front());
                ready_.pop_front();
            } else {
                while (!timers_.empty() && timers_.begin()->second.cancelled->load()) timers_.erase(timers_.begin());
                if (timers_.empty()) return std::chrono::milliseconds(-1);
                const auto due = timers_.begin()->first.first;
                if (due > now()) {
                    return std::chrono::ceil<std::chrono::milliseconds>(due - now());
                }
                job = std::move(timers_.begin()->second.job);
                timers_.erase(timers_.begin());
            }
        }
        job();
        if (done_ != nullptr && (*done_)()) {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
    }
}

void StdLoop::run() {
    {
        std::lock_guard lock(mutex_);
        quit_ = false;
    }
    for (;;) {
        const auto sleep = runDue();
        {
            std::lock_guard lock(mutex_);
            if (quit_) return;
        }
        if (watches_.poll(sleep, wakeFd_)) {
            std::uint64_t count = 0;
            [[maybe_unused]] auto drained = ::read(wakeFd_, &count, sizeof count);
        }
        // A watch's callback may be what runUntil waits for.
        if (done_ != nullptr && (*done_)()) {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
    }
}

void StdLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake();
}

bool StdLoop::runUntil(const std::function<bool()>& done, Duration timeout) {
    if (done()) return true;
    auto deadline = postAfter(timeout, [this] { quit(); });
    done_ = &done;
    run();
    done_ = nullptr;
    deadline.cancel();
    return done();
}

}  // namespace parlune
