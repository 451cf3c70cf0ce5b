// How long a cleanup takes to give up once its caller cancels it, over real HTTP: the request is
// sent to a server that never answers, then the dictation's task is cancelled.

#include "core/cleanup/TextProcessor.h"
#include "core/log/Log.h"
#include "fakes/SilentServer.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/runtime/StdLoop.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

Task<void> cleanInto(TextProcessor& processor, ModelProvider provider, std::optional<std::string>& result) {
    // Arguments are named objects: GCC 12 cannot take a string literal into a coroutine's frame here.
    std::string transcript = "so um the build is green";
    std::vector<std::string> words{"Parlune"};
    std::string preceding = "Status: ";
    result = co_await processor.processText(transcript, provider, WritingStyle::casual, words, preceding);
}

void cancelledCleanup(benchmark::State& state, ModelProvider provider) {
    log::setSink([](std::string_view) {});
    testing::SilentServer server;
    StdLoop loop;
    auto http = std::make_shared<CurlHttpClient>(loop);
    TextProcessor processor(http, DeploymentConfig{server.baseURL(), "bench-key", server.baseURL(), "", "", "", ""});
    int sent = 0;
    double transfersLeft = 0;
    for (auto _ : state) {
        std::optional<std::string> result;
        TaskHandle task = spawn(loop, cleanInto(processor, provider, result));
        loop.runUntil([&] { return http->activeTransfers() == 1; }, 10s);
        if (!server.waitForRequests(++sent, 10s)) state.SkipWithError("the request never arrived");

        const auto cancelled = std::chrono::steady_clock::now();
        task.cancel();
        loop.runUntil([&] { return task.isDone(); }, 10s);
        const auto returned = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(returned - cancelled).count());

        if (!result) state.SkipWithError("the cleanup did not return");
        transfersLeft += static_cast<double>(http->activeTransfers());
    }
    state.counters["transfers_left"] = transfersLeft;
    http.reset();
    log::setSink({});
}

}  // namespace

BENCHMARK_CAPTURE(cancelledCleanup, fast, ModelProvider::llamaScout)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(cancelledCleanup, local, ModelProvider::appleFoundation)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
