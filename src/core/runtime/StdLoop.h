#pragma once

#include "core/runtime/EventLoop.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace parlune {

// A plain loop on the steady clock for the command line: run() serves jobs and timers on the
// calling thread until quit().
class StdLoop final : public EventLoop {
public:
    void post(std::function<void()> job) override;
    TimerHandle postAfter(Duration delay, std::function<void()> job) override;
    TimePoint now() const override;

    void run();
    void quit();  // thread-safe; run() returns after the job that is running now

private:
    struct Timer {
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::function<void()> job;
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> ready_;
    std::multimap<std::pair<TimePoint, std::uint64_t>, Timer> timers_;
    std::uint64_t sequence_ = 0;
    bool quit_ = false;
};

}  // namespace parlune
