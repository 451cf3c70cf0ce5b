#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace parlune {

// One thread that runs submitted jobs in order, off the main loop. Jobs hand their results back
// with EventLoop::post(). Destruction waits for the running job and drops those not yet started.
class BackgroundWorker {
public:
    BackgroundWorker();
    ~BackgroundWorker();
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    void submit(std::function<void()> job);  // thread-safe

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace parlune
