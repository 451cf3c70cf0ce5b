#include "linux/platform/DeploymentConfigFile.h"

#include "core/log/Log.h"
#include "linux/platform/XdgPaths.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace parlune {

std::vector<std::filesystem::path> deploymentConfigCandidates() {
    std::vector<std::filesystem::path> candidates{xdg::configHome() / "parlune" / "deployment.json"};
    for (const auto& folder : xdg::configDirs()) candidates.push_back(folder / "parlune" / "deployment.json");
    return candidates;
}

DeploymentConfig loadDeploymentConfig() {
    const DeploymentConfig defaults = DeploymentConfig::compiledDefaults();
    for (const auto& path : deploymentConfigCandidates()) {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) continue;
        auto unreadable = [&](const std::string& why) {
            log::line("⚠️ Deployment configuration " + path.string() + " is unreadable (" + why +
                      "), using the built-in defaults");
            return defaults;
        };
        if (std::filesystem::is_directory(path, error)) return unreadable("it is a folder");
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        if (!file || !(text << file.rdbuf())) return unreadable("cannot be read");
        auto parsed = DeploymentConfig::parse(text.str(), defaults);
        if (!parsed.error.empty()) return unreadable(parsed.error);
        for (const auto& name : parsed.unknownMembers) {
            log::line("⚠️ Deployment configuration " + path.string() + ": unknown member \"" + name + "\" ignored");
        }
        return parsed.config;
    }
    return defaults;
}

}  // namespace parlune
