#pragma once

#include "linux/media/SessionBus.h"
#include "platform/RunningApplications.h"

#include <memory>

namespace parlune {

// A player of mpris::knownPlayers runs when its MPRIS name has an owner on the session bus; any
// other application counts as not running.
class MprisRunningApplications final : public RunningApplications {
public:
    explicit MprisRunningApplications(std::shared_ptr<SessionBus> bus) : bus_(std::move(bus)) {}
    Task<bool> isAppRunning(std::string bundleID) override;

private:
    std::shared_ptr<SessionBus> bus_;
};

}  // namespace parlune
