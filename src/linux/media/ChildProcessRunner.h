#pragma once

#include "core/runtime/EventLoop.h"
#include "platform/ProcessRunner.h"

#include <memory>
#include <mutex>
#include <vector>

namespace parlune {

// Runs each program on a thread of its own: posix_spawn with an argument vector, standard input
// from /dev/null, standard output and standard error read at the same time (each kept up to
// outputLimit bytes; the rest is read and dropped so the program never blocks on a full pipe). The
// program gets a process group of its own, so killing it also ends what it started. The result is
// posted to the loop once the program has exited. The loop must outlive this object.
class ChildProcessRunner final : public ProcessRunner {
public:
    explicit ChildProcessRunner(EventLoop& loop) : loop_(loop) {}
    // Kills the programs still running and waits for their threads.
    ~ChildProcessRunner() override;
    ChildProcessRunner(const ChildProcessRunner&) = delete;
    ChildProcessRunner& operator=(const ChildProcessRunner&) = delete;

    Task<ProcessResult> run(std::string program, std::vector<std::string> arguments) override;

    static constexpr std::size_t outputLimit = 8 * 1024 * 1024;

    struct Child;

private:
    void forgetFinished();

    EventLoop& loop_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<Child>> children_;
};

}  // namespace parlune
