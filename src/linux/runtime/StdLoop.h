#pragma once

#include "core/runtime/EventLoop.h"
#include "linux/runtime/FdWatches.h"

#include <deque>
#include <map>
#include <mutex>

namespace parlune {

// A plain loop on the steady clock: run() serves posted jobs, timers and file-descriptor watches on
// the calling thread until quit(). Used by the command line and by adapter tests.
class StdLoop final : public EventLoop {
public:
    StdLoop();
    ~StdLoop() override;
    StdLoop(const StdLoop&) = delete;
    StdLoop& operator=(const StdLoop&) = delete;

    void post(std::function<void()> job) override;
    TimerHandle postAfter(Duration delay, std::function<void()> job) override;
    TimePoint now() const override;
    WatchHandle watchReadable(int fd, std::function<void()> onReadable) override;

    void run();
    void quit();  // thread-safe; run() returns after the job that is running now

    // Runs the loop until `done()` is true or `timeout` has passed; true when done. For tests and
    // commands that wait for one result.
    bool runUntil(const std::function<bool()>& done, Duration timeout);

private:
    struct Timer {
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::function<void()> job;
    };
    void wake();
    // Runs what is due now; returns how long the loop may sleep (negative: until woken).
    std::chrono::milliseconds runDue();

    std::mutex mutex_;
    std::deque<std::function<void()>> ready_;
    std::multimap<std::pair<TimePoint, std::uint64_t>, Timer> timers_;
    std::uint64_t sequence_ = 0;
    bool quit_ = false;
    int wakeFd_ = -1;
    FdWatches watches_;
    const std::function<bool()>* done_ = nullptr;
};

}  // namespace parlune
