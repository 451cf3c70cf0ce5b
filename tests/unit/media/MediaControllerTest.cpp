// The media controller against fake players, a fake adapter and fake resources, on virtual time.

#include "core/media/MediaController.h"
#include "core/runtime/VirtualLoop.h"
#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

using namespace parlune;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

class FakeRunningApplications final : public RunningApplications {
public:
    Task<bool> isAppRunning(std::string bundleID) override { co_return running.count(bundleID) > 0; }
    std::set<std::string> running;
};

// Answers each script from a table (no text by default) after `takes`, and remembers what it ran.
class FakeScriptRunner final : public ScriptRunner {
public:
    Task<ScriptResult> runScript(std::string source) override {
        ran.push_back(source);
        if (takes > 0ms) co_await sleepFor(takes);
        const auto found = answers.find(source);
        co_return found == answers.end() ? ScriptResult{} : found->second;
    }
    std::map<std::string, ScriptResult> answers;
    std::vector<std::string> ran;
    std::chrono::milliseconds takes{0};
};

// The adapter: answers `get` with `getResult` and `send` with `sendResult`; a hanging one runs
// until it is killed.
class FakeProcessRunner final : public ProcessRunner {
public:
    Task<ProcessResult> run(std::string program, std::vector<std::string> arguments) override {
        std::vector<std::string> commandLine{program};
        commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
        commandLines.push_back(commandLine);
        const bool get = arguments.size() >= 3 && arguments[2] == "get";
        if (hangs || takes > 0ms) {
            if (!co_await sleepFor(hangs ? std::chrono::milliseconds(1h) : takes)) {
                ++kills;
                co_return ProcessResult{true, {}, true, -1, {}, {}};
            }
        }
        co_return get ? getResult : sendResult;
    }
    static ProcessResult printing(std::string output, int status = 0, std::string errors = {}) {
        return ProcessResult{true, {}, false, status, std::move(output), std::move(errors)};
    }
    ProcessResult getResult = printing(R"({"playbackRate":0})");
    ProcessResult sendResult = printing("");
    bool hangs = false;
    std::chrono::milliseconds takes{0};
    int kills = 0;
    std::vector<std::vector<std::string>> commandLines;
};

class FakeResources final : public BundleResources {
public:
    std::optional<std::string> resourcePath(const std::string& name, const std::string& extension) const override {
        const auto found = resources.find(name + "." + extension);
        return found == resources.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::optional<std::string> privateFrameworksPath() const override { return frameworksFolder; }
    bool fileExists(const std::string& path) const override { return files.count(path) > 0; }

    std::map<std::string, std::string> resources;
    std::optional<std::string> frameworksFolder;
    std::set<std::string> files;
};

const std::string script = "/opt/parlune/share/mediaremote-adapter.pl";
const std::string framework = "/opt/parlune/share/MediaRemoteAdapter.framework";
const std::string spotifyState = "tell application \"Spotify\" to return player state as string";
const std::string spotifyPause = "tell application \"Spotify\" to pause";
const std::string spotifyPlay = "tell application \"Spotify\" to play";
const std::string musicState = "tell application \"Music\" to return player state as string";

class MediaControllerTest : public ::testing::Test {
protected:
    MediaControllerTest() {
        resources->resources = {{"mediaremote-adapter.pl", script}, {"MediaRemoteAdapter.framework", framework}};
    }
    ~MediaControllerTest() override {
        controller.reset();
        while (loop.runNextTimer()) {
        }
        loop.runUntilIdle();
    }

    std::shared_ptr<MediaController> make() {
        controller = MediaController::create({&loop, running, scripts, processes, resources});
        log.clear();
        return controller;
    }
    // Runs a pause to its end and returns how much virtual time it took.
    Duration pause() {
        const auto started = loop.now();
        bool done = false;
        spawn(loop, [](std::shared_ptr<MediaController> media, bool& finished) -> Task<void> {
            co_await media->pauseIfPlaying();
            finished = true;
        }(controller, done));
        loop.runUntilIdle();
        while (!done && loop.runNextTimer()) {
        }
        EXPECT_TRUE(done);
        return loop.now() - started;
    }
    void resume() {
        controller->resumeIfNeeded();
        while (controller->backgroundWork() > 0 && loop.runNextTimer()) {
        }
        loop.runUntilIdle();
        EXPECT_EQ(controller->backgroundWork(), 0);
    }
    static std::vector<std::string> adapterCall(const std::string& command, std::optional<std::string> number = {}) {
        std::vector<std::string> line{"/usr/bin/perl", script, framework, command};
        if (number) line.push_back(*number);
        return line;
    }

