#pragma once

// Runs a program from a test, with an argument vector (no shell), its own environment additions,
// and a bound on how long it may take.

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace parlune::testing {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed or not started
    bool timedOut = false;
    std::string standardOutput;
    std::string standardError;
};

ProcessResult runProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

// A program started in the background with an argument vector (no shell, looked up on PATH) and
// the test's environment plus `environment`; standard input is /dev/null, standard output and error
// go to `outputFile`. `fd3`, when not -1, is handed to the program as its file descriptor 3. Stopped
// (SIGTERM, then SIGKILL after 5 s) and reaped on destruction.
class BackgroundProcess {
public:
    BackgroundProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment = {},
                      int fd3 = -1, const std::string& outputFile = "/dev/null");
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool started() const { return pid_ > 0; }
    int pid() const { return pid_; }
    bool running() const;
    void stop();

private:
    int pid_ = -1;
};

// The test's own environment with `overrides` applied, as NAME=VALUE strings.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& overrides);
// A null-terminated array of pointers into `items`, for exec.
std::vector<char*> pointers(std::vector<std::string>& items);

// A folder under the system's temporary folder, removed with everything in it on destruction.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The whole content of a file as bytes; "" when it cannot be read.
std::string readFile(const std::filesystem::path& file);
// Writes `content` to `file`, making the folders it lies in; returns `file`.
std::filesystem::path writeFile(const std::filesystem::path& file, const std::string& content);

}  // namespace parlune::testing
