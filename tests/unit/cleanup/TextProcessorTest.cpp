#include "core/cleanup/TextProcessor.h"
#include "core/runtime/VirtualLoop.h"
#include "fakes/FakeHttpClient.h"
#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>

using namespace parlune;
using namespace parlune::fakes;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using nlohmann::json;

namespace {

const std::string raw = "um so the deploy is is done";
const std::string processing = "🎤 Processing with: Fast, style: Casual, dictionary: 0 words, preceding: nil";
const std::string processingLocal = "🎤 Processing with: Local, style: Casual, dictionary: 0 words, preceding: nil";
const std::string timedOut = "⏱️ Text processing timed out after 10.0s, using raw transcription";

std::string reply(const json& content) { return json{{"choices", {{{"message", {{"content", content}}}}}}}.dump(); }

class Cleanup : public ::testing::Test {
protected:
    struct Run {
        std::optional<std::string> result;
        TaskHandle handle;
    };

    ~Cleanup() override {
        // Let every task end so no coroutine frame outlives the test.
        for (auto& run : runs_) run->handle.cancel();
        loop.runUntilIdle();
        while (loop.runNextTimer()) {
        }
    }

    std::shared_ptr<Run> start(std::string text, ModelProvider provider, WritingStyle style = WritingStyle::casual,
                               std::vector<std::string> words = {}, std::optional<std::string> preceding = {}) {
        auto run = std::make_shared<Run>();
        run->handle = spawn(loop, collect(processor, std::move(text), provider, style, std::move(words),
                                          std::move(preceding), run));
        runs_.push_back(run);
        loop.runUntilIdle();
        return run;
    }
    // For replies that come without loop time.
    std::string clean(const std::string& text, ModelProvider provider) {
        auto run = start(text, provider);
        EXPECT_TRUE(run->result.has_value());
        return run->result.value_or("(no result)");
    }
    const HttpRequest& onlyRequest() const {
        EXPECT_EQ(http->exchanges.size(), 1u);
        return http->exchanges.at(0).request;
    }

    static Task<void> collect(TextProcessor& processor, std::string text, ModelProvider provider, WritingStyle style,
                              std::vector<std::string> words, std::optional<std::string> preceding,
                              std::shared_ptr<Run> run) {
        run->result = co_await processor.processText(std::move(text), provider, style, std::move(words),
                                                     std::move(preceding));
    }

    VirtualLoop loop;
    CapturedLog log;
    std::shared_ptr<FakeHttpClient> http = std::make_shared<FakeHttpClient>();
    DeploymentConfig deployment{"https://gateway.test/", "test-key", "http://127.0.0.1:8080", "", "", "", ""};
    TextProcessor processor{http, deployment};

private:
    std::vector<std::shared_ptr<Run>> runs_;
};

}  // namespace

TEST_F(Cleanup, AnEmptyTranscriptComesBackAtOnceUntouched) {
    EXPECT_EQ(clean("", ModelProvider::llamaScout), "");
    EXPECT_EQ(clean("", ModelProvider::appleFoundation), "");
    EXPECT_TRUE(http->exchanges.empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(Cleanup, TheFirstLineNamesProviderStyleWordCountAndTheEndOfThePrecedingText) {
    http->replyWith(200, reply("ok"));
    const std::string seventy = std::string(10, 'a') + std::string(60, 'b');
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, "nil"}, {std::string(), ""}, {seventy, std::string(60, 'b')}};
    for (const auto& [preceding, shown] : cases) {
        log.clear();
        start(raw, ModelProvider::llamaScout, WritingStyle::formal, {"Kubernetes", "Nguyen"}, preceding);
        EXPECT_EQ(log.lines(), (Lines{"🎤 Processing with: Fast, style: Formal, dictionary: 2 words, preceding: " + shown,
                                      "✅ Processed result: ok"}));
    }
}

TEST_F(Cleanup, TheGatewayGetsOnePostWithTheSystemPromptAndTheLabelledTranscript) {
    http->replyWith(200, reply("Cleaned."));
    const std::vector<std::string> words{"Kubernetes"};
    auto run = start(raw, ModelProvider::llamaScout, WritingStyle::standard, words, std::string("Hi "));
    EXPECT_EQ(run->result, "Cleaned.");

    const HttpRequest& request = onlyRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "https://gateway.test/v1/chat/completions");
    EXPECT_EQ(request.headers, (std::vector<std::pair<std::string, std::string>>{
                                   {"Authorization", "Bearer test-key"}, {"Content-Type", "application/json"}}));
    EXPECT_EQ(request.timeout, 60s);
    const json body = json::parse(request.body);
    EXPECT_EQ(body.dump(), request.body) << "compact encoding";
    EXPECT_EQ(body, (json{{"model", "meta/llama-4-scout"},
                          {"messages",
                           {{{"role", "system"},
                             {"content", TextProcessor::buildSystemPrompt(WritingStyle::standard, words, "Hi ")}},
                            {{"role", "user"}, {"content", "Transcription to clean: " + raw}}}},
                          {"stream", false}}));
}

