#pragma once

// A program a test starts and talks to while it runs: its standard output and error (and one more
// descriptor, if asked) are pipes read line by line with a bound on every wait. Stopped by PID when
// the object goes.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace parlune::testing {

class ChildProcess {
public:
    enum Stream { standardOutput = 0, standardError = 1, extra = 2 };

    // `extraFd`: a descriptor number (3 and up) that the program writes to, read as Stream::extra.
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::map<std::string, std::string>& environment = {}, int extraFd = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line (without its line feed), or none when none came within `timeout`.
    std::optional<std::string> readLine(Stream stream, std::chrono::milliseconds timeout);
    // Waits for a line that contains `text`; the lines read on the way are kept in `seen`.
    bool waitForLine(Stream stream, const std::string& text, std::chrono::milliseconds timeout,
                     std::vector<std::string>* seen = nullptr);
    void signal(int number);
    // The exit status, or none when the program is still running after `timeout`. -1: killed.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // What is left unread on a stream (after the program ended).
    std::string rest(Stream stream);

private:
    bool fill(Stream stream, std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int fds_[3] = {-1, -1, -1};
    std::string buffers_[3];
    std::optional<int> status_;
};

}  // namespace parlune::testing
