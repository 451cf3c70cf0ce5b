#include "ui/update/FeedAddress.h"

#include "core/log/Log.h"
#include "linux/platform/XdgPaths.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace parlune {
namespace {

// The member from the first deployment file that exists; a file that cannot be read is reported
// and skipped.
std::optional<std::string> deploymentValue(const char* key) {
    for (const auto& folder : {xdg::configHome(), std::filesystem::path("/etc/xdg")}) {
        const auto path = folder / "parlune" / "deployment.json";
        std::ifstream file(path);
        if (!file) continue;
        const auto document = nlohmann::json::parse(file, nullptr, false);
        if (!document.is_object()) {
            log::line("⚠️ Deployment file " + path.string() + " is not a JSON object; using the defaults");
            return std::nullopt;
        }
        const auto member = document.find(key);
        if (member != document.end() && member->is_string()) return member->get<std::string>();
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<QUrl> updateFeedAddress() {
    const std::string address = deploymentValue("updateFeedURL").value_or(PARLUNE_UPDATE_FEED_URL);
    if (address.empty()) return std::nullopt;
    QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        log::line("⚠️ Update feed address is not a URL: " + address);
        return std::nullopt;
    }
    return url;
}

}  // namespace parlune
