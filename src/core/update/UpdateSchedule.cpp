#include "core/update/UpdateSchedule.h"

namespace parlune {

std::chrono::milliseconds UpdateSchedule::delayUntilNextCheck(std::optional<WallTime> lastCheck, WallTime now) {
    if (!lastCheck || *lastCheck > now) return std::chrono::milliseconds(0);
    const auto elapsed = now - *lastCheck;
    if (elapsed >= interval) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(interval - elapsed);
}

}  // namespace parlune
