#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// The constants of one deployment: where the model services and the backend are and the keys they
// take. Not user settings: built in at compile time (CMake cache variables) and overridable per
// machine by a deployment.json file, one JSON object whose members are named like the fields
// below, each optional.
struct DeploymentConfig {
    std::string gatewayBaseURL;         // the hosted chat-completions gateway ("Fast")
    std::string gatewayAPIKey;          // its Bearer key; a secret, never logged
    std::string localModelBaseURL;      // the OpenAI-compatible chat server on this machine ("Local")
    std::string localModelName;         // sent as "model" to the local server when not empty
    std::string backendURL;             // the hosted backend
    std::string backendPublishableKey;  // its public (publishable) key
    std::string updateFeedURL;          // the self-update feed

    static constexpr std::string_view chatCompletionsPath = "/v1/chat/completions";

    // The values built into the program.
    static DeploymentConfig compiledDefaults();

    struct Parsed;
    // Reads a deployment.json text over `defaults`. Members that are present replace the default;
    // members of other names are reported in `unknownMembers` and otherwise ignored. Text that is
    // not a JSON object, or a known member that is not a string, makes the whole text unusable:
    // `error` says why and `config` is `defaults`.
    static Parsed parse(std::string_view json, const DeploymentConfig& defaults);

    // base address + "/v1/chat/completions", without doubling a slash that ends the base address.
    std::string gatewayChatCompletionsURL() const;
    std::string localChatCompletionsURL() const;

    bool operator==(const DeploymentConfig&) const = default;
};

struct DeploymentConfig::Parsed {
    DeploymentConfig config;
    std::string error;  // empty when the text was usable
    std::vector<std::string> unknownMembers;
};

}  // namespace parlune
