#include "fakes/FakeHttpClient.h"

namespace parlune::fakes {

std::size_t FakeHttpClient::unfinished() const {
    std::size_t count = 0;
    for (const auto& exchange : exchanges) count += exchange.finished ? 0 : 1;
    return count;
}

void FakeHttpClient::replyWith(int status, std::string body, Duration after) {
    respond = [status, body = std::move(body), after](const HttpRequest&) {
        return std::optional<Reply>(Reply{HttpResult::response(status, body), after});
    };
}

Task<HttpResult> FakeHttpClient::send(HttpRequest request) {
    const std::size_t index = exchanges.size();
    std::optional<Reply> reply = respond ? respond(request) : std::nullopt;
    exchanges.push_back(Exchange{std::move(request)});
    // "Never" is a day of loop time, so a forgotten request still ends when the test winds down.
    const Duration wait = reply ? reply->after : std::chrono::hours(24);
    const bool answered = wait == Duration::zero() || co_await sleepFor(wait);
    exchanges[index].finished = true;
    if (!answered || !reply) {
        exchanges[index].cancelled = !answered;
        co_return HttpResult::failure(answered ? "no reply" : httpCancelledDescription);
    }
    co_return reply->result;
}

}  // namespace parlune::fakes
