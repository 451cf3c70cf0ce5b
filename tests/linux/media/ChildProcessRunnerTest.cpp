// Child processes: argument vectors, both streams read at once, exit statuses, kill on cancel.

#include "MediaBus.h"

#include "linux/media/ChildProcessRunner.h"

#include <signal.h>

#include <cerrno>
#include <fstream>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

class ChildProcesses : public ::testing::Test {
protected:
    template <class T>
    T finish(Task<T> task) {
        return runTask(loop, std::move(task));
    }

    StdLoop loop;
    ChildProcessRunner runner{loop};
};

}  // namespace

TEST_F(ChildProcesses, LargeOutputOnBothStreamsIsCollectedWithTheExitStatus) {
    // Each stream far beyond a pipe's buffer: read one after the other, this would never end.
    const auto result = finish(runner.run(
        "/usr/bin/perl", {"-e", "print STDERR 'e' x 1048576; print STDOUT 'o' x 1048576; print STDERR 'E'; exit 3",
                          "an argument with spaces; and $(no shell)"}));
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.standardOutput, std::string(1048576, 'o'));
    EXPECT_EQ(result.standardError, std::string(1048576, 'e') + "E");

    const auto echoed = finish(runner.run("/usr/bin/perl", {"-e", "print join '|', @ARGV", "a b", "$HOME", "'"}));
    EXPECT_EQ(echoed.standardOutput, "a b|$HOME|'");
}

TEST_F(ChildProcesses, AProgramThatCannotStartOrDiesOfASignalSaysSo) {
    const auto missing = finish(runner.run("/nonexistent/perl", {}));
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.startError, "cannot start /nonexistent/perl: No such file or directory");

    const auto killed = finish(runner.run("/usr/bin/perl", {"-e", "kill 'KILL', $$"}));
    EXPECT_TRUE(killed.started);
    EXPECT_EQ(killed.exitStatus, SIGKILL);
}

TEST_F(ChildProcesses, CancellingKillsTheProgramAndWhatItStartedAndEndsAtOnce) {
    TemporaryFolder folder;
    const std::string pids = folder.path() + "/pids";
    // The program starts a child of its own, then both sleep; both write their PIDs first.
    const std::string script = "open my $f, '>', $ARGV[0]; my $kid = fork(); if (!$kid) { sleep 60; exit 0 } "
                               "print $f \"$$ $kid\\n\"; close $f; sleep 60";
    std::optional<parlune::ProcessResult> result;
    auto handle = spawn(loop, [](ChildProcessRunner& processes, std::string code, std::string file,
                                 std::optional<parlune::ProcessResult>& out) -> Task<void> {
        std::vector<std::string> arguments{"-e", code, file};  // (a braced list inside co_await trips GCC 12)
        out = co_await processes.run("/usr/bin/perl", std::move(arguments));
    }(runner, script, pids, result));
    pid_t parent = 0;
    pid_t grandchild = 0;
    loop.runUntil([] { return false; }, 0ms);  // starts the program
    ASSERT_TRUE(eventually([&] { return std::ifstream(pids) >> parent >> grandchild && parent > 0; }));
    handle.cancel();
    ASSERT_TRUE(loop.runUntil([&] { return result.has_value(); }, 1s));
    EXPECT_TRUE(result->killed);
    const auto gone = [](pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; };
    EXPECT_TRUE(eventually([&] { return gone(parent); })) << "killed and reaped";
    EXPECT_TRUE(eventually([&] {
        // The grandchild is reparented and reaped by init; a zombie of it counts as gone.
        std::ifstream stat("/proc/" + std::to_string(grandchild) + "/stat");
        std::string pid, name, state;
        return !(stat >> pid >> name >> state) || state == "Z";
    }));
}
