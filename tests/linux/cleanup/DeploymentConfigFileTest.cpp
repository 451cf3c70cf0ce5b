// Where the deployment configuration comes from on this machine.

#include "fakes/Process.h"
#include "fakes/ScopedEnvironment.h"
#include "fakes/SessionHarness.h"
#include "linux/platform/DeploymentConfigFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace parlune;
using namespace parlune::testing;
namespace fs = std::filesystem;

namespace {

class DeploymentFile : public ::testing::Test {
protected:
    fs::path root() const { return folder_.path(); }
    fs::path file(const char* where) const { return root() / where / "parlune" / "deployment.json"; }
    void write(const char* where, const std::string& text) const { writeFile(file(where), text); }

    fakes::CapturedLog log;

private:
    TemporaryFolder folder_;
    ScopedEnvironment home_{"XDG_CONFIG_HOME", (root() / "home").c_str()};
    ScopedEnvironment dirs_{"XDG_CONFIG_DIRS", ((root() / "site").string() + ":" + (root() / "vendor").string()).c_str()};
};

}  // namespace

TEST_F(DeploymentFile, WithoutAFileTheBuiltInValuesApplySilently) {
    EXPECT_EQ(loadDeploymentConfig(), DeploymentConfig::compiledDefaults());
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(deploymentConfigCandidates(), (std::vector<fs::path>{file("home"), file("site"), file("vendor")}));
}

TEST_F(DeploymentFile, TheFirstFileFoundWinsWhole) {
    write("vendor", R"({"localModelName": "vendor-model"})");
    EXPECT_EQ(loadDeploymentConfig().localModelName, "vendor-model");
    write("site", R"({"gatewayAPIKey": "site-key"})");
    EXPECT_EQ(loadDeploymentConfig().gatewayAPIKey, "site-key");
    EXPECT_EQ(loadDeploymentConfig().localModelName, DeploymentConfig::compiledDefaults().localModelName);
    write("home", R"({"gatewayBaseURL": "http://127.0.0.1:9", "gatewayApiKey": "typo"})");
    const DeploymentConfig config = loadDeploymentConfig();
    EXPECT_EQ(config.gatewayBaseURL, "http://127.0.0.1:9");
    EXPECT_EQ(config.gatewayAPIKey, DeploymentConfig::compiledDefaults().gatewayAPIKey);
    EXPECT_EQ(log.lines().back(),
              "⚠️ Deployment configuration " + file("home").string() + ": unknown member \"gatewayApiKey\" ignored");
}

TEST_F(DeploymentFile, AnUnreadableFileIsALogLineAndTheBuiltInValues) {
    write("site", R"({"gatewayAPIKey": "site-key"})");
    const std::pair<std::string, std::string> cases[] = {
        {R"({"gatewayAPIKey": )", "not valid JSON"},
        {R"({"gatewayAPIKey": ["a"]})", "\"gatewayAPIKey\" is not a string"},
    };
    for (const auto& [text, reason] : cases) {
        write("home", text);
        log.clear();
        EXPECT_EQ(loadDeploymentConfig(), DeploymentConfig::compiledDefaults());
        EXPECT_EQ(log.lines(), std::vector<std::string>{"⚠️ Deployment configuration " + file("home").string() +
                                                        " is unreadable (" + reason + "), using the built-in defaults"});
    }
    fs::remove(file("home"));
    fs::create_directories(file("home"));
    EXPECT_EQ(loadDeploymentConfig(), DeploymentConfig::compiledDefaults());
    EXPECT_NE(log.lines().back().find("(it is a folder)"), std::string::npos);
}
