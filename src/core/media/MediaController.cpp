#include "core/media/MediaController.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <nlohmann/json.hpp>
#include <unicode/utf8.h>

#include <charconv>
#include <filesystem>

namespace parlune {
namespace {

const std::string frameworkFolderName = "MediaRemoteAdapter.framework";

bool isValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t index = 0;
    while (index < length) {
        UChar32 codePoint = 0;
        U8_NEXT(bytes, index, length, codePoint);
        if (codePoint < 0) return false;
    }
    return true;
}

// The shortest decimal form that reads back as the same double; whole numbers keep one decimal
// place ("1.0").
std::string formatRate(double rate) {
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, rate);
    std::string text(buffer, written.ptr);
    if (text.find_first_not_of("-0123456789") == std::string::npos) text += ".0";
    return text;
}

std::string withoutTrailingLineBreaks(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

enum class RunEnd { finished, timedOut, cancelled };
struct AdapterRun {
    RunEnd end = RunEnd::cancelled;
    ProcessResult result;
};

Task<AdapterRun> runToEnd(std::shared_ptr<ProcessRunner> runner, std::vector<std::string> arguments) {
    ProcessResult result = co_await runner->run(MediaController::perlPath, std::move(arguments));
    const RunEnd end = result.killed ? RunEnd::cancelled : RunEnd::finished;
    co_return AdapterRun{end, std::move(result)};
}

Task<AdapterRun> expireAfter(Duration limit) {
    const bool elapsed = co_await sleepFor(limit);
    co_return AdapterRun{elapsed ? RunEnd::timedOut : RunEnd::cancelled, {}};
}

Task<void> runBounded(std::shared_ptr<ProcessRunner> runner, std::vector<std::string> arguments,
                      Completion<AdapterRun> finished) {
    auto raced = co_await race(runToEnd(std::move(runner), std::move(arguments)),
                               expireAfter(MediaController::adapterTimeLimit));
    finished.resolve(std::move(raced.value));
}

}  // namespace

const std::vector<ScriptableApp>& MediaController::scriptableApps() {
    static const std::vector<ScriptableApp> apps = {
        {"com.spotify.client", "Spotify", "tell application \"Spotify\" to return player state as string",
         "tell application \"Spotify\" to pause", "tell application \"Spotify\" to play"},
        {"com.apple.Music", "Music", "tell application \"Music\" to return player state as string",
         "tell application \"Music\" to pause", "tell application \"Music\" to play"},
    };
    return apps;
}

std::shared_ptr<MediaController> MediaController::create(Services services) {
    return std::shared_ptr<MediaController>(new MediaController(std::move(services)));
}

MediaController::MediaController(Services services) : services_(std::move(services)) {
    settled_.resolve(Done{});
    findAdapter();
}

void MediaController::findAdapter() {
    const BundleResources& resources = *services_.resources;
    adapterScriptPath_ = resources.resourcePath("mediaremote-adapter", "pl");
    if (adapterScriptPath_) {
        log::line("🔊 Found mediaremote-adapter.pl at " + *adapterScriptPath_);
    } else {
        log::line("⚠️ MR: Could not find script");
    }

    if (auto framework = resources.resourcePath("MediaRemoteAdapter", "framework")) {
        adapterFrameworkPath_ = framework;
        log::line("🔊 Found MediaRemoteAdapter.framework at " + *framework);
        return;
    }
    if (auto frameworks = resources.privateFrameworksPath()) {
        const std::string candidate = (std::filesystem::path(*frameworks) / frameworkFolderName).string();
        if (resources.fileExists(candidate)) {
            adapterFrameworkPath_ = candidate;
            log::line("🔊 Found MediaRemoteAdapter.framework in Frameworks/");
            return;
        }
    }
    if (adapterScriptPath_) {
        const std::string candidate =
            (std::filesystem::path(*adapterScriptPath_).parent_path() / frameworkFolderName).string();
        if (resources.fileExists(candidate)) {
            adapterFrameworkPath_ = candidate;
            log::line("🔊 Found MediaRemoteAdapter.framework alongside script at " + candidate);
            return;
        }
    }
    log::line("⚠️ MR: Could not find framework");
}

