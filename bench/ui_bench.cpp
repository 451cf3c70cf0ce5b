// The desktop application's start-up: time from launching the parlune binary to its main window's
// first frame, and the resident memory of the running application once it is idle. Runs on the
// display given by QT_QPA_PLATFORM / DISPLAY (offscreen when neither is set).

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

struct Launch {
    pid_t pid = -1;
    int output = -1;
};

Launch launch(const std::string& home) {
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    ::setenv("PARLUNE_REPORT_FIRST_FRAME", "1", 1);
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int fds[2];
    if (::pipe(fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char binary[] = PARLUNE_BINARY;
    char* argv[] = {binary, nullptr};
    Launch result;
    if (posix_spawn(&result.pid, binary, &actions, nullptr, argv, environ) != 0) result.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    result.output = fds[0];
    return result;
}

// Reads the child's standard error until the first-frame line (or end of file).
bool waitForFirstFrame(int fd) {
    std::string seen;
    char buffer[256];
    for (;;) {
        const auto n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find("first frame\n") != std::string::npos) return true;
    }
}

void stop(const Launch& running) {
    ::kill(running.pid, SIGTERM);
    ::waitpid(running.pid, nullptr, 0);
    ::close(running.output);
}

double residentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

std::string freshHome() {
    auto folder = std::filesystem::temp_directory_path() / ("parlune-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    for (const char* sub : {"config", "data", "runtime"}) std::filesystem::create_directories(folder / sub);
    std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all);
    return folder.string();
}

void StartupToFirstFrame(benchmark::State& state) {
    double idle = 0;
    for (auto _ : state) {
        const auto home = freshHome();
        const auto started = std::chrono::steady_clock::now();
        const Launch running = launch(home);
        if (running.pid < 0 || !waitForFirstFrame(running.output)) {
            state.SkipWithError("the application did not draw its first frame");
            if (running.pid > 0) stop(running);
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        std::this_thread::sleep_for(std::chrono::seconds(2));  // idle: settings loaded, windows drawn
        idle = residentMiB(running.pid);
        stop(running);
        std::filesystem::remove_all(home);
    }
    state.counters["idle_rss_MiB"] = idle;
}
BENCHMARK(StartupToFirstFrame)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
