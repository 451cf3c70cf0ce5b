#pragma once

#include "core/runtime/EventLoop.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace parlune {

// A loop whose clock only moves when told to. Tests drive it with advance() and runUntilIdle();
// nothing ever sleeps for real.
class VirtualLoop final : public EventLoop {
public:
    VirtualLoop();
    ~VirtualLoop() override;

    void post(std::function<void()> job) override;
    TimerHandle postAfter(Duration delay, std::function<void()> job) override;
    TimePoint now() const override;
    // Watches are only recorded: a test says when an fd became readable with notifyReadable().
    WatchHandle watchReadable(int fd, std::function<void()> onReadable) override;
    void notifyReadable(int fd);

    // Runs posted jobs (and what they post) until none is left; timers do not fire.
    void runUntilIdle();
    // Moves the clock forward by `by`, running every job and timer that falls due on the way, each
    // at its own due time.
    void advance(Duration by);
    // Advances to the next due timer, if any, and runs it; false when no timer is pending.
    bool runNextTimer();
    // Time elapsed since the loop was created.
    Duration elapsed() const;
    std::size_t pendingTimers() const;

private:
    struct Timer {
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::function<void()> job;
    };
    bool runOneReady();
    // Takes the earliest live timer due no later than `limit` and moves the clock to its time.
    std::optional<Timer> popTimerDueBy(std::optional<TimePoint> limit);

    mutable std::mutex mutex_;
    TimePoint start_;
    TimePoint now_;
    std::deque<std::function<void()>> ready_;
    std::multimap<std::pair<TimePoint, std::uint64_t>, Timer> timers_;
    std::uint64_t sequence_ = 0;
    std::vector<std::pair<int, Timer>> watches_;
};

}  // namespace parlune
