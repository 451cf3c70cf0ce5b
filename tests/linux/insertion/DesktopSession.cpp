#include "linux/insertion/DesktopSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <thread>


namespace parlune::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Forks and runs `argv` with the current environment plus `extra`; the child dies with us.
int spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& extra, int stdoutFd, int keepFd,
          bool quiet) {
    std::vector<std::string> environment = environmentWith(extra);
    std::vector<char*> envp = pointers(environment);
    std::vector<std::string> args = argv;
    std::vector<char*> argp = pointers(args);

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::setpgid(0, 0);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(stdoutFd >= 0 ? stdoutFd : null, 1);
    if (quiet) ::dup2(null, 2);
    if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
    ::execve(argp[0], argp.data(), envp.data());
    ::_exit(127);
}

// Ends a child and what it started in its process group.
void stop(int pid) {
    if (pid <= 0) return;
    ::kill(-pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < deadline) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Reads one line from `fd` (blocking, bounded).
std::optional<std::string> readLine(int fd, std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        pollfd descriptor{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) continue;
        char c = 0;
        if (::read(fd, &c, 1) != 1) return std::nullopt;
        if (c == '\n') return line;
        line += c;
    }
    return std::nullopt;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string fromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

}  // namespace

// ---- DesktopProgram ------------------------------------------------------------------------------

DesktopProgram::~DesktopProgram() {
    stop(pid_);
    ::close(output_);
}

bool DesktopProgram::poll() {
    bool newLine = false;
    for (;;) {
        pollfd descriptor{output_, POLLIN, 0};
        if (::poll(&descriptor, 1, 0) <= 0 || (descriptor.revents & POLLIN) == 0) return newLine;
        char buffer[4096];
        const ssize_t count = ::read(output_, buffer, sizeof buffer);
        if (count <= 0) return newLine;
        partial_.append(buffer, static_cast<std::size_t>(count));
        for (auto end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
            lines_.push_back(partial_.substr(0, end));
            partial_.erase(0, end + 1);
            newLine = true;
        }
    }
}

bool DesktopProgram::waitForLine(const std::function<bool(const std::string&)>& accept, std::chrono::milliseconds limit) {
    std::size_t seen = 0;
    return waitUntil(
        [&] {
            poll();
            for (; seen < lines_.size(); ++seen) {
                if (accept(lines_[seen])) return true;
            }
            return false;
        },
        limit);
}

std::optional<std::string> lastReportedText(const DesktopProgram& program) {
    for (auto line = program.lines().rbegin(); line != program.lines().rend(); ++line) {
        if (line->starts_with("text ")) return fromHex(line->substr(5));
    }
    return std::nullopt;
}

// ---- DesktopSession ------------------------------------------------------------------------------

DesktopSession* DesktopSession::shared() {
    static std::unique_ptr<DesktopSession> session = [] {
        std::unique_ptr<DesktopSession> started(new DesktopSession());
        if (!started->begin()) started.reset();
        return started;
    }();
    return session.get();
}

DesktopSession::~DesktopSession() {
    for (auto pid = daemons_.rbegin(); pid != daemons_.rend(); ++pid) stop(*pid);
    display_.reset();
}

int DesktopSession::spawnDaemon(const std::vector<std::string>& argv, int outputFd) {
    const int pid = spawn(argv, {}, outputFd, outputFd, true);
    daemons_.push_back(pid);
    return pid;
}

std::optional<std::string> DesktopSession::spawnAnnouncingDaemon(
    const std::function<std::vector<std::string>(const std::string& fd)>& argv) {
    int announcement[2];
    if (::pipe(announcement) != 0) return std::nullopt;
    spawnDaemon(argv(std::to_string(announcement[1])), announcement[1]);
    ::close(announcement[1]);
    auto line = readLine(announcement[0], std::chrono::seconds(10));
    ::close(announcement[0]);
    return line;
}

bool DesktopSession::begin() {
    namespace fs = std::filesystem;
    const fs::path home = home_.path();
    for (const char* folder : {"config", "data", "cache", "runtime"}) fs::create_directories(home / folder);
    ::chmod((home / "runtime").c_str(), 0700);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    ::unsetenv("NO_AT_BRIDGE");
    ::unsetenv("WAYLAND_DISPLAY");

    display_ = std::make_unique<PrivateDisplay>();
    if (!display_->ok() || !display_->startWindowManager(home.string())) {
        std::cerr << "desktop: the X server or its window manager did not start\n";
        return false;
    }
    ::setenv("DISPLAY", display_->name().c_str(), 1);

    // The bus writes its address to the descriptor it is given.
    auto address = spawnAnnouncingDaemon([](const std::string& fd) {
        return std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=" + fd};
    });
    if (!address) {
        std::cerr << "desktop: the session bus did not start\n";
        return false;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);

    spawnDaemon({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"});
    const bool accessibilityBus = waitUntil(
        [] {
            return runProcess({"/usr/bin/dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"},
                              {}, std::chrono::seconds(5))
                       .standardOutput.find("boolean true") != std::string::npos;
        },
        std::chrono::seconds(10));
    if (!accessibilityBus) std::cerr << "desktop: the accessibility bus did not start\n";
    return accessibilityBus;
}

std::unique_ptr<DesktopProgram> DesktopSession::start(const std::vector<std::string>& argv,
                                                      const std::map<std::string, std::string>& environment) {
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return nullptr;
    const int pid = spawn(argv, environment, output[1], -1, false);
    ::close(output[1]);
    return std::make_unique<DesktopProgram>(pid, output[0]);
}

}  // namespace parlune::testing
