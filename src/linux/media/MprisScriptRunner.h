#pragma once

#include "linux/media/SessionBus.h"
#include "platform/ScriptRunner.h"

#include <memory>

namespace parlune {

// Carries out the player scripts over MPRIS:
//   tell application "NAME" to return player state as string   -> PlaybackStatus in lower case
//   tell application "NAME" to pause                            -> Player.Pause
//   tell application "NAME" to play                             -> Player.Play
// NAME is a player of mpris::knownPlayers. Any other text fails with an error that says so.
class MprisScriptRunner final : public ScriptRunner {
public:
    explicit MprisScriptRunner(std::shared_ptr<SessionBus> bus) : bus_(std::move(bus)) {}
    Task<ScriptResult> runScript(std::string source) override;

    static constexpr std::chrono::milliseconds callTimeout{1000};

private:
    Task<ScriptResult> readPlaybackStatus(std::string busName);
    std::shared_ptr<SessionBus> bus_;
};

}  // namespace parlune