    VirtualLoop loop;
    fakes::CapturedLog log;
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<FakeScriptRunner> scripts = std::make_shared<FakeScriptRunner>();
    std::shared_ptr<FakeProcessRunner> processes = std::make_shared<FakeProcessRunner>();
    std::shared_ptr<FakeResources> resources = std::make_shared<FakeResources>();
    std::shared_ptr<MediaController> controller;
};

}  // namespace

TEST_F(MediaControllerTest, TheScriptableAppsAreSpotifyThenMusic) {
    const auto& apps = MediaController::scriptableApps();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].bundleID, "com.spotify.client");
    EXPECT_EQ(apps[0].isPlayingScript, spotifyState);
    EXPECT_EQ(apps[0].pauseScript, spotifyPause);
    EXPECT_EQ(apps[0].resumeScript, spotifyPlay);
    EXPECT_EQ(apps[1].bundleID, "com.apple.Music");
    EXPECT_EQ(apps[1].name, "Music");
    EXPECT_EQ(apps[1].isPlayingScript, musicState);
    EXPECT_EQ(apps[1].resumeScript, "tell application \"Music\" to play");
}

TEST_F(MediaControllerTest, FindsTheAdapterInTheResourcesThePrivateFrameworksOrBesideTheScript) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> resources;
        std::optional<std::string> frameworksFolder;
        std::set<std::string> files;
        Lines lines;
        std::optional<std::string> frameworkPath;
    };
    const std::string pl = "mediaremote-adapter.pl";
    const std::string fw = "MediaRemoteAdapter.framework";
    const Case cases[] = {
        {"both resources", {{pl, script}, {fw, framework}}, "/opt/parlune/lib", {"/opt/parlune/lib/" + fw},
         {"🔊 Found mediaremote-adapter.pl at " + script, "🔊 Found MediaRemoteAdapter.framework at " + framework},
         framework},
        {"private frameworks", {{pl, script}}, "/opt/parlune/lib", {"/opt/parlune/lib/" + fw, framework},
         {"🔊 Found mediaremote-adapter.pl at " + script, "🔊 Found MediaRemoteAdapter.framework in Frameworks/"},
         "/opt/parlune/lib/" + fw},
        {"beside the script", {{pl, script}}, "/opt/parlune/lib", {framework},
         {"🔊 Found mediaremote-adapter.pl at " + script,
          "🔊 Found MediaRemoteAdapter.framework alongside script at " + framework},
         framework},
        {"framework without script", {{fw, framework}}, std::nullopt, {},
         {"⚠️ MR: Could not find script", "🔊 Found MediaRemoteAdapter.framework at " + framework}, framework},
        {"nothing", {}, "/opt/parlune/lib", {framework},
         {"⚠️ MR: Could not find script", "⚠️ MR: Could not find framework"}, std::nullopt},
    };
    for (const auto& item : cases) {
        resources->resources = item.resources;
        resources->frameworksFolder = item.frameworksFolder;
        resources->files = item.files;
        log.clear();
        auto media = MediaController::create({&loop, running, scripts, processes, resources});
        EXPECT_EQ(log.lines(), item.lines) << item.name;
        EXPECT_EQ(media->adapterFrameworkPath(), item.frameworkPath) << item.name;
        EXPECT_EQ(media->isAdapterAvailable(), item.frameworkPath && item.resources.count(pl) > 0) << item.name;
    }
}

