// parlune media status, parlune media test [SECONDS]

#include "cli/Command.h"
#include "core/log/Log.h"
#include "linux/media/LinuxMediaController.h"
#include "linux/runtime/StdLoop.h"

#include <charconv>
#include <iostream>
#include <optional>

namespace parlune::cli {
namespace {

using namespace std::chrono_literals;

// Far above the longest a pause or a status can take (each player call and each adapter run is
// bounded); only a guard against waiting forever.
constexpr Duration commandBound = 30s;

std::optional<double> parseSeconds(const std::string& text) {
    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || !(value >= 0 && value <= 3600)) {
        return std::nullopt;
    }
    return value;
}

int printStatus() {
    log::setStream(log::Stream::standardError);
    StdLoop loop;
    auto media = makeLinuxMediaController(loop);
    std::optional<MediaController::Status> status;
    spawn(loop, [](std::shared_ptr<MediaController> controller, std::optional<MediaController::Status>& out) -> Task<void> {
        out = co_await controller->currentStatus();
    }(media, status));
    if (!loop.runUntil([&] { return status.has_value(); }, commandBound)) {
        std::cerr << "parlune: the media status did not come within " << commandBound / 1s << " s\n";
        return 1;
    }
    for (const auto& player : status->players) {
        std::cout << player.name << ": ";
        if (player.running) {
            std::cout << "running, state \"" << player.state << "\"\n";
        } else {
            std::cout << "not running\n";
        }
    }
    if (media->isAdapterAvailable()) {
        std::cout << "Now-playing adapter: " << *media->adapterScriptPath() << " with " << *media->adapterFrameworkPath()
                  << "\nNow playing: " << (status->systemMediaPlaying ? "yes" : "no") << '\n';
    } else {
        std::cout << "Now-playing adapter: not found\nNow playing: unknown\n";
    }
    std::cout.flush();
    return 0;
}

int runTest(double seconds) {
    StdLoop loop;
    auto media = makeLinuxMediaController(loop);
    bool paused = false;
    spawn(loop, [](std::shared_ptr<MediaController> controller, bool& done) -> Task<void> {
        co_await controller->pauseIfPlaying();
        done = true;
    }(media, paused));
    if (!loop.runUntil([&] { return paused; }, commandBound)) {
        std::cerr << "parlune: the pause did not end within " << commandBound / 1s << " s\n";
        return 1;
    }
    loop.runUntil([] { return false; }, std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds)));
    media->resumeIfNeeded();
    if (!loop.runUntil([&] { return media->backgroundWork() == 0; }, commandBound)) {
        std::cerr << "parlune: resuming did not end within " << commandBound / 1s << " s\n";
        return 1;
    }
    return 0;
}

int runMedia(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "status") return printStatus();
    if (!args.empty() && args[0] == "test" && args.size() <= 2) {
        const auto seconds = args.size() == 2 ? parseSeconds(args[1]) : std::optional<double>(3.0);
        if (!seconds) return usageError("media test takes a number of seconds from 0 to 3600");
        return runTest(*seconds);
    }
    return usageError("media takes status or test [SECONDS]");
}

const bool registered = registerCommand(
    {"media",
     "  media status               show the players that would be paused and what the now-playing adapter reports\n"
     "  media test [SECONDS]       pause playing media as a dictation does, wait (default 3 s), resume\n",
     runMedia});

}  // namespace
}  // namespace parlune::cli