Task<void> MediaController::pauseIfPlaying() {
    // What the last resume started (toggling back, playing by script) must be done before players
    // are looked at again, or a player about to be resumed would be taken for one the user paused.
    AsyncEvent settled = settled_;
    co_await settled;

    pausedScriptableApps_.clear();
    didPauseSystemMedia_ = false;

    for (const ScriptableApp& app : scriptableApps()) {
        if (!co_await services_.runningApplications->isAppRunning(app.bundleID)) {
            log::line("🔊 " + app.name + " not running — skipping");
            continue;
        }
        const auto result = co_await runAppleScript(services_.scriptRunner, app.isPlayingScript);
        const std::string state = result ? toLower(*result) : std::string();
        log::line("🔊 " + app.name + " state: \"" + state + "\"");
        if (state.find("playing") != std::string::npos) {
            co_await runAppleScript(services_.scriptRunner, app.pauseScript);
            pausedScriptableApps_.insert(app.bundleID);
            log::line("⏸️ Paused " + app.name + " via AppleScript");
        }
    }

    // Give a paused player time to tell the system, so phase 2 does not toggle it back on. A
    // cancelled caller cuts this short and goes on.
    if (!pausedScriptableApps_.empty()) co_await sleepFor(phaseOneSettleTime);

    const bool playing = co_await isSystemMediaPlaying();
    log::line(std::string("🔊 System now-playing active after Phase 1: ") + (playing ? "true" : "false"));
    if (playing) {
        sendMediaCommand(playPauseCommand);
        didPauseSystemMedia_ = true;
        log::line("⏸️ Paused system media via MediaRemote adapter");
    }
}

void MediaController::resumeIfNeeded() {
    bool toggle = false;
    if (didPauseSystemMedia_) {
        toggle = isAdapterAvailable();
        if (!toggle) logCannotSend(playPauseCommand, " — adapter not available");
        didPauseSystemMedia_ = false;
        log::line("▶️ Resumed system media via MediaRemote adapter");
    }
    std::vector<ScriptableApp> paused;
    for (const ScriptableApp& app : scriptableApps()) {
        if (pausedScriptableApps_.count(app.bundleID) > 0) paused.push_back(app);
    }
    // The toggle goes first and is waited for: a player resumed by script before it would be what
    // the adapter finds playing, and toggled off again.
    if (toggle || !paused.empty()) {
        inBackground(resumeInBackground(weak_from_this(), services_.scriptRunner, std::move(paused), toggle));
    }
    pausedScriptableApps_.clear();
}

Task<MediaController::Status> MediaController::currentStatus() {
    Status status;
    for (const ScriptableApp& app : scriptableApps()) {
        PlayerStatus player;
        player.name = app.name;
        player.running = co_await services_.runningApplications->isAppRunning(app.bundleID);
        if (player.running) {
            const auto result = co_await runAppleScript(services_.scriptRunner, app.isPlayingScript);
            player.state = result ? toLower(*result) : std::string();
        }
        status.players.push_back(std::move(player));
    }
    status.adapterAvailable = isAdapterAvailable();
    status.systemMediaPlaying = co_await isSystemMediaPlaying();
    co_return status;
}

Task<std::optional<std::string>> MediaController::runAppleScript(std::shared_ptr<ScriptRunner> runner,
                                                                 std::string source) {
    ScriptResult result = co_await runner->runScript(source);
    if (result.error) {
        log::line("⚠️ AppleScript error for: " + firstCharacters(source, 60) + "… → " + *result.error);
        co_return std::nullopt;
    }
    co_return std::move(result.text);
}

