#pragma once

// A private desktop for one test process: an X server with a window manager (PrivateDisplay), a
// session bus and the accessibility bus, in a temporary home. The process's environment points at them once started.
// Programs started on it are killed (by process id) when the session ends or the test process dies.

#include "fakes/Process.h"
#include "linux/apps/PrivateDisplay.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlune::testing {

// A program on the desktop whose standard output is read line by line.
class DesktopProgram {
public:
    DesktopProgram(int pid, int output) : pid_(pid), output_(output) {}
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // Takes what the program has written so far, without waiting; true when a new line came.
    bool poll();
    const std::vector<std::string>& lines() const { return lines_; }
    // Waits (blocking, bounded) for a line that satisfies `accept`.
    bool waitForLine(const std::function<bool(const std::string&)>& accept, std::chrono::milliseconds limit);
    int pid() const { return pid_; }

private:
    int pid_;
    int output_;
    std::string partial_;
    std::vector<std::string> lines_;
};

class DesktopSession {
public:
    // The session of this test process, started at the first call; none when it cannot start.
    static DesktopSession* shared();
    ~DesktopSession();

    const std::string& home() const { return home_.path(); }
    PrivateDisplay& display() { return *display_; }
    // Starts a program with the session's environment plus `environment`.
    std::unique_ptr<DesktopProgram> start(const std::vector<std::string>& argv,
                                          const std::map<std::string, std::string>& environment = {});

private:
    DesktopSession() = default;
    bool begin();
    int spawnDaemon(const std::vector<std::string>& argv, int outputFd = -1);
    // Starts a daemon that writes one line (its display, its address) to the descriptor it is given.
    std::optional<std::string> spawnAnnouncingDaemon(const std::function<std::vector<std::string>(const std::string& fd)>& argv);

    TemporaryFolder home_;
    std::unique_ptr<PrivateDisplay> display_;  // the X server and its window manager
    std::vector<int> daemons_;                 // the buses, in start order
};

// The text a test program last reported ("text HEX" lines), decoded; none before any change.
std::optional<std::string> lastReportedText(const DesktopProgram& program);

}  // namespace parlune::testing
