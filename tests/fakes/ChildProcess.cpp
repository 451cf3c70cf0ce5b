#include "fakes/ChildProcess.h"

#include "fakes/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <utility>

namespace parlune::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                           int extraFd) {
    std::vector<std::string> envStrings = environmentWith(environment);
    const std::vector<char*> envp = pointers(envStrings);
    std::vector<std::string> args = argv;
    const std::vector<char*> argp = pointers(args);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int targets[3] = {STDOUT_FILENO, STDERR_FILENO, extraFd};
    int writeEnds[3] = {-1, -1, -1};
    for (int stream = 0; stream < 3; ++stream) {
        if (targets[stream] < 0) continue;
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) continue;
        fds_[stream] = pipeFds[0];
        writeEnds[stream] = pipeFds[1];
        ::fcntl(fds_[stream], F_SETFL, O_NONBLOCK);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], targets[stream]);
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Signals blocked in the test (none usually) would be inherited: start the child with none.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    if (posix_spawnp(&pid_, argp[0], &actions, &attributes, argp.data(), envp.data()) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : writeEnds) {
        if (fd >= 0) ::close(fd);
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    for (int fd : fds_) {
        if (fd >= 0) ::close(fd);
    }
}

bool ChildProcess::fill(Stream stream, std::chrono::steady_clock::time_point deadline) {
    const int fd = fds_[stream];
    if (fd < 0) return false;
    for (;;) {
        char buffer[4096];
        const auto count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            buffers_[stream].append(buffer, static_cast<std::size_t>(count));
            return true;
        }
        if (count == 0) return false;  // closed
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd entry{fd, POLLIN, 0};
        ::poll(&entry, 1, static_cast<int>(left.count()));
    }
}

std::optional<std::string> ChildProcess::readLine(Stream stream, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto& buffer = buffers_[stream];
        const auto newline = buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            return line;
        }
        if (!fill(stream, deadline)) return std::nullopt;
    }
}

bool ChildProcess::waitForLine(Stream stream, const std::string& text, std::chrono::milliseconds timeout,
                               std::vector<std::string>* seen) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        auto line = readLine(stream, std::max(left, std::chrono::milliseconds(0)));
        if (!line) return false;
        if (seen != nullptr) seen->push_back(*line);
        if (line->find(text) != std::string::npos) return true;
    }
}

void ChildProcess::signal(int number) {
    if (pid_ > 0 && !status_) ::kill(pid_, number);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (status_ || pid_ <= 0) return status_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string ChildProcess::rest(Stream stream) {
    while (fill(stream, std::chrono::steady_clock::now())) {
    }
    return std::exchange(buffers_[stream], {});
}

}  // namespace parlune::testing
