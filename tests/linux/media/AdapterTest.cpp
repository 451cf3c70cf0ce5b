// The shipped now-playing adapter (perl, over MPRIS) run as the controller runs it.

#include "MediaBus.h"

#include <nlohmann/json.hpp>

#include <filesystem>

using namespace parlune;
using namespace parlune::testing;
using json = nlohmann::json;

namespace {

class Adapter : public MediaBusTest {
protected:
    ProcessResult adapter(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment = {},
                          const std::string& framework = adapterFramework) {
        std::vector<std::string> commandLine{"/usr/bin/perl", adapterScript, framework};
        commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
        return runProcess(commandLine, environment, std::chrono::seconds(20));
    }
    json get() {
        const auto result = adapter({"get"});
        EXPECT_EQ(result.exitCode, 0) << result.standardError;
        return json::parse(result.standardOutput, nullptr, false);
    }
    static json playing(const std::string& name, int rate = 1) {
        return {{"playbackRate", rate}, {"player", name}, {"playbackStatus", rate > 0 ? "Playing" : "Paused"}};
    }
};

}  // namespace

TEST_F(Adapter, GetReportsAPlayingPlayerAndOtherwiseARateOfZero) {
    EXPECT_EQ(get(), json({{"playbackRate", 0}}));
    auto spotify = player(spotifyName, "Paused");
    auto video = player(videoPlayerName, "Paused");
    EXPECT_EQ(get(), json({{"playbackRate", 0}})) << "players paused by the user are not reported";
    auto browser = player(browserName, "Playing");
    EXPECT_EQ(get(), playing(browserName));
    auto silent = player(StandInPlayer::Options{"org.mpris.MediaPlayer2.aaa", "Playing", false});
    EXPECT_EQ(get(), playing(browserName)) << "a player that never answers is passed over";
}

TEST_F(Adapter, SendTwoPausesThePlayingPlayerAndTheNextSendResumesThatOneOnly) {
    auto spotify = player(spotifyName, "Paused");  // paused by script before the adapter is asked
    auto video = player(videoPlayerName, "Paused");  // paused by the user
    auto browser = player(browserName, "Playing");

    const auto paused = adapter({"send", "2"});
    EXPECT_EQ(paused.exitCode, 0) << paused.standardError;
    EXPECT_EQ(browser->status(), "Paused");
    EXPECT_EQ(get(), playing(browserName, 0)) << "the player it paused stays the one it reports";
    const auto memory = std::filesystem::path(runtime.path()) / "parlune/now-playing-paused-player";
    EXPECT_EQ(std::filesystem::status(memory).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    const auto resumed = adapter({"send", "2"});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.standardError;
    EXPECT_EQ(browser->status(), "Playing");
    EXPECT_EQ(browser->controlCalls(), (std::vector<std::string>{"PlayPause", "PlayPause"}));

    browser->setStatus("Paused");  // by the user now
    const auto nothing = adapter({"send", "2"});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.standardError, "no MPRIS player to toggle\n");
    EXPECT_EQ(browser->status(), "Paused");
    EXPECT_TRUE(spotify->controlCalls().empty());
    EXPECT_TRUE(video->controlCalls().empty());
}

TEST_F(Adapter, WrongCommandLinesAndAMissingBusFailWithAReason) {
    struct Case {
        std::vector<std::string> arguments;
        std::string framework;
        std::map<std::string, std::string> environment;
        int exitCode;
        std::string errorPart;
    };
    const Case cases[] = {
        {{"get"}, "/nonexistent/MediaRemoteAdapter.framework", {}, 2, "not a MediaRemoteAdapter.framework folder"},
        {{"send", "3"}, adapterFramework, {}, 2, "unsupported media command 3"},
        {{"send"}, adapterFramework, {}, 2, "unknown command"},
        {{}, adapterFramework, {}, 2, "usage:"},
        {{"get"}, adapterFramework, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}}, 1,
         "cannot reach the session bus"},
    };
    for (const auto& item : cases) {
        const auto result = adapter(item.arguments, item.environment, item.framework);
        EXPECT_EQ(result.exitCode, item.exitCode) << item.errorPart;
        EXPECT_EQ(result.standardOutput, "") << item.errorPart;
        EXPECT_NE(result.standardError.find(item.errorPart), std::string::npos) << result.standardError;
    }
}