TEST_F(MediaControllerTest, SpotifyPlayingAloneIsPausedByScriptThenTheAdapterIsAskedAfter200ms) {
    running->running = {"com.spotify.client"};
    scripts->answers[spotifyState] = {"Playing", std::nullopt};
    make();

    spawn(loop, controller->pauseIfPlaying());
    loop.runUntilIdle();
    EXPECT_EQ(scripts->ran, (Lines{spotifyState, spotifyPause}));
    loop.advance(199ms);
    EXPECT_TRUE(processes->commandLines.empty()) << "the adapter waits for the paused player to settle";
    loop.advance(1ms);
    EXPECT_EQ(processes->commandLines, (std::vector<Lines>{adapterCall("get")}));
    EXPECT_EQ(log.lines(), (Lines{
                               "🔊 Spotify state: \"playing\"",
                               "⏸️ Paused Spotify via AppleScript",
                               "🔊 Music not running — skipping",
                               "🔊 isPlayingMedia status: playbackRate=0.0, isPlaying=false",
                               "🔊 System now-playing active after Phase 1: false",
                           }));
    EXPECT_EQ(controller->pausedScriptableApps(), (std::set<std::string>{"com.spotify.client"}));

    log.clear();
    resume();
    EXPECT_EQ(scripts->ran.back(), spotifyPlay);
    EXPECT_EQ(processes->commandLines.size(), 1u) << "no toggle";
    EXPECT_EQ(log.lines(), (Lines{"▶️ Resumed Spotify via AppleScript"}));
    EXPECT_TRUE(controller->pausedScriptableApps().empty());
}

TEST_F(MediaControllerTest, WithNoPlayerRunningABrowserVideoIsToggledAtOnceAndToggledBackOnResume) {
    processes->getResult = FakeProcessRunner::printing("{\"playbackRate\": 1, \"player\": \"browser\"}\n");
    make();

    EXPECT_EQ(pause(), 0ms) << "no player was paused, so there is no wait";
    EXPECT_TRUE(scripts->ran.empty());
    EXPECT_EQ(processes->commandLines, (std::vector<Lines>{adapterCall("get"), adapterCall("send", "2")}));
    EXPECT_EQ(log.lines(), (Lines{
                               "🔊 Spotify not running — skipping",
                               "🔊 Music not running — skipping",
                               "🔊 isPlayingMedia status: playbackRate=1.0, isPlaying=true",
                               "🔊 System now-playing active after Phase 1: true",
                               "⏸️ Paused system media via MediaRemote adapter",
                           }));
    EXPECT_TRUE(controller->didPauseSystemMedia());

    log.clear();
    resume();
    EXPECT_EQ(processes->commandLines.back(), adapterCall("send", "2"));
    EXPECT_EQ(processes->commandLines.size(), 3u);
    EXPECT_EQ(log.lines(), (Lines{"▶️ Resumed system media via MediaRemote adapter"}));
    EXPECT_FALSE(controller->didPauseSystemMedia());
}

