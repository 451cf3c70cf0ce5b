#include "fakes/PrivateUserFolders.h"

#include <fstream>

namespace parlune::testing {

namespace fs = std::filesystem;

std::map<std::string, std::string> PrivateUserFolders::environment(std::map<std::string, std::string> more) const {
    more.insert({{"XDG_CONFIG_HOME", path() + "/config"},
                 {"XDG_CONFIG_DIRS", path() + "/site"},
                 {"XDG_DATA_HOME", path() + "/data"}});
    return more;
}

ProcessResult PrivateUserFolders::run(std::vector<std::string> arguments, const std::map<std::string, std::string>& more,
                                      std::chrono::milliseconds timeout) const {
    arguments.insert(arguments.begin(), binary_);
    return runProcess(arguments, environment(more), timeout);
}

fs::path PrivateUserFolders::settingsFile() const { return fs::path(path()) / "config/parlune/settings.json"; }

fs::path PrivateUserFolders::dataFolder() const { return fs::path(path()) / "data/parlune"; }

void PrivateUserFolders::writeDeployment(const std::string& folder, const nlohmann::json& members) const {
    writeFile(fs::path(path()) / folder / "parlune/deployment.json", members.dump());
}

}  // namespace parlune::testing
