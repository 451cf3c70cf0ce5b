// The cleanup over real HTTP: libcurl against stand-in servers that speak the chat-completions wire
// format, on a virtual-time loop so the 10-second limit costs no real time.

#include "LocalHttpServer.h"
#include "core/cleanup/TextProcessor.h"
#include "core/runtime/VirtualLoop.h"
#include "fakes/SessionHarness.h"
#include "fakes/SilentServer.h"
#include "linux/http/CurlHttpClient.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <thread>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;
using nlohmann::json;
using Lines = std::vector<std::string>;

namespace {

const std::string raw = "so um the the build is green";

std::string reply(const std::string& content) {
    return json{{"id", "chatcmpl-1"},
                {"object", "chat.completion"},
                {"choices", {{{"index", 0}, {"message", {{"role", "assistant"}, {"content", content}}},
                              {"finish_reason", "stop"}}}}}
        .dump();
}

class WireCleanup : public ::testing::Test {
protected:
    struct Run {
        std::optional<std::string> result;
    };
    static Task<void> collect(TextProcessor& processor, ModelProvider provider, std::shared_ptr<Run> run) {
        run->result = co_await processor.processText(raw, provider, WritingStyle::casual, {}, std::nullopt);
    }
    std::shared_ptr<Run> start(TextProcessor& processor, ModelProvider provider) {
        auto run = std::make_shared<Run>();
        spawn(loop, collect(processor, provider, run));
        loop.runUntilIdle();
        return run;
    }
    // Serves the loop until the result is in; the HTTP worker posts from its own thread.
    bool settle(const Run& run) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        for (;;) {
            loop.runUntilIdle();
            if (run.result) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(1ms);
        }
    }
    std::string clean(const DeploymentConfig& deployment, ModelProvider provider) {
        TextProcessor processor(http, deployment);
        auto run = start(processor, provider);
        EXPECT_TRUE(settle(*run));
        return run->result.value_or("(no result)");
    }
    static DeploymentConfig gatewayAt(const std::string& base) { return {base, "wire-key", "", "", "", "", ""}; }

    VirtualLoop loop;
    fakes::CapturedLog log;
    std::shared_ptr<CurlHttpClient> http = std::make_shared<CurlHttpClient>(loop);
};

}  // namespace

TEST_F(WireCleanup, GatewayRepliesOverHttp) {
    const struct {
        int status;
        std::string body;
        std::string contentType;
        std::string cleaned;
        std::string errorLine;  // "" for none; a prefix otherwise
    } cases[] = {
        {200, reply("\n  The build is green.  \n"), "application/json", "The build is green.", ""},
        {201, reply("The build is green."), "application/json", raw, "Vercel AI Gateway error: Invalid response"},
        {204, "", "application/json", raw, "Vercel AI Gateway error: Invalid response"},
        {500, R"({"error":{"message":"upstream failed"}})", "application/json", raw,
         "Vercel AI Gateway error: Invalid response"},
        {200, "<html>Bad Gateway</html>", "text/html", raw, "Vercel AI Gateway error: parse error at line 1"},
        {200, R"({"choices":[]})", "application/json", raw, ""},
    };
    for (const auto& [status, body, contentType, cleaned, errorLine] : cases) {
        LocalHttpServer server(LocalHttpServer::replying(status, body, contentType));
        log.clear();
        EXPECT_EQ(clean(gatewayAt(server.baseURL()), ModelProvider::llamaScout), cleaned) << status << " " << body;
        const Lines lines = log.lines();
        ASSERT_EQ(lines.size(), errorLine.empty() ? 2u : 3u) << status << " " << body;
        if (!errorLine.empty()) {
            EXPECT_TRUE(lines[1].starts_with(errorLine)) << lines[1];
        }
        EXPECT_EQ(lines.back(), "✅ Processed result: " + cleaned);

        const auto received = server.received();
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].method, "POST");
        EXPECT_EQ(received[0].target, "/v1/chat/completions");
        EXPECT_EQ(received[0].header("Authorization"), "Bearer wire-key");
        EXPECT_EQ(received[0].header("Content-Type"), "application/json");
        const json sent = json::parse(received[0].body);
        EXPECT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent["model"], "meta/llama-4-scout");
        EXPECT_EQ(sent["stream"], false);
        EXPECT_EQ(sent["messages"][1], (json{{"role", "user"}, {"content", "Transcription to clean: " + raw}}));
    }
}

TEST_F(WireCleanup, TheLocalServerGetsTheWholePromptAsOneUserMessageAndItsReplyIsKeptAsIs) {
    LocalHttpServer server(LocalHttpServer::replying(200, reply("  the build is green\n")));
    EXPECT_EQ(clean({"", "", server.baseURL(), "", "", "", ""}, ModelProvider::appleFoundation),
              "  the build is green\n");
    const auto received = server.received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].target, "/v1/chat/completions");
    EXPECT_EQ(received[0].header("Authorization"), "");
    const std::string prompt = TextProcessor::buildSystemPrompt(WritingStyle::casual, {}, std::nullopt);
    EXPECT_EQ(json::parse(received[0].body),
              (json{{"messages", {{{"role", "user"}, {"content", prompt + "\n\nTranscription to clean: " + raw}}}}}));
}

TEST_F(WireCleanup, AGatewayThatNeverAnswersGivesTheRawTranscriptAtTenSecondsAndTheTransferIsAborted) {
    SilentServer server;
    TextProcessor processor(http, gatewayAt(server.baseURL()));
    auto run = start(processor, ModelProvider::llamaScout);
    ASSERT_TRUE(server.waitForRequests(1, 10s));
    loop.advance(10s - 1ms);
    loop.runUntilIdle();
    EXPECT_FALSE(run->result);
    loop.advance(1ms);
    ASSERT_TRUE(settle(*run));
    EXPECT_EQ(run->result, raw);
    EXPECT_EQ(loop.elapsed(), 10s);
    EXPECT_EQ(log.lines(), (Lines{"🎤 Processing with: Fast, style: Casual, dictionary: 0 words, preceding: nil",
                                  "⏱️ Text processing timed out after 10.0s, using raw transcription",
                                  "Vercel AI Gateway error: cancelled", "✅ Processed result: " + raw}));
    EXPECT_EQ(http->activeTransfers(), 0u);
    EXPECT_TRUE(server.waitForClosed(1, 10s)) << "the client hung up";
}

TEST_F(WireCleanup, NothingListeningForLocalGivesTheRawTranscript) {
    const int port = unusedPort();
    EXPECT_EQ(clean({"", "", "http://127.0.0.1:" + std::to_string(port), "", "", "", ""},
                    ModelProvider::appleFoundation),
              raw);
    const Lines lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1].starts_with("Foundation Models error: Failed to connect to 127.0.0.1 port " +
                                     std::to_string(port)))
        << lines[1];
}
