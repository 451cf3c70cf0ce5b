#pragma once

// Runs a program from a test, with an argument vector (no shell), its own environment additions,
// and a bound on how long it may take.

#include <chrono>
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

}  // namespace parlune::testing