TEST_F(MediaControllerTest, MusicPausedByTheUserIsNeitherPausedNorResumed) {
    running->running = {"com.apple.Music"};
    scripts->answers[musicState] = {"paused", std::nullopt};
    make();
    pause();
    EXPECT_EQ(scripts->ran, (Lines{musicState}));
    EXPECT_EQ(log.lines()[1], "🔊 Music state: \"paused\"");
    log.clear();
    resume();
    EXPECT_EQ(scripts->ran, (Lines{musicState}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(MediaControllerTest, AResumeWithNothingPausedDoesNothing) {
    make();
    resume();
    pause();
    log.clear();
    const auto commands = processes->commandLines.size();
    resume();
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(scripts->ran.empty());
    EXPECT_EQ(processes->commandLines.size(), commands);
}

TEST_F(MediaControllerTest, WhatTheAdapterPrintsDecidesWhetherAnythingPlays) {
    struct Case {
        const char* name;
        ProcessResult result;
        Lines lines;  // before the "System now-playing" line
        bool playing;
    };
    const std::string longText(300, 'x');
    const Case cases[] = {
        {"cannot start",
         ProcessResult{false, "cannot start /usr/bin/perl: No such file or directory", false, -1, {}, {}},
         {"⚠️ Failed to run MediaRemote adapter: cannot start /usr/bin/perl: No such file or directory",
          "🔊 isPlayingMedia: no JSON output"},
         false},
        {"prints nothing", FakeProcessRunner::printing(""), {"🔊 isPlayingMedia decode failed: "}, false},
        {"no rate", FakeProcessRunner::printing(R"({"title":"Song"})"),
         {"🔊 isPlayingMedia status: playbackRate=0.0, isPlaying=false"}, false},
        {"rate not a number", FakeProcessRunner::printing(R"({"playbackRate":"1"})"),
         {"🔊 isPlayingMedia status: playbackRate=0.0, isPlaying=false"}, false},
        {"fractional rate", FakeProcessRunner::printing(R"({"playbackRate":0.5})"),
         {"🔊 isPlayingMedia status: playbackRate=0.5, isPlaying=true"}, true},
        {"not UTF-8", FakeProcessRunner::printing("{\"playbackRate\":1, \"t\":\"\xff\"}"),
         {"🔊 isPlayingMedia: no JSON output"}, false},
        {"not JSON", FakeProcessRunner::printing(longText),
         {"🔊 isPlayingMedia decode failed: " + longText.substr(0, 200)}, false},
        {"not an object", FakeProcessRunner::printing("[1]"), {"🔊 isPlayingMedia decode failed: [1]"}, false},
        {"failed but printed", FakeProcessRunner::printing(R"({"playbackRate":1})", 3, "bus gone\n"),
         {"⚠️ MediaRemote adapter exited with status 3: bus gone",
          "🔊 isPlayingMedia status: playbackRate=1.0, isPlaying=true"},
         true},
    };
    make();
    for (const auto& item : cases) {
        processes->getResult = item.result;
        processes->commandLines.clear();
        log.clear();
        pause();
        Lines expected = {"🔊 Spotify not running — skipping", "🔊 Music not running — skipping"};
        expected.insert(expected.end(), item.lines.begin(), item.lines.end());
        expected.push_back(std::string("🔊 System now-playing active after Phase 1: ") + (item.playing ? "true" : "false"));
        if (item.playing) expected.push_back("⏸️ Paused system media via MediaRemote adapter");
        EXPECT_EQ(log.lines(), expected) << item.name;
        EXPECT_EQ(processes->commandLines.size(), item.playing ? 2u : 1u) << item.name << ": toggled only when playing";
        resume();
    }
}

TEST_F(MediaControllerTest, AHangingAdapterIsKilledAfterTwoSecondsAndCountsAsNotPlaying) {
    processes->hangs = true;
    make();
    EXPECT_EQ(pause(), 2s);
    EXPECT_EQ(processes->kills, 1);
    EXPECT_EQ(log.lines(), (Lines{
                               "🔊 Spotify not running — skipping",
                               "🔊 Music not running — skipping",
                               "⚠️ MediaRemote adapter did not finish within 2 seconds — killed",
                               "🔊 isPlayingMedia: no JSON output",
                               "🔊 System now-playing active after Phase 1: false",
                           }));
}

TEST_F(MediaControllerTest, AnAdapterThatTakesJustUnderTheLimitIsWaitedFor) {
    processes->takes = 1999ms;
    processes->getResult = FakeProcessRunner::printing(R"({"playbackRate":1})");
    make();
    EXPECT_EQ(pause(), 1999ms);
    EXPECT_EQ(processes->kills, 0);
    EXPECT_TRUE(controller->didPauseSystemMedia());
}

TEST_F(MediaControllerTest, WithoutTheAdapterPhaseTwoFindsNothingAndRunsNothing) {
    resources->resources.clear();
    running->running = {"com.spotify.client"};
    scripts->answers[spotifyState] = {"playing", std::nullopt};
    make();
    pause();
    EXPECT_TRUE(processes->commandLines.empty());
    const Lines lines = log.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "⚠️ MediaRemote adapter not available for detection");
    EXPECT_EQ(lines[4], "🔊 System now-playing active after Phase 1: false");
}

TEST_F(MediaControllerTest, ScriptErrorsAreLoggedCountAsNotPlayingAndDoNotStopTheResume) {
    running->running = {"com.spotify.client", "com.apple.Music"};
    scripts->answers[spotifyState] = {std::nullopt, "no reply within 1000 ms"};
    scripts->answers[musicState] = {"playing", std::nullopt};
    scripts->answers["tell application \"Music\" to play"] = {std::nullopt, "not allowed"};
    make();
    pause();
    const Lines lines = log.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "⚠️ AppleScript error for: " + spotifyState + "… → no reply within 1000 ms");
    EXPECT_EQ(lines[1], "🔊 Spotify state: \"\"");
    EXPECT_EQ(lines[2], "🔊 Music state: \"playing\"");
    EXPECT_EQ(lines[3], "⏸️ Paused Music via AppleScript");
    log.clear();
    resume();
    EXPECT_EQ(log.lines(), (Lines{"⚠️ AppleScript error for: tell application \"Music\" to play… → not allowed",
                                  "▶️ Resumed Music via AppleScript"}));
}

TEST_F(MediaControllerTest, ASecondPauseForgetsWhatTheFirstPaused) {
    running->running = {"com.spotify.client"};
    scripts->answers[spotifyState] = {"playing", std::nullopt};
    processes->getResult = FakeProcessRunner::printing(R"({"playbackRate":1})");
    make();
    pause();
    scripts->answers[spotifyState] = {"paused", std::nullopt};
    processes->getResult = FakeProcessRunner::printing(R"({"playbackRate":0})");
    pause();
    log.clear();
    const auto commands = processes->commandLines.size();
    resume();
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(processes->commandLines.size(), commands);
}

TEST_F(MediaControllerTest, ACancelledCallerSkipsTheRestOfTheWaitAndPhaseTwoStillRuns) {
    running->running = {"com.spotify.client"};
    scripts->answers[spotifyState] = {"playing", std::nullopt};
    processes->takes = 100ms;
    processes->getResult = FakeProcessRunner::printing(R"({"playbackRate":1})");
    make();
    auto handle = spawn(loop, controller->pauseIfPlaying());
    loop.advance(50ms);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(processes->commandLines.size(), 1u) << "the adapter is asked at once";
    loop.advance(100ms);
    loop.runUntilIdle();
    EXPECT_TRUE(handle.isDone());
    EXPECT_TRUE(controller->didPauseSystemMedia()) << "the adapter's answer still counts";
    EXPECT_EQ(processes->kills, 0);
}

TEST_F(MediaControllerTest, ASendThatCannotRunIsLoggedAndABackgroundSendNeedsItsController) {
    processes->getResult = FakeProcessRunner::printing(R"({"playbackRate":1})");
    processes->sendResult = ProcessResult{false, "cannot start /usr/bin/perl: Permission denied", false, -1, {}, {}};
    make();
    pause();
    EXPECT_EQ(log.lines().back(), "⚠️ Could not send media command 2");

    // A toggle whose controller is gone before it runs is dropped.
    pause();
    controller->resumeIfNeeded();
    const auto commands = processes->commandLines.size();
    controller.reset();
    loop.runUntilIdle();
    EXPECT_EQ(processes->commandLines.size(), commands);
}

TEST_F(MediaControllerTest, TheStatusReadsBothPhasesWithoutPausingAnything) {
    running->running = {"com.spotify.client"};
    scripts->answers[spotifyState] = {"Playing", std::nullopt};
    processes->getResult = FakeProcessRunner::printing(R"({"playbackRate":1})");
    make();
    std::optional<MediaController::Status> status;
    spawn(loop, [](std::shared_ptr<MediaController> media, std::optional<MediaController::Status>& out) -> Task<void> {
        out = co_await media->currentStatus();
    }(controller, status));
    loop.runUntilIdle();
    ASSERT_TRUE(status);
    ASSERT_EQ(status->players.size(), 2u);
    EXPECT_TRUE(status->players[0].running);
    EXPECT_EQ(status->players[0].state, "playing");
    EXPECT_FALSE(status->players[1].running);
    EXPECT_TRUE(status->adapterAvailable);
    EXPECT_TRUE(status->systemMediaPlaying);
    EXPECT_EQ(scripts->ran, (Lines{spotifyState}));
    EXPECT_EQ(processes->commandLines.size(), 1u);
}

TEST_F(MediaControllerTest, TheResumeTogglesFirstAndTheNextPauseWaitsForTheResumeToEnd) {
    running->running = {"com.spotify.client"};
    scripts->answers[spotifyState] = {"playing", std::nullopt};
    processes->getResult = FakeProcessRunner::printing(R"({"playbackRate":1})");
    make();
    pause();
    processes->takes = 300ms;
    scripts->takes = 100ms;
    const auto scriptsBefore = scripts->ran.size();
    controller->resumeIfNeeded();
    spawn(loop, controller->pauseIfPlaying());  // the hotkey again, right away
    loop.advance(299ms);
    EXPECT_EQ(scripts->ran.size(), scriptsBefore) << "Spotify is played only once the toggle has run";
    loop.advance(1ms);
    EXPECT_EQ(scripts->ran.back(), spotifyPlay);
    loop.advance(99ms);
    EXPECT_EQ(scripts->ran.back(), spotifyPlay) << "the new pause waits for the resume to end";
    loop.advance(1ms);
    loop.runUntilIdle();
    EXPECT_EQ(scripts->ran.back(), spotifyState);
    while (loop.runNextTimer()) {
    }
    EXPECT_EQ(controller->backgroundWork(), 0);
}
