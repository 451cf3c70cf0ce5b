#pragma once

#include "core/runtime/Task.h"

#include <optional>
#include <string>

namespace parlune {

// The outcome of one script: its text result, or the reason it failed.
struct ScriptResult {
    std::optional<std::string> text;   // none when the script gave no text
    std::optional<std::string> error;  // set when the script could not be run
};

// Runs the small player scripts of the media controller ("tell application "NAME" to pause").
// The answer comes back on the loop; a player that never answers must not keep it waiting long.
class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    virtual Task<ScriptResult> runScript(std::string source) = 0;
};

}  // namespace parlune
