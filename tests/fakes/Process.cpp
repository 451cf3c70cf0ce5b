#include "fakes/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace parlune::testing {

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& overrides) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string item(*entry);
        const auto equals = item.find('=');
        if (equals != std::string::npos) merged[item.substr(0, equals)] = item.substr(equals + 1);
    }
    for (const auto& [key, value] : overrides) merged[key] = value;
    std::vector<std::string> result;
    for (const auto& [key, value] : merged) result.push_back(key + "=" + value);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& items) {
    std::vector<char*> result;
    for (auto& item : items) result.push_back(item.data());
    result.push_back(nullptr);
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                         std::chrono::milliseconds timeout) {
    ProcessResult result;
    std::vector<std::string> envStrings = environmentWith(environment);
    std::vector<char*> envp = pointers(envStrings);
    std::vector<std::string> args = argv;
    std::vector<char*> argp = pointers(args);

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<pollfd, 2> fds{pollfd{out[0], POLLIN, 0}, pollfd{err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0) continue;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.standardOutput : result.standardError).append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds) {
        if (fd.fd >= 0) ::close(fd.fd);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& environment, int fd3,
                                     const std::string& outputFile) {
    std::vector<std::string> envStrings = environmentWith(environment);
    std::vector<char*> envp = pointers(envStrings);
    std::vector<std::string> args = argv;
    std::vector<char*> argp = pointers(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // Through a descriptor above 3, so that the copy to 3 is always a real dup2 that drops close-on-exec.
    const int handed = fd3 >= 0 ? ::fcntl(fd3, F_DUPFD_CLOEXEC, 10) : -1;
    if (handed >= 0) posix_spawn_file_actions_adddup2(&actions, handed, 3);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0) pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    if (handed >= 0) ::close(handed);
}

BackgroundProcess::~BackgroundProcess() { stop(); }

bool BackgroundProcess::running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

void BackgroundProcess::stop() {
    if (pid_ <= 0) return;
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));  // readable once the process ends
    ::kill(pid_, SIGTERM);
    pollfd exited{pidfd, POLLIN, 0};
    if (pidfd < 0 || ::poll(&exited, 1, 5000) <= 0) ::kill(pid_, SIGKILL);
    if (pidfd >= 0) ::close(pidfd);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "parlune-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path writeFile(const std::filesystem::path& file, const std::string& content) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

}  // namespace parlune::testing
