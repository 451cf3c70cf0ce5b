#pragma once

#include "core/runtime/Task.h"

#include <string>
#include <vector>

namespace parlune {

struct ProcessResult {
    bool started = false;
    std::string startError;  // why it could not be started
    bool killed = false;     // stopped because the awaiting task was cancelled
    int exitStatus = -1;     // the exit code, or the number of the signal that ended it
    std::string standardOutput;
    std::string standardError;
};

// Runs a program with an argument vector (never through a shell), collecting its standard output
// and standard error at the same time, and answers on the loop once it has exited. Cancelling the
// awaiting task kills the program and ends the task at once.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    virtual Task<ProcessResult> run(std::string program, std::vector<std::string> arguments) = 0;
};

}  // namespace parlune
