#pragma once

#include "core/runtime/EventLoop.h"

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace parlune {

// The file-descriptor watches of a loop, polled with poll(2). Loop thread only.
class FdWatches {
public:
    WatchHandle add(int fd, std::function<void()> onReadable);
    // Waits up to `timeout` (negative: forever) for any watched fd or `wakeFd` (-1: none) to become
    // readable, then runs the callbacks of the readable watches. Returns true when `wakeFd` was
    // readable.
    bool poll(std::chrono::milliseconds timeout, int wakeFd);
    bool empty() const;

private:
    struct Watch {
        int fd;
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::function<void()> onReadable;
    };
    std::vector<std::shared_ptr<Watch>> watches_;
};

}  // namespace parlune
