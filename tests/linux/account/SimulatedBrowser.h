#pragma once

// A browser for sign-in tests: it loads the authorization page from the stand-in, which redirects
// to the application's callback address, and hands that address to the application as the
// desktop would (through `deliver`, on the loop).

#include "platform/AccountServices.h"

#include <httplib.h>

#include <functional>
#include <string>
#include <vector>

namespace parlune::testing {

class SimulatedBrowser final : public BrowserOpener {
public:
    std::function<void(const std::string&)> deliver;
    std::vector<std::string> opened;
    std::vector<std::string> delivered;

    Task<std::optional<std::string>> open(std::string url) override {
        opened.push_back(url);
        const auto schemeEnd = url.find("://");
        const auto pathStart = url.find('/', schemeEnd + 3);
        httplib::Client client(url.substr(0, pathStart));
        client.set_follow_location(false);
        const auto reply = client.Get(url.substr(pathStart));
        if (!reply) co_return "the page could not be loaded";
        if (reply->status != 302) co_return "the page answered " + std::to_string(reply->status) + ": " + reply->body;
        const auto location = reply->get_header_value("Location");
        delivered.push_back(location);
        if (deliver) deliver(location);
        co_return std::nullopt;
    }
};

}  // namespace parlune::testing
