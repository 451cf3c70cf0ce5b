// Speech recognition costs: decoder load, real-time factor on one core, time from the end of the
// audio to the final result, peak memory. The whole process is pinned to one core.
//
//   build/release/bench/bench_speech --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "linux/speech/PocketSphinxRecognizer.h"
#include "linux/speech/SpeechAudio.h"

#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

using namespace parlune;
using Clock = std::chrono::steady_clock;

namespace {

struct Recording {
    const char* name;
    std::string path;
};

const std::vector<Recording>& recordings() {
    static const std::vector<Recording> all{
        {"flite", std::string(PARLUNE_SAMPLES_DIR) + "/sample-1.wav"},
        {"read_speech", "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0870.wav"},
    };
    return all;
}

SpeechSamples load(const std::string& path) {
    std::string error;
    auto samples = readSpeechAudio(path, error);
    if (!samples) {
        std::cerr << error << '\n';
        std::exit(1);
    }
    return *samples;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_DecoderLoad(benchmark::State& state) {
    for (auto _ : state) {
        std::string error;
        auto decoder = SphinxDecoder::load(SphinxDecoder::defaultModelFolder(), {}, error);
        if (!decoder) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(decoder);
    }
}

// Decoding as the recogniser's worker does it: buffers of 1024 frames, a hypothesis after each.
void BM_RealTimeFactor(benchmark::State& state) {
    const auto& recording = recordings()[static_cast<std::size_t>(state.range(0))];
    const SpeechSamples samples = load(recording.path);
    std::string error;
    auto decoder = SphinxDecoder::load(SphinxDecoder::defaultModelFolder(), {}, error);
    double decoding = 0;
    double finishing = 0;  // end of the utterance and its final hypothesis
    double cpu = 0;
    double audio = 0;
    for (auto _ : state) {
        const auto started = Clock::now();
        const double cpuStarted = threadCpuSeconds();
        decoder->startUtterance();
        for (std::size_t offset = 0; offset < samples.size(); offset += 1024) {
            decoder->process(samples.data() + offset, std::min<std::size_t>(1024, samples.size() - offset));
            benchmark::DoNotOptimize(decoder->hypothesis());
        }
        const auto ending = Clock::now();
        decoder->endUtterance();
        benchmark::DoNotOptimize(decoder->hypothesis());
        finishing += seconds(Clock::now() - ending);
        decoding += seconds(Clock::now() - started);
        cpu += threadCpuSeconds() - cpuStarted;
        audio += static_cast<double>(samples.size()) / 16000.0;
    }
    state.SetLabel(recording.name);
    state.counters["rtf"] = decoding / audio;
    state.counters["rtf_cpu"] = cpu / audio;
    state.counters["final_ms"] = finishing * 1000.0 / static_cast<double>(state.iterations());
}

// Through the recogniser: all audio decoded, then endAudio; the time until the final result.
void BM_EndAudioToFinal(benchmark::State& state) {
    const SpeechSamples samples = load(recordings()[0].path);
    PocketSphinxRecognizer recognizer;
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<SpeechAuthorizationStatus> status;
    recognizer.requestAuthorization([&](SpeechAuthorizationStatus answer) {
        std::lock_guard lock(mutex);
        status = answer;
        changed.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return status.has_value(); });
    }
    for (auto _ : state) {
        Clock::time_point finalAt{};
        auto request = recognizer.makeRequest();
        request->shouldReportPartialResults = true;
        request->addsPunctuation = true;
        auto task = recognizer.recognitionTask(request, [&](std::optional<RecognitionResult> result, std::optional<RecognitionError>) {
            if (!result || !result->isFinal) return;
            std::lock_guard lock(mutex);
            finalAt = Clock::now();
            changed.notify_all();
        });
        for (std::size_t offset = 0; offset < samples.size(); offset += 1024) {
            request->append(AudioBuffer{samples.data() + offset, std::min<std::size_t>(1024, samples.size() - offset), {16000, 1}});
        }
        while (recognizer.pendingBuffers() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto ended = Clock::now();
        request->endAudio();
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return finalAt != Clock::time_point{}; });
        state.SetIterationTime(seconds(finalAt - ended));
    }
    state.counters["peak_rss_mb"] = peakMegabytes();
}

}  // namespace

// First, so that its peak memory is that of one warm recogniser.
BENCHMARK(BM_EndAudioToFinal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecoderLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RealTimeFactor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    // One core for everything: the figures are those of a single core.
    cpu_set_t one;
    CPU_ZERO(&one);
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &allowed)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        sched_setaffinity(0, sizeof one, &one);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
