// Player scripts and running players over MPRIS, against stand-in players on a private bus.

#include "MediaBus.h"

#include "fakes/SessionHarness.h"
#include "linux/media/MprisRunningApplications.h"
#include "linux/media/MprisScriptRunner.h"
#include "linux/media/SessionBus.h"

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

const std::string spotifyState = "tell application \"Spotify\" to return player state as string";

class Mpris : public MediaBusTest {
protected:
    std::shared_ptr<SessionBus> sessionBus = std::make_shared<SessionBus>(loop);
    MprisScriptRunner scripts{sessionBus};
    MprisRunningApplications running{sessionBus};
};

}  // namespace

TEST_F(Mpris, SpotifyRunsWhileItsNameIsOwnedAndIsReadPausedAndPlayedByScript) {
    EXPECT_FALSE(finish(running.isAppRunning("com.spotify.client")));
    auto spotify = player(spotifyName);
    EXPECT_TRUE(finish(running.isAppRunning("com.spotify.client")));
    EXPECT_FALSE(finish(running.isAppRunning("com.apple.Music"))) << "no MPRIS player stands for it";

    EXPECT_EQ(finish(scripts.runScript(spotifyState)).text, "playing");
    EXPECT_FALSE(finish(scripts.runScript("tell application \"Spotify\" to pause")).error);
    EXPECT_EQ(spotify->status(), "Paused");
    EXPECT_EQ(finish(scripts.runScript(spotifyState)).text, "paused");
    EXPECT_FALSE(finish(scripts.runScript("tell application \"Spotify\" to play")).error);
    EXPECT_EQ(spotify->status(), "Playing");
    EXPECT_EQ(spotify->controlCalls(), (std::vector<std::string>{"Pause", "Play"}));

    spotify.reset();
    EXPECT_FALSE(finish(running.isAppRunning("com.spotify.client")));
}

TEST_F(Mpris, TheStateIsReadFromPlayersThatMistypeAPropertyOrRefuseGetAll) {
    for (const auto& options : {StandInPlayer::Options{spotifyName, "Playing", true, true, false},
                                StandInPlayer::Options{spotifyName, "Paused", true, false, true}}) {
        auto spotify = player(options);
        EXPECT_EQ(finish(scripts.runScript(spotifyState)).text, options.playbackStatus == "Playing" ? "playing" : "paused")
            << "wrong Position type: " << options.wrongPositionType << ", refuses GetAll: " << options.refusesGetAll;
    }
}

TEST_F(Mpris, ScriptsThatCannotBeCarriedOutFailWithTheirReason) {
    struct Case {
        std::string script;
        std::string errorPart;
    };
    const Case cases[] = {
        {"tell application \"Spotify\" to next track", "not a player script"},
        {"display dialog \"hi\"", "not a player script"},
        {"tell application \"Music\" to pause", "no MPRIS player is known for \"Music\""},
        {spotifyState, "NameHasNoOwner"},  // Spotify is not running
    };
    for (const auto& item : cases) {
        const ScriptResult result = finish(scripts.runScript(item.script));
        EXPECT_FALSE(result.text) << item.script;
        ASSERT_TRUE(result.error) << item.script;
        EXPECT_NE(result.error->find(item.errorPart), std::string::npos) << *result.error;
    }
}

TEST_F(Mpris, APlayerThatNeverAnswersFailsAfterTheTimeoutWithoutHoldingTheLoop) {
    auto spotify = player(StandInPlayer::Options{spotifyName, "Playing", false});
    int ticks = 0;
    std::function<void()> tick = [&] {
        ++ticks;
        loop.postAfter(10ms, tick);
    };
    loop.post(tick);
    const ScriptResult result = finish(scripts.runScript(spotifyState));
    ASSERT_TRUE(result.error);
    EXPECT_NE(result.error->find("Timeout"), std::string::npos) << *result.error;
    EXPECT_GT(ticks, 10) << "the loop kept running other work while the player was silent";
    EXPECT_TRUE(finish(running.isAppRunning("com.spotify.client"))) << "running, only not answering";
}

TEST_F(Mpris, AnUnreachableBusMeansNothingRunsAndIsLoggedOnce) {
    fakes::CapturedLog log;
    auto deadBus = std::make_shared<SessionBus>(loop, "unix:path=" + runtime.path() + "/no-bus-here");
    MprisScriptRunner deadScripts(deadBus);
    MprisRunningApplications deadRunning(deadBus);
    EXPECT_FALSE(finish(deadRunning.isAppRunning("com.spotify.client")));
    const ScriptResult result = finish(deadScripts.runScript(spotifyState));
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->rfind("the session bus cannot be reached: ", 0), 0u) << *result.error;
    loop.runUntil([] { return false; }, 0ms);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("⚠️ D-Bus: the session bus cannot be reached: ", 0), 0u) << log.lines()[0];
}
