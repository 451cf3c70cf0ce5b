// Costs of the core's building blocks that run on every dictation.

#include "core/runtime/Task.h"
#include "core/runtime/VirtualLoop.h"
#include "core/text/Text.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

Task<int> child(int value) {
    co_await sleepFor(1ms);
    co_return value + 1;
}

void BM_SpawnAwaitAndSleep(benchmark::State& state) {
    VirtualLoop loop;
    int total = 0;
    for (auto _ : state) {
        auto body = [&]() -> Task<void> { total += co_await child(total); };
        spawn(loop, body());
        loop.advance(1ms);
    }
    benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_SpawnAwaitAndSleep);

void BM_RaceWithTimer(benchmark::State& state) {
    VirtualLoop loop;
    for (auto _ : state) {
        auto body = [&]() -> Task<void> {
            auto result = co_await race(child(1), child(2));
            benchmark::DoNotOptimize(result.value);
        };
        spawn(loop, body());
        loop.advance(1ms);
    }
}
BENCHMARK(BM_RaceWithTimer);

void BM_LastCharactersOfFieldText(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < state.range(0); ++i) text += "Dear team, the deploy 👩‍👩‍👧 is done. ";
    for (auto _ : state) benchmark::DoNotOptimize(lastCharacters(text, 80));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LastCharactersOfFieldText)->Arg(1)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
