// Latency of whole dictations through the real application on a private desktop (the end-to-end
// test's set-up), timed from outside: the hotkey press and release, the capture stream opening in
// the sound server, the application's log lines as they appear, and the field's own report of its
// text. Also the recogniser's real-time factor on one core (bench_speech pinned to CPU 0), the
// idle application's CPU use over 60 s and its memory after 20 dictations.
//
//   bench_e2e [OUTPUT.json] [--dictations N] [--idle SECONDS]
//
// Writes one JSON object of figures (medians over the dictations) to OUTPUT.json (default
// e2e-latency.json) and prints it.

#include "e2e/dictation/DictationDesktop.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>

using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

const std::string cleaned = "I'll send the report to the whole team on Friday morning.";
const std::string sample = std::string(PARLUNE_SAMPLES_DIR) + "/sample-1.wav";

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

nlohmann::json summary(const std::vector<double>& values) {
    if (values.empty()) return nullptr;
    return {{"median", median(values)}, {"min", *std::min_element(values.begin(), values.end())},
            {"max", *std::max_element(values.begin(), values.end())}, {"runs", values.size()}};
}

// utime + stime of a process, in seconds.
double cpuSeconds(int pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15) ticks += std::stod(field);
        if (index == 15) break;
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double residentMegabytes(int pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

struct Figures {
    std::vector<double> pressToMicrophoneOpen;
    std::vector<double> releaseToTranscript;
    std::vector<double> transcriptToCleaned;
    std::vector<double> cleanedToVisible;
    std::vector<double> injectingToVisible;
    std::vector<double> releaseToVisible;
};

// The time of the first line from `from` on that starts with `prefix`.
std::optional<Clock::time_point> seen(const LineWatcher& watcher, const std::string& prefix, std::size_t from) {
    auto index = watcher.waitForPrefix(prefix, 30s, from);
    if (!index) return std::nullopt;
    return watcher.lines()[*index].at;
}

// One dictation; adds its figures. False when a step did not come.
// With `trace`, prints the application's lines with their time since the press.
bool measureOne(DictationDesktop& desktop, const std::string& expected, bool mediaPlaying, Figures& figures, bool trace) {
    const std::size_t logMark = desktop.log().count();
    const auto dictated = desktop.dictate(sample);
    if (!dictated) {
        std::cerr << "the microphone did not open or the speech could not be played\n";
        return false;
    }
    const auto [pressed, openedAt, released] = *dictated;
    std::optional<Clock::time_point> visible;
    holdsWithin(
        [&] {
            if (desktop.fieldText() != expected) return false;
            visible = Clock::now();
            return true;
        },
        30s);
    const auto transcript = seen(desktop.log(), "📝 Raw transcription (", logMark);
    const auto result = seen(desktop.log(), "✅ Processed result: ", logMark);
    const auto injecting = seen(desktop.log(), "💉 Injecting processed text", logMark);
    if (!visible || !transcript || !result || !injecting) {
        std::cerr << "the dictation did not arrive in the field: " << desktop.fieldText().value_or("") << "\n";
        return false;
    }
    if (trace) {
        const auto lines = desktop.log().lines();
        for (std::size_t i = logMark; i < lines.size(); ++i) {
            std::cerr << "  +" << static_cast<long>(milliseconds(lines[i].at - pressed)) << " ms  " << lines[i].text << "\n";
        }
        std::cerr << "  microphone open at +" << static_cast<long>(milliseconds(openedAt - pressed)) << " ms, released at +"
                  << static_cast<long>(milliseconds(released - pressed)) << " ms, visible at +"
                  << static_cast<long>(milliseconds(*visible - pressed)) << " ms\n";
    }
    figures.pressToMicrophoneOpen.push_back(milliseconds(openedAt - pressed));
    figures.releaseToTranscript.push_back(milliseconds(*transcript - released));
    figures.transcriptToCleaned.push_back(milliseconds(*result - *transcript));
    figures.cleanedToVisible.push_back(milliseconds(*visible - *result));
    figures.injectingToVisible.push_back(milliseconds(*visible - *injecting));
    figures.releaseToVisible.push_back(milliseconds(*visible - released));
    // The next dictation starts from a quiet application: the media resumed, the tracker started.
    if (mediaPlaying) holdsWithin([&] { return desktop.player()->status() == "Playing"; }, 10s);
    desktop.log().waitForPrefix("📖 DiffTracker: started", 10s, logMark);
    return true;
}

// The recogniser's real-time factor on one core, from bench_speech pinned to CPU 0.
nlohmann::json realTimeFactor() {
    const auto run = runProcess({"/usr/bin/taskset", "-c", "0", PARLUNE_BENCH_SPEECH, "--benchmark_filter=BM_RealTimeFactor",
                                 "--benchmark_format=json"},
                                {}, 300s);
    const auto report = nlohmann::json::parse(run.standardOutput, nullptr, false);
    if (!report.is_object()) return {{"error", run.standardError}};
    nlohmann::json figures = nlohmann::json::array();
    for (const auto& benchmark : report["benchmarks"]) {
        figures.push_back({{"recording", benchmark.value("label", "")}, {"rtf", benchmark.value("rtf", -1.0)},
                           {"rtf_cpu", benchmark.value("rtf_cpu", -1.0)}, {"final_ms", benchmark.value("final_ms", -1.0)}});
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    std::string output = "e2e-latency.json";
    int dictations = 20;
    int idleSeconds = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--dictations" && i + 1 < argc) {
            dictations = std::max(2, std::stoi(argv[++i]));
        } else if (argument == "--idle" && i + 1 < argc) {
            idleSeconds = std::max(1, std::stoi(argv[++i]));
        } else {
            output = argument;
        }
    }

    DictationDesktop desktop({.gatewayListens = true, .cleanedText = cleaned, .playerPlaying = true});
    if (!desktop.problem().empty()) {
        std::cerr << desktop.problem() << "\n";
        return 1;
    }
    if (!desktop.startApplication()) {
        std::cerr << "the application did not become ready\n";
        return 1;
    }
    std::string expected = "Notes: ";
    if (!desktop.startField(expected)) {
        std::cerr << "the field was not focused\n";
        return 1;
    }

    const double rssAtStart = residentMegabytes(desktop.applicationPid());
    // Half of the dictations with a player playing, half with none.
    Figures playing;
    Figures quiet;
    std::vector<double> rssAfterEach;
    for (int run = 0; run < dictations; ++run) {
        const bool withMedia = run % 2 == 0;
        desktop.player()->setStatus(withMedia ? "Playing" : "Paused");
        expected += cleaned;
        if (!measureOne(desktop, expected, withMedia, withMedia ? playing : quiet, run < 2)) return 1;
        rssAfterEach.push_back(residentMegabytes(desktop.applicationPid()));
        std::cerr << "dictation " << run + 1 << " of " << dictations << " done\n";
    }
    const double rss = residentMegabytes(desktop.applicationPid());

    desktop.player()->setStatus("Paused");
    const double cpuBefore = cpuSeconds(desktop.applicationPid());
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double idleCpu = (cpuSeconds(desktop.applicationPid()) - cpuBefore) / idleSeconds * 100.0;

    auto merged = [](const std::vector<double>& a, const std::vector<double>& b) {
        std::vector<double> all = a;
        all.insert(all.end(), b.begin(), b.end());
        return summary(all);
    };
    const nlohmann::json figures = {
        {"unit", "ms"},
        {"dictations", dictations},
        {"fixed_waits_ms", {{"stop_delay", 300}, {"recogniser_drain", 600}, {"before_paste", 50}}},
        {"release_to_transcript", merged(playing.releaseToTranscript, quiet.releaseToTranscript)},
        {"transcript_to_cleaned_text", merged(playing.transcriptToCleaned, quiet.transcriptToCleaned)},
        {"cleaned_text_to_visible_in_field", merged(playing.cleanedToVisible, quiet.cleanedToVisible)},
        {"injecting_line_to_visible_in_field", merged(playing.injectingToVisible, quiet.injectingToVisible)},
        {"release_to_visible_in_field", merged(playing.releaseToVisible, quiet.releaseToVisible)},
        {"press_to_microphone_open_no_media", summary(quiet.pressToMicrophoneOpen)},
        {"press_to_microphone_open_player_playing", summary(playing.pressToMicrophoneOpen)},
        {"recogniser_real_time_factor_one_core", realTimeFactor()},
        {"idle_cpu_percent_of_one_core", {{"seconds", idleSeconds}, {"value", idleCpu}}},
        {"rss_mb_ready", rssAtStart},
        {"rss_mb_after_dictations", rss},
        {"rss_mb_after_each_dictation", rssAfterEach},
    };
    std::ofstream(output) << figures.dump(2) << "\n";
    std::cout << figures.dump(2) << std::endl;
    return 0;
}
