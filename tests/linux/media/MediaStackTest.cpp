// The whole media controller on Linux: stand-in players on a private bus, the shipped adapter, and
// the `parlune media` commands.

#include "MediaBus.h"

#include "fakes/SessionHarness.h"
#include "linux/media/DataFolderResources.h"
#include "linux/media/LinuxMediaController.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

Lines linesOf(const std::string& text) {
    Lines lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

const Lines foundAdapter = {
    "🔊 Found mediaremote-adapter.pl at " + adapterScript,
    "🔊 Found MediaRemoteAdapter.framework at " + adapterFramework,
};

Lines withFoundAdapter(const Lines& lines) {
    Lines all = foundAdapter;
    all.insert(all.end(), lines.begin(), lines.end());
    return all;
}

using MediaStack = MediaBusTest;

}  // namespace

TEST_F(MediaStack, ADictationPausesSpotifyAndTheBrowserAndResumesBothButNotWhatTheUserPaused) {
    auto spotify = player(spotifyName, "Playing");
    auto browser = player(browserName, "Playing");
    auto video = player(videoPlayerName, "Paused");

    parlune::testing::ProcessResult result;
    std::thread dictation([&] { result = runProcess({PARLUNE_BINARY, "media", "test", "1.5"}, {}, 30s); });
    const bool pausedMeanwhile =
        eventually([&] { return spotify->status() == "Paused" && browser->status() == "Paused"; }, 20s);
    dictation.join();
    std::cout << result.standardOutput;

    EXPECT_TRUE(pausedMeanwhile) << "both were paused during the dictation";
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(linesOf(result.standardOutput), withFoundAdapter({
                                                  "🔊 Spotify state: \"playing\"",
                                                  "⏸️ Paused Spotify via AppleScript",
                                                  "🔊 Music not running — skipping",
                                                  "🔊 isPlayingMedia status: playbackRate=1.0, isPlaying=true",
                                                  "🔊 System now-playing active after Phase 1: true",
                                                  "⏸️ Paused system media via MediaRemote adapter",
                                                  "▶️ Resumed system media via MediaRemote adapter",
                                                  "▶️ Resumed Spotify via AppleScript",
                                              }));
    EXPECT_EQ(spotify->status(), "Playing");
    EXPECT_EQ(spotify->controlCalls(), (Lines{"Pause", "Play"}));
    EXPECT_EQ(browser->status(), "Playing");
    EXPECT_EQ(browser->controlCalls(), (Lines{"PlayPause", "PlayPause"}));
    EXPECT_EQ(video->status(), "Paused");
    EXPECT_TRUE(video->controlCalls().empty());
}

TEST_F(MediaStack, PlayersPausedByTheUserAreLeftAlone) {
    auto spotify = player(spotifyName, "Paused");
    auto browser = player(browserName, "Paused");
    const auto result = runProcess({PARLUNE_BINARY, "media", "test", "0"}, {}, 30s);
    std::cout << result.standardOutput;
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(linesOf(result.standardOutput), withFoundAdapter({
                                                  "🔊 Spotify state: \"paused\"",
                                                  "🔊 Music not running — skipping",
                                                  "🔊 isPlayingMedia status: playbackRate=0.0, isPlaying=false",
                                                  "🔊 System now-playing active after Phase 1: false",
                                              }));
    EXPECT_TRUE(spotify->controlCalls().empty());
    EXPECT_TRUE(browser->controlCalls().empty());
}

TEST_F(MediaStack, TheStatusCommandPrintsWhatBothPhasesSee) {
    auto spotify = player(spotifyName, "Playing");
    const auto result = runProcess({PARLUNE_BINARY, "media", "status"}, {}, 30s);
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(linesOf(result.standardOutput), (Lines{
                                                  "Spotify: running, state \"playing\"",
                                                  "Music: not running",
                                                  "Now-playing adapter: " + adapterScript + " with " + adapterFramework,
                                                  "Now playing: yes",
                                              }));
    EXPECT_EQ(linesOf(result.standardError).back(), "🔊 isPlayingMedia status: playbackRate=1.0, isPlaying=true");
    EXPECT_TRUE(spotify->controlCalls().empty()) << "the status pauses nothing";
    EXPECT_EQ(runProcess({PARLUNE_BINARY, "media", "test", "soon"}).exitCode, 2);
}

TEST_F(MediaStack, AHangingAdapterIsKilledAndTheDictationGoesOn) {
    TemporaryFolder shipped;
    std::ofstream(shipped.path() + "/mediaremote-adapter.pl") << "sleep 60;\n";
    std::filesystem::create_directory(shipped.path() + "/MediaRemoteAdapter.framework");
    fakes::CapturedLog log;
    auto media = makeLinuxMediaController(
        loop, std::make_shared<DataFolderResources>(std::vector<std::filesystem::path>{shipped.path()}, std::nullopt));
    finish(media->pauseIfPlaying());
    const Lines lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "⚠️ MediaRemote adapter did not finish within 2 seconds — killed"),
              lines.end());
    EXPECT_EQ(lines.back(), "🔊 System now-playing active after Phase 1: false");
}
