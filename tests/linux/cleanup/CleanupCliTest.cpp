// parlune prompt and parlune clean, as a user runs them.

#include "LocalHttpServer.h"
#include "core/cleanup/TextProcessor.h"
#include "fakes/PrivateUserFolders.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace parlune;
using namespace parlune::testing;

namespace {

class CleanupCli : public ::testing::Test, protected PrivateUserFolders {};

}  // namespace

TEST_F(CleanupCli, PromptPrintsExactlyWhatADictationWouldSend) {
    const auto casual = run({"prompt", "--style", "casual"});
    ASSERT_EQ(casual.exitCode, 0) << casual.standardError;
    EXPECT_EQ(casual.standardOutput.size(), 1460u);
    EXPECT_EQ(casual.standardOutput, TextProcessor::buildSystemPrompt(WritingStyle::casual, {}, std::nullopt));

    ASSERT_EQ(run({"dictionary", "add", "Nguyen"}).exitCode, 0);
    ASSERT_EQ(run({"dictionary", "add", "Kubernetes"}).exitCode, 0);
    const auto saved = run({"prompt", "--preceding", "Dear team,\n"});
    EXPECT_EQ(saved.standardOutput, TextProcessor::buildSystemPrompt(WritingStyle::casual, {"Kubernetes", "Nguyen"},
                                                                     std::string("Dear team,\n")));
}

TEST_F(CleanupCli, CleanAgainstAStandInGateway) {
    LocalHttpServer gateway(LocalHttpServer::replying(
        200, R"({"choices":[{"index":0,"message":{"role":"assistant","content":"The deploy is done."}}]})"));
    writeDeployment("config", {{"gatewayBaseURL", gateway.baseURL()}, {"gatewayAPIKey", "cli-test-key"}});
    const auto result = run({"clean", "um the deploy is is done", "--provider", "fast", "--style", "formal"});
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "The deploy is done.\n");
    EXPECT_EQ(result.standardError, "🎤 Processing with: Fast, style: Formal, dictionary: 0 words, preceding: nil\n"
                                    "✅ Processed result: The deploy is done.\n");
    ASSERT_EQ(gateway.received().size(), 1u);
    EXPECT_EQ(gateway.received()[0].header("Authorization"), "Bearer cli-test-key");
}

TEST_F(CleanupCli, CleanWithNothingListeningForLocalPrintsTheRawText) {
    const int port = unusedPort();
    writeDeployment("site", {{"localModelBaseURL", "http://127.0.0.1:" + std::to_string(port)}});
    const auto result = run({"clean", "so the the build is green", "--preceding", "Status: "});
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "so the the build is green\n");
    EXPECT_TRUE(result.standardError.starts_with(
        "🎤 Processing with: Local, style: Casual, dictionary: 0 words, preceding: Status: \n"
        "Foundation Models error: Failed to connect to 127.0.0.1 port " + std::to_string(port)))
        << result.standardError;
    EXPECT_TRUE(result.standardError.ends_with("✅ Processed result: so the the build is green\n"));
}

TEST_F(CleanupCli, ArgumentsThatAreNotUnderstoodAreUsageErrors) {
    const std::vector<std::string> cases[] = {
        {"clean"}, {"clean", "a", "b"}, {"clean", "a", "--style", "loud"}, {"clean", "a", "--provider"},
        {"prompt", "--provider", "fast"}, {"prompt", "text"},
    };
    for (const auto& arguments : cases) {
        const auto result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.back();
        EXPECT_EQ(result.standardOutput, "");
    }
}
