// The libcurl client against servers on 127.0.0.1.

#include "LocalHttpServer.h"
#include "fakes/Process.h"
#include "fakes/SilentServer.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/runtime/StdLoop.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

class CurlClient : public ::testing::Test {
protected:
    struct Exchange {
        std::optional<HttpResult> result;
        TaskHandle task;
    };

    static Task<void> sendInto(HttpClient& client, HttpRequest request, std::shared_ptr<Exchange> exchange) {
        exchange->result = co_await client.send(std::move(request));
    }
    std::shared_ptr<Exchange> start(HttpRequest request) {
        auto exchange = std::make_shared<Exchange>();
        exchange->task = spawn(loop, sendInto(client, std::move(request), exchange));
        return exchange;
    }
    HttpResult send(HttpRequest request) {
        auto exchange = start(std::move(request));
        EXPECT_TRUE(loop.runUntil([&] { return exchange->task.isDone(); }, 20s));
        return exchange->result.value_or(HttpResult::failure("(no result)"));
    }

    StdLoop loop;
    CurlHttpClient client{loop};
};

HttpRequest post(const std::string& url, std::string body = "{}") {
    return HttpRequest{"POST", url, {{"Content-Type", "application/json"}}, std::move(body), 10s};
}

}  // namespace

TEST_F(CurlClient, SendsMethodHeadersAndBodyAndReturnsStatusAndBody) {
    LocalHttpServer server(LocalHttpServer::replying(201, "made it"));
    const std::string body(3000, 'x');  // large enough for curl to consider a 100-continue round trip
    HttpRequest request = post(server.baseURL() + "/v1/things?x=1", body);
    request.headers.emplace_back("Authorization", "Bearer abc");
    const HttpResult result = send(request);
    EXPECT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.status, 201);
    EXPECT_EQ(result.body, "made it");

    const auto received = server.received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].method, "POST");
    EXPECT_EQ(received[0].target, "/v1/things?x=1");
    EXPECT_EQ(received[0].header("Authorization"), "Bearer abc");
    EXPECT_EQ(received[0].header("Content-Type"), "application/json");
    EXPECT_EQ(received[0].header("Expect"), "");
    EXPECT_EQ(received[0].body, body);
    EXPECT_EQ(client.activeTransfers(), 0u);
}

TEST_F(CurlClient, TransportFailuresAreDescribed) {
    const int port = unusedPort();
    HttpRequest headerInjection = post("http://127.0.0.1:" + std::to_string(port) + "/");
    headerInjection.headers.emplace_back("Authorization", "Bearer abc\r\nX-Evil: 1");
    const std::pair<HttpRequest, std::string> cases[] = {
        {post("http://127.0.0.1:" + std::to_string(port) + "/v1/chat/completions"),
         "Failed to connect to 127.0.0.1 port " + std::to_string(port)},
        {post("/v1/chat/completions"), "URL"},
        {post("file:///etc/passwd"), "file"},
        {headerInjection, "the request has a malformed header"},
    };
    for (const auto& [request, mentions] : cases) {
        const HttpResult result = send(request);
        ASSERT_TRUE(result.error) << request.url;
        EXPECT_NE(result.error->find(mentions), std::string::npos) << *result.error;
    }
}

TEST_F(CurlClient, CancellingAbortsTheTransferAndReturnsOnceItIsGone) {
    SilentServer server;
    auto exchange = start(post(server.baseURL() + "/v1/chat/completions"));
    ASSERT_TRUE(loop.runUntil([&] { return client.activeTransfers() == 1; }, 10s));
    ASSERT_TRUE(server.waitForRequests(1, 10s));

    exchange->task.cancel();
    ASSERT_TRUE(loop.runUntil([&] { return exchange->task.isDone(); }, 10s));
    EXPECT_EQ(exchange->result->error, "cancelled");
    EXPECT_EQ(client.activeTransfers(), 0u) << "no transfer outlives its task";
    EXPECT_TRUE(server.waitForClosed(1, 10s)) << "the connection is closed, not left waiting for the 60 s timeout";
}

TEST_F(CurlClient, TheRequestTimeoutEndsAHangingExchange) {
    SilentServer server;
    HttpRequest request = post(server.baseURL() + "/");
    request.timeout = 200ms;
    const HttpResult result = send(request);
    ASSERT_TRUE(result.error);
    EXPECT_NE(result.error->find("timed out"), std::string::npos) << *result.error;
}

TEST_F(CurlClient, AServerWithAnUntrustedCertificateIsRefused) {
    TemporaryFolder folder;
    const std::string certificate = folder.path() + "/cert.pem", key = folder.path() + "/key.pem";
    const auto made = runProcess({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                                  "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key,
                                  "-out", certificate});
    ASSERT_EQ(made.exitCode, 0) << made.standardError;
    LocalHttpServer server(LocalHttpServer::replying(200, "secret"), certificate, key);
    const HttpResult result = send(post(server.baseURL() + "/"));
    ASSERT_TRUE(result.error) << "status " << result.status;
    EXPECT_NE(result.error->find("certificate"), std::string::npos) << *result.error;
}

TEST_F(CurlClient, TheProxyVariablesAreHonoured) {
    LocalHttpServer proxy(LocalHttpServer::replying(200, "via proxy"));
    ::setenv("http_proxy", proxy.baseURL().c_str(), 1);
    const HttpResult result = send(post("http://parlune.invalid/v1/chat/completions"));
    ::unsetenv("http_proxy");
    EXPECT_EQ(result.body, "via proxy");
    ASSERT_EQ(proxy.received().size(), 1u);
    EXPECT_EQ(proxy.received()[0].target, "http://parlune.invalid/v1/chat/completions");
}
