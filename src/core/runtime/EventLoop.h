#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace parlune {

using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

// Handle of a delayed job. Cancelling is idempotent and safe after the job ran; the job is
// then simply never run.
class TimerHandle {
public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<std::atomic<bool>> cancelled) : cancelled_(std::move(cancelled)) {}

    void cancel() const {
        if (cancelled_) cancelled_->store(true);
    }
    bool isCancelled() const { return cancelled_ && cancelled_->load(); }
    bool valid() const { return cancelled_ != nullptr; }

private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

// Handle of a file-descriptor watch; cancel() stops it (idempotent, loop thread only).
using WatchHandle = TimerHandle;

// The one main loop. Everything that holds state lives on it; other threads only post() onto it.
// post() and postAfter() may be called from any thread; jobs always run on the loop's thread, in
// posting order for post() and in due-time order (ties in posting order) for postAfter().
class EventLoop {
public:
    virtual ~EventLoop() = default;

    virtual void post(std::function<void()> job) = 0;
    virtual TimerHandle postAfter(Duration delay, std::function<void()> job) = 0;
    virtual TimePoint now() const = 0;

    // Calls `onReadable` on the loop whenever `fd` has data to read (or hung up), until the watch
    // is cancelled. For connections to daemons (X11, D-Bus) that the loop serves without a thread.
    // Call on the loop's thread.
    virtual WatchHandle watchReadable(int fd, std::function<void()> onReadable) = 0;
};

}  // namespace parlune
