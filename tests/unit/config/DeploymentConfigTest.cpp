#include "core/config/DeploymentConfig.h"

#include <gtest/gtest.h>

using namespace parlune;

namespace {

DeploymentConfig defaults() {
    return DeploymentConfig{"https://gateway.example", "built-in-key", "http://127.0.0.1:8080", "", "", "", ""};
}

}  // namespace

TEST(DeploymentConfig, PresentMembersReplaceTheDefaultsAndOthersStay) {
    const auto parsed = DeploymentConfig::parse(R"({"gatewayAPIKey": "k2", "localModelName": "qwen2.5",
        "backendURL": "https://backend.example", "backendPublishableKey": "pk", "updateFeedURL": "https://feed.example",
        "localModelBaseURL": "http://127.0.0.1:11434/"})",
                                                defaults());
    EXPECT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.unknownMembers.empty());
    EXPECT_EQ(parsed.config, (DeploymentConfig{"https://gateway.example", "k2", "http://127.0.0.1:11434/", "qwen2.5",
                                               "https://backend.example", "pk", "https://feed.example"}));
    EXPECT_EQ(parsed.config.localChatCompletionsURL(), "http://127.0.0.1:11434/v1/chat/completions");
    EXPECT_EQ(parsed.config.gatewayChatCompletionsURL(), "https://gateway.example/v1/chat/completions");
}

TEST(DeploymentConfig, UnknownMembersAreReportedAndIgnored) {
    const auto parsed = DeploymentConfig::parse(R"({"gatewayApiKey": "typo", "gatewayBaseURL": "http://10.0.0.2"})",
                                                defaults());
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.unknownMembers, std::vector<std::string>{"gatewayApiKey"});
    EXPECT_EQ(parsed.config.gatewayAPIKey, "built-in-key");
    EXPECT_EQ(parsed.config.gatewayBaseURL, "http://10.0.0.2");
}

TEST(DeploymentConfig, UnusableTextGivesAReasonAndTheDefaults) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "not valid JSON"},
        {R"({"gatewayAPIKey": "abc)", "not valid JSON"},
        {R"(["gatewayAPIKey"])", "not a JSON object"},
        {R"({"gatewayBaseURL": "http://x", "gatewayAPIKey": 42})", "\"gatewayAPIKey\" is not a string"},
        {R"({"localModelName": null})", "\"localModelName\" is not a string"},
    };
    for (const auto& [text, reason] : cases) {
        const auto parsed = DeploymentConfig::parse(text, defaults());
        EXPECT_EQ(parsed.error, reason) << text;
        EXPECT_EQ(parsed.config, defaults()) << text;
    }
}