Task<bool> MediaController::isSystemMediaPlaying() {
    if (!isAdapterAvailable()) {
        log::line("⚠️ MediaRemote adapter not available for detection");
        co_return false;
    }
    std::vector<std::string> arguments{"get"};  // (a braced list inside co_await trips GCC 12)
    const std::optional<std::string> output = co_await runAdapter(std::move(arguments));
    if (!output) {
        log::line("🔊 isPlayingMedia: no JSON output");
        co_return false;
    }
    const auto json = nlohmann::json::parse(*output, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        log::line("🔊 isPlayingMedia decode failed: " + firstCharacters(*output, 200));
        co_return false;
    }
    double rate = 0;
    if (const auto found = json.find("playbackRate"); found != json.end() && found->is_number()) {
        rate = found->get<double>();
    }
    const bool playing = rate > 0;
    log::line("🔊 isPlayingMedia status: playbackRate=" + formatRate(rate) + ", isPlaying=" + (playing ? "true" : "false"));
    co_return playing;
}

void MediaController::logCannotSend(int command, const std::string& reason) {
    log::line("⚠️ Could not send media command " + std::to_string(command) + reason);
}

void MediaController::sendMediaCommand(int command) {
    if (!isAdapterAvailable()) {
        logCannotSend(command, " — adapter not available");
        return;
    }
    inBackground(sendInBackground(weak_from_this(), command));
}

Task<void> MediaController::sendNow(int command) {
    std::vector<std::string> arguments{"send", std::to_string(command)};
    const auto output = co_await runAdapter(std::move(arguments));
    if (!output) logCannotSend(command, "");
}

void MediaController::inBackground(Task<void> work) {
    AsyncEvent before = settled_;
    AsyncEvent after;
    settled_ = after;
    ++backgroundWork_;
    spawn(*services_.loop, runInOrder(weak_from_this(), std::move(before), std::move(work), std::move(after)));
}

Task<void> MediaController::runInOrder(std::weak_ptr<MediaController> weakSelf, AsyncEvent before, Task<void> work,
                                       AsyncEvent after) {
    co_await before;
    co_await std::move(work);
    after.resolve(Done{});
    if (auto self = weakSelf.lock()) --self->backgroundWork_;
}

Task<void> MediaController::sendInBackground(std::weak_ptr<MediaController> weakSelf, int command) {
    if (auto self = weakSelf.lock()) co_await self->sendNow(command);
}

Task<void> MediaController::resumeInBackground(std::weak_ptr<MediaController> weakSelf,
                                               std::shared_ptr<ScriptRunner> runner, std::vector<ScriptableApp> apps,
                                               bool toggle) {
    if (toggle) {
        if (auto self = weakSelf.lock()) co_await self->sendNow(playPauseCommand);
    }
    // The players are resumed even when the controller is gone meanwhile.
    for (const ScriptableApp& app : apps) {
        co_await runAppleScript(runner, app.resumeScript);
        log::line("▶️ Resumed " + app.name + " via AppleScript");
    }
}

Task<std::optional<std::string>> MediaController::runAdapter(std::vector<std::string> arguments) {
    std::vector<std::string> commandLine{*adapterScriptPath_, *adapterFrameworkPath_};
    commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());

    // The run goes on in a task of its own, so a cancelled caller still gets its answer; a stuck
    // adapter must not keep a dictation from starting: past the limit it is killed.
    Completion<AdapterRun> finished;
    spawn(*services_.loop, runBounded(services_.processRunner, std::move(commandLine), finished));
    const AdapterRun run = co_await finished;
    if (run.end == RunEnd::timedOut) {
        log::line("⚠️ MediaRemote adapter did not finish within " + std::to_string(adapterTimeLimit.count()) +
                  " seconds — killed");
        co_return std::nullopt;
    }
    if (run.end == RunEnd::cancelled) co_return std::nullopt;
    if (!run.result.started) {
        log::line("⚠️ Failed to run MediaRemote adapter: " + run.result.startError);
        co_return std::nullopt;
    }

    std::optional<std::string> output;
    if (isValidUtf8(run.result.standardOutput)) output = run.result.standardOutput;
    if (run.result.exitStatus != 0) {
        const std::string errors = isValidUtf8(run.result.standardError) ? run.result.standardError : std::string();
        log::line("⚠️ MediaRemote adapter exited with status " + std::to_string(run.result.exitStatus) + ": " +
                  withoutTrailingLineBreaks(errors));
    }
    co_return output;
}

}  // namespace parlune
