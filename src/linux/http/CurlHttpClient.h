#pragma once

#include "core/runtime/EventLoop.h"
#include "platform/HttpClient.h"

#include <cstddef>
#include <memory>

namespace parlune {

// HTTP over libcurl. One worker thread runs every transfer of this client; results are posted back
// to the loop. TLS peers and host names are verified against the system's certificate store; the
// usual proxy variables (http_proxy, https_proxy, all_proxy, no_proxy) are honoured; only http and
// https are spoken; redirects are not followed.
//
// A cancelled send() aborts its transfer on the worker at once and returns when the worker has
// dropped it. Destroy the client before its loop; transfers still running then end as failures.
class CurlHttpClient final : public HttpClient {
public:
    static constexpr std::size_t maxResponseBytes = 64 * 1024 * 1024;

    explicit CurlHttpClient(EventLoop& loop);
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    Task<HttpResult> send(HttpRequest request) override;

    // Transfers handed to the worker and not yet finished or aborted.
    std::size_t activeTransfers() const;

private:
    class Worker;
    EventLoop& loop_;
    std::shared_ptr<Worker> worker_;
};

}  // namespace parlune
