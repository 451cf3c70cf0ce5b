#pragma once

#include "core/runtime/Task.h"

#include <string>

namespace parlune {

// Which applications are running, by bundle identifier ("com.spotify.client").
class RunningApplications {
public:
    virtual ~RunningApplications() = default;
    virtual Task<bool> isAppRunning(std::string bundleID) = 0;
};

}  // namespace parlune
