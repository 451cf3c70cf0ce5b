#pragma once

#include <chrono>
#include <optional>

namespace parlune {

// When the background update check runs: at most once a day, the day counted from the last check
// (kept across runs on the wall clock).
class UpdateSchedule {
public:
    using WallTime = std::chrono::system_clock::time_point;
    static constexpr std::chrono::hours interval{24};

    // How long to wait before the next background check: none yet, or the last one a day or more
    // ago, or in the future (the clock was set back): now.
    static std::chrono::milliseconds delayUntilNextCheck(std::optional<WallTime> lastCheck, WallTime now);
};

}  // namespace parlune
