#pragma once

#include "core/config/DeploymentConfig.h"

#include <filesystem>
#include <vector>

namespace parlune {

// Where deployment.json is looked for, in order: $XDG_CONFIG_HOME/parlune, then parlune under each
// of $XDG_CONFIG_DIRS (default /etc/xdg).
std::vector<std::filesystem::path> deploymentConfigCandidates();

// The deployment configuration of this machine: the first candidate file that exists, read over
// the compiled-in defaults. A file that cannot be read or understood gives a log line and the
// defaults; no file at all gives the defaults silently.
DeploymentConfig loadDeploymentConfig();

}  // namespace parlune