TEST_F(Cleanup, GatewayRepliesAreReadInOrderAndEveryFailureGivesTheRawTranscript) {
    const struct {
        const char* what;
        HttpResult result;
        std::string cleaned;
        std::string errorLine;  // "" for none
    } cases[] = {
        {"content trimmed at both ends only", HttpResult::response(200, reply("\nHello there.\n\nBye.  \n")),
         "Hello there.\n\nBye.", ""},
        {"only white space", HttpResult::response(200, reply(" \n\t ")), "", ""},
        {"201 is not 200", HttpResult::response(201, reply("x")), raw, "Vercel AI Gateway error: Invalid response"},
        {"rejected key", HttpResult::response(401, R"({"error":"unauthorized"})"), raw,
         "Vercel AI Gateway error: Invalid response"},
        {"transport failure", HttpResult::failure("Could not resolve host: gateway.test"), raw,
         "Vercel AI Gateway error: Could not resolve host: gateway.test"},
        {"a bare JSON value", HttpResult::response(200, "42"), raw,
         "Vercel AI Gateway error: the JSON text is not an object or an array"},
        {"no choices", HttpResult::response(200, R"({"choices":[]})"), raw, ""},
        {"a choice that is not an object", HttpResult::response(200, R"({"choices":[{"message":{"content":"a"}},1]})"),
         raw, ""},
        {"content that is not text", HttpResult::response(200, reply(nullptr)), raw, ""},
        {"message missing", HttpResult::response(200, R"({"choices":[{"text":"a"}]})"), raw, ""},
        {"top level is an array", HttpResult::response(200, R"([{"choices":[]}])"), raw, ""},
    };
    for (const auto& [what, result, cleaned, errorLine] : cases) {
        http->respond = [result](const HttpRequest&) { return FakeHttpClient::Reply{result}; };
        log.clear();
        EXPECT_EQ(clean(raw, ModelProvider::llamaScout), cleaned) << what;
        Lines expected{processing};
        if (!errorLine.empty()) expected.push_back(errorLine);
        expected.push_back("✅ Processed result: " + cleaned);
        EXPECT_EQ(log.lines(), expected) << what;
    }
}

TEST_F(Cleanup, ABodyThatIsNotJsonIsReportedWithTheParsersReason) {
    http->replyWith(200, "<html>Bad gateway</html>");
    EXPECT_EQ(clean(raw, ModelProvider::llamaScout), raw);
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_TRUE(log.lines()[1].starts_with("Vercel AI Gateway error: parse error at line 1, column 1"))
        << log.lines()[1];
}

TEST_F(Cleanup, TextThatCannotBeEncodedIsNotSent) {
    EXPECT_EQ(clean("caf\xE9 au lait", ModelProvider::llamaScout), "caf\xE9 au lait");
    EXPECT_TRUE(http->exchanges.empty());
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_TRUE(log.lines()[1].starts_with("Vercel AI Gateway error: invalid UTF-8 byte")) << log.lines()[1];
}

TEST_F(Cleanup, TheLocalServerGetsOneUserMessageAndNothingElse) {
    http->replyWith(200, reply("  cleaned, untrimmed\n"));
    EXPECT_EQ(clean(raw, ModelProvider::appleFoundation), "  cleaned, untrimmed\n");
    const HttpRequest& request = onlyRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "http://127.0.0.1:8080/v1/chat/completions");
    EXPECT_EQ(request.headers, (std::vector<std::pair<std::string, std::string>>{{"Content-Type", "application/json"}}));
    const std::string content = TextProcessor::buildSystemPrompt(WritingStyle::casual, {}, std::nullopt) +
                                "\n\nTranscription to clean: " + raw;
    EXPECT_EQ(json::parse(request.body), (json{{"messages", {{{"role", "user"}, {"content", content}}}}}));

    TextProcessor named(http, DeploymentConfig{"", "", "http://127.0.0.1:11434", "llama3.2", "", "", ""});
    http->exchanges.clear();
    spawn(loop, collect(named, raw, ModelProvider::appleFoundation, WritingStyle::casual, {}, {},
                        std::make_shared<Run>()));
    loop.runUntilIdle();
    EXPECT_EQ(onlyRequest().url, "http://127.0.0.1:11434/v1/chat/completions");
    EXPECT_EQ(json::parse(onlyRequest().body)["model"], "llama3.2");
}

