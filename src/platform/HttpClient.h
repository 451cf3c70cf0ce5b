#pragma once

#include "core/runtime/EventLoop.h"
#include "core/runtime/Task.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parlune {

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;  // name, value; sent in this order
    std::string body;                                           // sent as is when not empty
    Duration timeout = std::chrono::seconds(60);                // for the whole exchange
};

// What one request came to: a response with any status, or a transport failure (no connection,
// timeout, cancellation) with its description.
struct HttpResult {
    int status = 0;                    // 0 when no response arrived
    std::string body;
    std::optional<std::string> error;  // set exactly when no response arrived

    static HttpResult response(int status, std::string body) { return {status, std::move(body), std::nullopt}; }
    static HttpResult failure(std::string description) { return {0, {}, std::move(description)}; }
};

// Description of the failure of a request whose task was cancelled.
inline constexpr const char* httpCancelledDescription = "cancelled";

// One HTTP exchange at a time per call; calls may overlap. Redirects are not followed.
//
// Cancelling the awaiting task aborts the transfer: send() then returns a failure with
// httpCancelledDescription, and only once the transfer has been dropped, so no transfer outlives
// the task that started it.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual Task<HttpResult> send(HttpRequest request) = 0;
};

}  // namespace parlune
