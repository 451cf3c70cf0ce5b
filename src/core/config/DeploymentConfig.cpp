#include "core/config/DeploymentConfig.h"

#include <nlohmann/json.hpp>

#include <utility>

// The build supplies these from its cache variables; the fallbacks keep a bare compile working.
#ifndef PARLUNE_GATEWAY_BASE_URL
#define PARLUNE_GATEWAY_BASE_URL ""
#endif
#ifndef PARLUNE_GATEWAY_API_KEY
#define PARLUNE_GATEWAY_API_KEY ""
#endif
#ifndef PARLUNE_LOCAL_MODEL_BASE_URL
#define PARLUNE_LOCAL_MODEL_BASE_URL "http://127.0.0.1:8080"
#endif
#ifndef PARLUNE_LOCAL_MODEL_NAME
#define PARLUNE_LOCAL_MODEL_NAME ""
#endif
#ifndef PARLUNE_BACKEND_URL
#define PARLUNE_BACKEND_URL ""
#endif
#ifndef PARLUNE_BACKEND_PUBLISHABLE_KEY
#define PARLUNE_BACKEND_PUBLISHABLE_KEY ""
#endif
#ifndef PARLUNE_UPDATE_FEED_URL
#define PARLUNE_UPDATE_FEED_URL ""
#endif

namespace parlune {
namespace {

using Member = std::string DeploymentConfig::*;

constexpr std::pair<const char*, Member> members[] = {
    {"gatewayBaseURL", &DeploymentConfig::gatewayBaseURL},
    {"gatewayAPIKey", &DeploymentConfig::gatewayAPIKey},
    {"localModelBaseURL", &DeploymentConfig::localModelBaseURL},
    {"localModelName", &DeploymentConfig::localModelName},
    {"backendURL", &DeploymentConfig::backendURL},
    {"backendPublishableKey", &DeploymentConfig::backendPublishableKey},
    {"updateFeedURL", &DeploymentConfig::updateFeedURL},
};

std::string endpoint(std::string_view base) {
    while (base.ends_with('/')) base.remove_suffix(1);
    return std::string(base) + std::string(DeploymentConfig::chatCompletionsPath);
}

}  // namespace

DeploymentConfig DeploymentConfig::compiledDefaults() {
    return DeploymentConfig{PARLUNE_GATEWAY_BASE_URL, PARLUNE_GATEWAY_API_KEY, PARLUNE_LOCAL_MODEL_BASE_URL,
                            PARLUNE_LOCAL_MODEL_NAME, PARLUNE_BACKEND_URL,     PARLUNE_BACKEND_PUBLISHABLE_KEY,
                            PARLUNE_UPDATE_FEED_URL};
}

DeploymentConfig::Parsed DeploymentConfig::parse(std::string_view json, const DeploymentConfig& defaults) {
    Parsed parsed{defaults, {}, {}};
    const auto document = nlohmann::json::parse(json, nullptr, false);
    if (document.is_discarded()) {
        parsed.error = "not valid JSON";
        return parsed;
    }
    if (!document.is_object()) {
        parsed.error = "not a JSON object";
        return parsed;
    }
    DeploymentConfig config = defaults;
    for (const auto& [name, value] : document.items()) {
        bool known = false;
        for (const auto& [memberName, member] : members) {
            if (name != memberName) continue;
            known = true;
            if (!value.is_string()) {
                parsed.error = "\"" + name + "\" is not a string";
                return parsed;
            }
            config.*member = value.get<std::string>();
        }
        if (!known) parsed.unknownMembers.push_back(name);
    }
    parsed.config = std::move(config);
    return parsed;
}

std::string DeploymentConfig::gatewayChatCompletionsURL() const { return endpoint(gatewayBaseURL); }

std::string DeploymentConfig::localChatCompletionsURL() const { return endpoint(localModelBaseURL); }

}  // namespace parlune