TEST_F(Cleanup, LocalFailuresAreOneFoundationModelsLineAndTheRawTranscript) {
    const std::pair<HttpResult, std::string> cases[] = {
        {HttpResult::failure("Failed to connect to 127.0.0.1 port 8080 after 0 ms: Couldn't connect to server"),
         "Foundation Models error: Failed to connect to 127.0.0.1 port 8080 after 0 ms: Couldn't connect to server"},
        {HttpResult::response(503, R"({"error":{"code":503,"message":"Loading model"}})"),
         "Foundation Models error: the local model server answered with status 503: Loading model"},
        {HttpResult::response(404, "Not Found"),
         "Foundation Models error: the local model server answered with status 404"},
        {HttpResult::response(200, R"({"choices":[]})"),
         "Foundation Models error: the local model server's reply has no message content"},
        {HttpResult::response(200, "true"),
         "Foundation Models error: the JSON text is not an object or an array"},
    };
    for (const auto& [result, errorLine] : cases) {
        http->respond = [result](const HttpRequest&) { return FakeHttpClient::Reply{result}; };
        log.clear();
        EXPECT_EQ(clean(raw, ModelProvider::appleFoundation), raw);
        EXPECT_EQ(log.lines(), (Lines{processingLocal, errorLine, "✅ Processed result: " + raw}));
    }
}

TEST_F(Cleanup, AReplyAfterTheTimeLimitIsTooLateAndTheRequestIsCancelled) {
    for (const auto provider : allModelProviders()) {
        http->replyWith(200, reply("too late"), 11s);
        http->exchanges.clear();
        log.clear();
        const Duration began = loop.elapsed();
        auto run = start(raw, provider);
        loop.advance(10s - 1ns);
        EXPECT_FALSE(run->result);
        loop.advance(1ns);
        EXPECT_EQ(run->result, raw);
        EXPECT_EQ(loop.elapsed() - began, 10s);
        ASSERT_EQ(http->exchanges.size(), 1u);
        EXPECT_TRUE(http->exchanges[0].cancelled);
        const bool fast = provider == ModelProvider::llamaScout;
        EXPECT_EQ(log.lines(), (Lines{fast ? processing : processingLocal, timedOut,
                                      fast ? "Vercel AI Gateway error: cancelled" : "Foundation Models error: cancelled",
                                      "✅ Processed result: " + raw}));
    }
}

TEST_F(Cleanup, AReplyWithinTheTimeLimitWinsAndTheTimerIsDropped) {
    http->replyWith(200, reply("In time."), 9900ms);
    auto run = start(raw, ModelProvider::llamaScout);
    loop.advance(9900ms);
    EXPECT_EQ(run->result, "In time.");
    EXPECT_EQ(loop.pendingTimers(), 0u);
    EXPECT_EQ(log.lines(), (Lines{processing, "✅ Processed result: In time."}));
}

TEST_F(Cleanup, CancellingTheCallerReturnsTheRawTranscriptAtOnceAndEndsTheRequest) {
    auto run = start(raw, ModelProvider::llamaScout);  // never answered
    loop.advance(2s);
    run->handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(run->result, raw);
    EXPECT_EQ(loop.elapsed(), 2s);
    EXPECT_EQ(http->unfinished(), 0u);
    EXPECT_TRUE(http->exchanges.at(0).cancelled);
    const Lines lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Vercel AI Gateway error: cancelled"), lines.end());
    EXPECT_EQ(lines.back(), "✅ Processed result: " + raw);
}

TEST_F(Cleanup, APressWhileCleaningEndsTheCleanupAtOnce) {
    SessionHarness h;
    h.start();
    auto bundle = h.bundle();
    bundle.textProcessor = std::make_shared<TextProcessor>(http, deployment);
    h.app = AppState::create(bundle);
    h.app->setSelectedModelProvider(ModelProvider::llamaScout);
    h.loop.runUntilIdle();

    h.monitor->press();
    h.loop.runUntilIdle();
    h.dictation->speak("hello there");
    h.loop.advance(1s);
    h.monitor->release();
    h.loop.advance(300ms + 600ms);  // the stop's delay and the recogniser's drain: now cleaning
    ASSERT_EQ(http->exchanges.size(), 1u);
    EXPECT_EQ(http->unfinished(), 1u);

    h.monitor->press();
    h.loop.runUntilIdle();
    EXPECT_EQ(http->unfinished(), 0u) << "no request outlives the cleanup";
    EXPECT_EQ(h.app->lastTranscription().get(), "hello there");
    EXPECT_TRUE(h.injector->injected.empty()) << "the cancelled stop inserts nothing";
}

TEST(TextProcessorSeconds, PrintWithAtLeastOneFractionalDigit) {
    const std::pair<double, const char*> cases[] = {{10.0, "10.0"}, {2.5, "2.5"}, {0.25, "0.25"}, {60, "60.0"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(TextProcessor::formatSeconds(seconds), text);
}
