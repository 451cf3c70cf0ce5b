#pragma once

// The parlune binary run as a user runs it, over folders of its own: settings and deployment in
// <path>/config, the site-wide configuration in <path>/site, data in <path>/data. Removed with
// everything in them on destruction.

#include "fakes/Process.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace parlune::testing {

class PrivateUserFolders {
public:
    explicit PrivateUserFolders(std::string binary) : binary_(std::move(binary)) {}
#ifdef PARLUNE_BINARY
    PrivateUserFolders() : PrivateUserFolders(PARLUNE_BINARY) {}
#endif

    // The folder holding the others; tests may keep their own files in it.
    const std::string& path() const { return root_.path(); }
    // XDG_CONFIG_HOME, XDG_CONFIG_DIRS and XDG_DATA_HOME pointing into path(), with `more` added
    // (a name in `more` wins).
    std::map<std::string, std::string> environment(std::map<std::string, std::string> more = {}) const;
    // `parlune arguments...` in environment(more), bounded by `timeout`.
    ProcessResult run(std::vector<std::string> arguments, const std::map<std::string, std::string>& more = {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

    std::filesystem::path settingsFile() const;
    // The user's data folder of parlune ($XDG_DATA_HOME/parlune).
    std::filesystem::path dataFolder() const;
    // Writes parlune/deployment.json with `members` under `folder`: "config" (the user's) or "site".
    void writeDeployment(const std::string& folder, const nlohmann::json& members) const;

private:
    TemporaryFolder root_;
    std::string binary_;
};

}  // namespace parlune::testing
