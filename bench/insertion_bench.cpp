// Pastes in a row into a real Qt field and GTK entry on a private desktop while busy processes
// load every core: how many land intact, and how many previous clipboard texts come back.
// Busy processes: $PARLUNE_LOAD_PROCESSES (default 6).

#include "linux/insertion/DesktopSession.h"
#include "linux/insertion/InsertionDesktop.h"
#include "linux/runtime/StdLoop.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

bool runUntil(StdLoop& loop, const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = loop.now() + limit;
    while (!done()) {
        if (loop.now() > deadline) return false;
        loop.runUntil(done, 10ms);
    }
    return true;
}

// Processes that keep the processors busy (yes > /dev/null) until destroyed.
struct Load {
    explicit Load(int count) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        for (int i = 0; i < count; ++i) {
            char program[] = "/usr/bin/yes";
            char* argv[] = {program, nullptr};
            pid_t pid = 0;
            if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) == 0) pids.push_back(pid);
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Load() {
        for (pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    std::vector<pid_t> pids;
};

void BM_PastesUnderLoad(benchmark::State& state) {
    DesktopSession* session = DesktopSession::shared();
    if (session == nullptr) {
        state.SkipWithError("the private desktop did not start");
        return;
    }
    const bool qt = state.range(0) == 0;
    StdLoop loop;
    auto desktop = InsertionDesktop::open(loop);
    auto other = X11Clipboard::open(loop, true);
    std::map<std::string, std::string> environment;
    if (qt) environment = {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}};
    auto field = session->start({qt ? PARLUNE_QT_FIELD : PARLUNE_GTK_ENTRY, "", "0"}, environment);
    if (!field->waitForLine([](const std::string& line) { return line == "ready"; }, 15s)) {
        state.SkipWithError("the field did not start");
        return;
    }
    const char* configured = std::getenv("PARLUNE_LOAD_PROCESSES");
    Load load(configured != nullptr ? std::atoi(configured) : 6);

    std::string expected;
    int pastes = 0;
    int landed = 0;
    int restored = 0;
    for (auto _ : state) {
        ++pastes;
        const std::string previous = "user copy " + std::to_string(pastes);
        other->offerText(previous);
        const std::string piece = "paste " + std::to_string(pastes) + " ✓ ";
        bool finished = false;
        spawn(loop, [](std::shared_ptr<TextInjector> injector, std::string text, bool& done) -> Task<void> {
            co_await injector->insert(std::move(text));
            done = true;
        }(desktop.textInjector, piece, finished));
        runUntil(loop, [&] { return finished; }, 10s);
        expected += piece;

        state.PauseTiming();
        const bool intact = runUntil(
            loop,
            [&] {
                field->poll();
                return lastReportedText(*field) == expected;
            },
            3s);
        landed += intact ? 1 : 0;
        if (!intact) expected = lastReportedText(*field).value_or("");
        std::optional<std::optional<std::string>> clipboard;
        spawn(loop, [](std::shared_ptr<X11Clipboard> reader, std::optional<std::optional<std::string>>& out) -> Task<void> {
            out = co_await reader->readText();
        }(other, clipboard));
        runUntil(loop, [&] { return clipboard.has_value(); }, 5s);
        restored += clipboard && *clipboard == previous ? 1 : 0;
        state.ResumeTiming();
    }
    state.counters["pastes"] = pastes;
    state.counters["landed_intact"] = landed;
    state.counters["clipboard_restored"] = restored;
    state.counters["busy_processes"] = static_cast<double>(load.pids.size());
    state.SetLabel(qt ? "Qt field" : "GTK entry");
}

}  // namespace

BENCHMARK(BM_PastesUnderLoad)->Arg(0)->Arg(1)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
