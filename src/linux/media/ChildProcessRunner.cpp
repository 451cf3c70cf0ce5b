#include "linux/media/ChildProcessRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace parlune {

struct ChildProcessRunner::Child {
    std::mutex mutex;
    pid_t pid = 0;
    bool exited = false;  // once set, the pid may belong to another process: never signal it
    bool killRequested = false;
    std::atomic<bool> finished{false};
    std::thread thread;

    void kill() {
        std::lock_guard lock(mutex);
        killRequested = true;
        if (pid > 0 && !exited) signalGroup();
    }
    void signalGroup() const {
        if (::kill(-pid, SIGKILL) != 0) ::kill(pid, SIGKILL);
    }
};

namespace {

class Pipe {
public:
    Pipe() {
        if (::pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool valid() const { return ends_[0] >= 0; }
    int read() const { return ends_[0]; }
    int write() const { return ends_[1]; }
    void closeRead() { closeEnd(0); }
    void closeWrite() { closeEnd(1); }

private:
    void closeEnd(int index) {
        if (ends_[index] >= 0) ::close(ends_[index]);
        ends_[index] = -1;
    }
    int ends_[2];
};

// Reads what is there now; false at end of file (or on an error).
bool drain(int fd, std::string& into) {
    char buffer[16384];
    while (true) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            const std::size_t room = ChildProcessRunner::outputLimit - std::min(into.size(), ChildProcessRunner::outputLimit);
            into.append(buffer, std::min(room, static_cast<std::size_t>(count)));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        return count < 0 && errno == EAGAIN;
    }
}

ProcessResult runChild(ChildProcessRunner::Child& child, const std::string& program,
                       const std::vector<std::string>& arguments) {
    ProcessResult result;
    Pipe output;
    Pipe errors;
    if (!output.valid() || !errors.valid()) {
        result.startError = std::string("cannot create pipes: ") + std::strerror(errno);
        return result;
    }

    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output.write(), 1);
    posix_spawn_file_actions_adddup2(&actions, errors.write(), 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    output.closeWrite();
    errors.closeWrite();
    if (spawned != 0) {
        result.startError = "cannot start " + program + ": " + std::strerror(spawned);
        return result;
    }
    result.started = true;
    {
        std::lock_guard lock(child.mutex);
        child.pid = pid;
        if (child.killRequested) child.signalGroup();
    }

    // Read both pipes until the program has exited (its pidfd turns readable) or, where pidfds
    // are missing, until both pipes are closed.
    ::fcntl(output.read(), F_SETFL, O_NONBLOCK);
    ::fcntl(errors.read(), F_SETFL, O_NONBLOCK);
    // (glibc 2.36 declares pidfd_open without C linkage, so the system call is made directly.)
    const int exitFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    std::array<pollfd, 3> watched{pollfd{output.read(), POLLIN, 0}, pollfd{errors.read(), POLLIN, 0},
                                  pollfd{exitFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.standardOutput, &result.standardError};
    bool exited = false;
    while (!exited && (watched[0].fd >= 0 || watched[1].fd >= 0 || watched[2].fd >= 0)) {
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t index = 0; index < 2; ++index) {
            if (watched[index].fd >= 0 && watched[index].revents != 0 && !drain(watched[index].fd, *sinks[index])) {
                watched[index].fd = -1;
            }
        }
        exited = watched[2].fd >= 0 && watched[2].revents != 0;
    }
    for (std::size_t index = 0; index < 2; ++index) {
        if (watched[index].fd >= 0) drain(watched[index].fd, *sinks[index]);  // what was written before exit
    }
    if (exitFd >= 0) ::close(exitFd);

    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    {
        std::lock_guard lock(child.mutex);
        child.exited = true;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    return result;
}

}  // namespace

ChildProcessRunner::~ChildProcessRunner() {
    std::vector<std::shared_ptr<Child>> children;
    {
        std::lock_guard lock(mutex_);
        children.swap(children_);
    }
    for (auto& child : children) {
        child->kill();
        if (child->thread.joinable()) child->thread.join();
    }
}

void ChildProcessRunner::forgetFinished() {
    std::lock_guard lock(mutex_);
    std::erase_if(children_, [](const std::shared_ptr<Child>& child) {
        if (!child->finished.load()) return false;
        child->thread.join();
        return true;
    });
}

Task<ProcessResult> ChildProcessRunner::run(std::string program, std::vector<std::string> arguments) {
    const TaskContext task = co_await thisTask();
    forgetFinished();
    auto child = std::make_shared<Child>();
    Completion<ProcessResult> done;
    {
        std::lock_guard lock(mutex_);
        children_.push_back(child);
        EventLoop* loop = &loop_;
        child->thread = std::thread([child = child.get(), done, loop, program, arguments]() mutable {
            ProcessResult result = runChild(*child, program, arguments);
            loop->post([done, result = std::move(result)]() mutable { done.resolve(std::move(result)); });
            child->finished.store(true);
        });
    }
    // A cancelled caller does not wait for the program to go: it is killed and the task ends now.
    std::uint64_t registration = 0;
    if (task.cancel) {
        registration = task.cancel->onCancel([child, done]() mutable {
            child->kill();
            ProcessResult killed;
            killed.started = true;
            killed.killed = true;
            done.resolve(std::move(killed));
        });
    }
    ProcessResult result = co_await done;
    if (registration != 0) task.cancel->removeOnCancel(registration);
    co_return result;
}

}  // namespace parlune
