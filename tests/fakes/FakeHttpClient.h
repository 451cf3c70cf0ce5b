#pragma once

// An HTTP client that answers on the loop's clock, as the test scripts it.

#include "platform/HttpClient.h"

#include <functional>
#include <optional>
#include <vector>

namespace parlune::fakes {

class FakeHttpClient final : public HttpClient {
public:
    struct Reply {
        HttpResult result;
        Duration after{0};  // of loop time
    };
    // Decides each request's reply when it is sent; none (or no function) means it is never
    // answered. A cancelled request ends as the real client's do, one loop job later.
    std::function<std::optional<Reply>(const HttpRequest&)> respond;

    struct Exchange {
        HttpRequest request;
        bool cancelled = false;
        bool finished = false;
    };
    std::vector<Exchange> exchanges;
    std::size_t unfinished() const;

    Task<HttpResult> send(HttpRequest request) override;

    // Replies with `status` and `body` at once (or after `after`) to every request.
    void replyWith(int status, std::string body, Duration after = Duration::zero());
};

}  // namespace parlune::fakes
