// The parlune binary against real settings files in a private config folder.

#include "fakes/PrivateUserFolders.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

using namespace parlune::testing;
namespace fs = std::filesystem;

namespace {

class Cli : public ::testing::Test, protected PrivateUserFolders {};

}  // namespace

TEST_F(Cli, FirstRunPrintsTheDefaultsAndStoresOnlyTheEmptyDictionary) {
    auto result = run({"settings"});
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    const auto printed = nlohmann::json::parse(result.standardOutput);
    EXPECT_EQ(printed["selectedModelProvider"], "Local");
    EXPECT_EQ(printed["selectedHotkey"], nlohmann::json::parse(R"({"keyCode":62,"modifierFlags":0,"displayName":"Right Control"})"));
    EXPECT_EQ(printed["totalWords"], 0);
    EXPECT_EQ(nlohmann::json::parse(readFile(settingsFile())), nlohmann::json::parse(R"({"userDictionary": []})"));
    EXPECT_EQ(fs::status(settingsFile()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(Cli, DictionaryCommandsTrimAndIgnoreExactDuplicates) {
    for (const char* word : {"  Kubernetes ", "  Kubernetes ", "kubernetes"}) {
        auto added = run({"dictionary", "add", word});
        ASSERT_EQ(added.exitCode, 0) << added.standardError;
        EXPECT_EQ(added.standardOutput, "");
    }
    EXPECT_EQ(run({"dictionary", "list"}).standardOutput, "kubernetes\nKubernetes\n");
    EXPECT_EQ(run({"dictionary", "remove", "Kubernetes"}).exitCode, 0);
    EXPECT_EQ(run({"dictionary", "list"}).standardOutput, "kubernetes\n");
}

TEST_F(Cli, AnUnreadableStoreIsMovedAsideAndTheCommandRunsOnDefaults) {
    writeFile(settingsFile(), "{\"userDictionary\": [\"Kube");  // cut off mid-write
    auto result = run({"dictionary", "list"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError.rfind("⚠️ Settings file " + settingsFile().string(), 0), 0u) << result.standardError;
    std::vector<fs::path> asides;
    for (const auto& entry : fs::directory_iterator(settingsFile().parent_path())) {
        if (entry.path().filename().string().starts_with("settings.json.unreadable-")) asides.push_back(entry.path());
    }
    ASSERT_EQ(asides.size(), 1u);
    EXPECT_EQ(readFile(asides[0]), "{\"userDictionary\": [\"Kube");
    EXPECT_NE(result.standardError.find(asides[0].string()), std::string::npos) << "the line names where it went";
}

TEST_F(Cli, UsageErrorsExitWithTwoAndHelpAndVersionWithZero) {
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--help"}, 0}, {{"--version"}, 0}, {{"dance"}, 2}, {{"dictionary"}, 2}, {{"dictionary", "add"}, 2},
        {{"settings", "extra"}, 2}, {{"hotkey", "dance"}, 2},
    };
    for (const auto& [arguments, code] : cases) {
        EXPECT_EQ(run(arguments).exitCode, code) << (arguments.empty() ? "(none)" : arguments[0]);
    }
    EXPECT_EQ(run({"--version"}).standardOutput, "parlune 0.1.0\n");
}
