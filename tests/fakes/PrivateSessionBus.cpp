#include "fakes/PrivateSessionBus.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace parlune::testing {

PrivateSessionBus::PrivateSessionBus() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    daemon_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=3"},
        std::map<std::string, std::string>{}, fds[1]);
    ::close(fds[1]);
    // The address is the first line it prints; wait for it, but not forever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string printed;
    while (daemon_->started() && printed.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd watched{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[512];
        const ssize_t count = ::read(fds[0], buffer, sizeof buffer);
        if (count <= 0) break;
        printed.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fds[0]);
    const auto end = printed.find('\n');
    if (end == std::string::npos || end == 0) throw std::runtime_error("dbus-daemon gave no address");
    address_ = printed.substr(0, end);
}

}  // namespace parlune::testing
