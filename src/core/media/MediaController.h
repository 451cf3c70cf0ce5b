#pragma once

#include "core/runtime/EventLoop.h"
#include "core/session/Workers.h"
#include "platform/BundleResources.h"
#include "platform/ProcessRunner.h"
#include "platform/RunningApplications.h"
#include "platform/ScriptRunner.h"

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace parlune {

// A music player that is paused and resumed by script.
struct ScriptableApp {
    std::string bundleID;
    std::string name;
    std::string isPlayingScript;
    std::string pauseScript;
    std::string resumeScript;
};

// Silences playing media while the user dictates and restores it afterwards, in two phases: the
// known players are paused by script, then the now-playing adapter is asked whether anything else
// still plays and, if so, sent a play/pause toggle. Only what this controller paused is resumed.
//
// Player scripts and adapter runs answer on the loop, never blocking it; an adapter run is killed
// after adapterTimeLimit. The toggles and resume scripts run in the background one after the other,
// the resume's toggle before its scripts, and a pause first waits for that work to end. Build one
// per application. Loop thread only.
class MediaController final : public IMediaController, public std::enable_shared_from_this<MediaController> {
public:
    struct Services {
        EventLoop* loop = nullptr;
        std::shared_ptr<RunningApplications> runningApplications;
        std::shared_ptr<ScriptRunner> scriptRunner;
        std::shared_ptr<ProcessRunner> processRunner;
        std::shared_ptr<BundleResources> resources;
    };

    // What phase 1 would see of one player.
    struct PlayerStatus {
        std::string name;
        bool running = false;
        std::string state;  // lower case; empty when not running or unreadable
    };
    struct Status {
        std::vector<PlayerStatus> players;
        bool adapterAvailable = false;
        bool systemMediaPlaying = false;
    };

    static constexpr const char* perlPath = "/usr/bin/perl";
    static constexpr int playPauseCommand = 2;
    // The wait after a player was paused by script, before the now-playing adapter is asked.
    static constexpr std::chrono::milliseconds phaseOneSettleTime{200};
    // A run of the adapter that takes longer is killed and counts as giving no output.
    static constexpr std::chrono::seconds adapterTimeLimit{2};

    // Finds the adapter among the resources (with its log lines).
    static std::shared_ptr<MediaController> create(Services services);

    static const std::vector<ScriptableApp>& scriptableApps();

    Task<void> pauseIfPlaying() override;
    void resumeIfNeeded() override;

    // What the two phases would see now, without pausing anything.
    Task<Status> currentStatus();

    const std::set<std::string>& pausedScriptableApps() const { return pausedScriptableApps_; }
    bool didPauseSystemMedia() const { return didPauseSystemMedia_; }
    const std::optional<std::string>& adapterScriptPath() const { return adapterScriptPath_; }
    const std::optional<std::string>& adapterFrameworkPath() const { return adapterFrameworkPath_; }
    bool isAdapterAvailable() const { return adapterScriptPath_ && adapterFrameworkPath_; }
    // Resume scripts and adapter commands that are still running in the background.
    int backgroundWork() const { return backgroundWork_; }

private:
    explicit MediaController(Services services);
    void findAdapter();

    static Task<std::optional<std::string>> runAppleScript(std::shared_ptr<ScriptRunner> runner, std::string source);
    Task<bool> isSystemMediaPlaying();
    void sendMediaCommand(int command);
    Task<void> sendNow(int command);
    static void logCannotSend(int command, const std::string& reason);
    Task<std::optional<std::string>> runAdapter(std::vector<std::string> arguments);

    // Background work (toggles, resume scripts) runs one job after the other, in the order started.
    void inBackground(Task<void> work);
    static Task<void> runInOrder(std::weak_ptr<MediaController> weakSelf, AsyncEvent before, Task<void> work,
                                 AsyncEvent after);
    static Task<void> sendInBackground(std::weak_ptr<MediaController> weakSelf, int command);
    static Task<void> resumeInBackground(std::weak_ptr<MediaController> weakSelf, std::shared_ptr<ScriptRunner> runner,
                                         std::vector<ScriptableApp> apps, bool toggle);

    Services services_;
    std::set<std::string> pausedScriptableApps_;
    bool didPauseSystemMedia_ = false;
    std::optional<std::string> adapterScriptPath_;
    std::optional<std::string> adapterFrameworkPath_;
    int backgroundWork_ = 0;
    AsyncEvent settled_;  // resolved once the background work started so far has ended
};

}  // namespace parlune
