#include "fakes/PrivateSessionBus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace parlune::testing {

PrivateSessionBus::PrivateSessionBus() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);  // its warnings are noise here
    std::vector<std::string> words{"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1"};
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start dbus-daemon");
    }
    // The address is the first line; wait for it, but not forever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string printed;
    while (printed.find('\n') == std::string::npos) {
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
    if (end == std::string::npos || end == 0) {
        stop();
        throw std::runtime_error("dbus-daemon printed no address");
    }
    address_ = printed.substr(0, end);
}

PrivateSessionBus::~PrivateSessionBus() { stop(); }

void PrivateSessionBus::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace parlune::testing
