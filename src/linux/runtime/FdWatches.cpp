#include "linux/runtime/FdWatches.h"

#include <poll.h>

#include <algorithm>

namespace parlune {

WatchHandle FdWatches::add(int fd, std::function<void()> onReadable) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    watches_.push_back(std::make_shared<Watch>(Watch{fd, cancelled, std::move(onReadable)}));
    return WatchHandle(cancelled);
}

bool FdWatches::empty() const {
    return std::none_of(watches_.begin(), watches_.end(), [](const auto& watch) { return !watch->cancelled->load(); });
}

bool FdWatches::poll(std::chrono::milliseconds timeout, int wakeFd) {
    std::erase_if(watches_, [](const auto& watch) { return watch->cancelled->load(); });
    std::vector<pollfd> fds;
    fds.reserve(watches_.size() + 1);
    for (const auto& watch : watches_) fds.push_back(pollfd{watch->fd, POLLIN, 0});
    if (wakeFd >= 0) fds.push_back(pollfd{wakeFd, POLLIN, 0});
    if (fds.empty()) return false;
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    if (ready <= 0) return false;
    // Callbacks may add or cancel watches: work on a snapshot.
    auto snapshot = watches_;
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        if (fds[i].revents != 0 && !snapshot[i]->cancelled->load()) snapshot[i]->onReadable();
    }
    return wakeFd >= 0 && fds.back().revents != 0;
}

}  // namespace parlune
