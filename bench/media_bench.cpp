// What a media pause adds before the recorder starts, on the real Linux stack: a private session
// bus, the shipped adapter (perl), and a pause run on the std loop. Wall time per pause.

#include "core/log/Log.h"
#include "fakes/PrivateSessionBus.h"
#include "linux/media/DataFolderResources.h"
#include "linux/media/LinuxMediaController.h"
#include "linux/runtime/StdLoop.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

// One pause on a fresh controller whose adapter is looked up in `folder`.
void measurePauses(benchmark::State& state, const std::filesystem::path& folder) {
    testing::PrivateSessionBus bus;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
    log::setSink([](std::string_view) {});
    {
        StdLoop loop;
        auto media = makeLinuxMediaController(
            loop, std::make_shared<DataFolderResources>(std::vector<std::filesystem::path>{folder}, std::nullopt));
        for (auto _ : state) {
            bool done = false;
            spawn(loop, [](std::shared_ptr<MediaController> controller, bool& finished) -> Task<void> {
                co_await controller->pauseIfPlaying();
                finished = true;
            }(media, done));
            if (!loop.runUntil([&] { return done; }, 30s)) state.SkipWithError("the pause did not end");
        }
    }
    log::setSink({});
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

void BM_PauseWhenNothingPlays(benchmark::State& state) { measurePauses(state, PARLUNE_MEDIA_DATA_DIR); }

void BM_PauseWhenTheAdapterHangs(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "parlune-bench-hanging-adapter";
    std::filesystem::create_directories(folder / "MediaRemoteAdapter.framework");
    std::ofstream(folder / "mediaremote-adapter.pl") << "sleep 60;\n";
    measurePauses(state, folder);
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_PauseWhenNothingPlays)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_PauseWhenTheAdapterHangs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
