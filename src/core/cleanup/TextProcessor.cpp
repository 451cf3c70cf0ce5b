#include "core/cleanup/TextProcessor.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <utility>

namespace parlune {
namespace {

using nlohmann::json;

constexpr const char* gatewayErrorPrefix = "Vercel AI Gateway error: ";
constexpr const char* localErrorPrefix = "Foundation Models error: ";

// nlohmann's messages start with a "[json.exception.…] " tag that says nothing to a reader.
std::string describe(const json::exception& error) {
    std::string_view text = error.what();
    if (text.starts_with('[')) {
        if (const auto end = text.find("] "); end != std::string_view::npos) text.remove_prefix(end + 2);
    }
    return std::string(text);
}

// A compact JSON encoding; none when the value holds text that is not UTF-8.
struct Encoded {
    std::optional<std::string> text;
    std::string error;
};
Encoded encode(const json& value) {
    try {
        return {value.dump(), {}};
    } catch (const json::exception& error) {
        return {std::nullopt, describe(error)};
    }
}

// A response body read as a JSON document: an object or an array at the top, as a strict parser
// without options accepts.
struct Document {
    std::optional<json> value;
    std::string error;
};
Document parseDocument(const std::string& body) {
    try {
        json value = json::parse(body);
        if (!value.is_object() && !value.is_array()) return {std::nullopt, "the JSON text is not an object or an array"};
        return {std::move(value), {}};
    } catch (const json::exception& error) {
        return {std::nullopt, describe(error)};
    }
}

// choices (an array of objects, not empty) → first → message (an object) → content (a string).
std::optional<std::string> firstChoiceContent(const json& document) {
    if (!document.is_object()) return std::nullopt;
    const auto choices = document.find("choices");
    if (choices == document.end() || !choices->is_array() || choices->empty()) return std::nullopt;
    for (const auto& choice : *choices) {
        if (!choice.is_object()) return std::nullopt;
    }
    const auto& first = choices->front();
    const auto message = first.find("message");
    if (message == first.end() || !message->is_object()) return std::nullopt;
    const auto content = message->find("content");
    if (content == message->end() || !content->is_string()) return std::nullopt;
    return content->get<std::string>();
}

// The error message an OpenAI-compatible server puts in a failure body ({"error": {"message": …}}).
std::string serverErrorMessage(const std::string& body) {
    const auto document = json::parse(body, nullptr, false);
    if (!document.is_object()) return {};
    const auto error = document.find("error");
    if (error == document.end()) return {};
    if (error->is_string()) return error->get<std::string>();
    if (!error->is_object()) return {};
    const auto message = error->find("message");
    return message != error->end() && message->is_string() ? message->get<std::string>() : std::string();
}

json chatMessage(const char* role, std::string content) { return {{"role", role}, {"content", std::move(content)}}; }

// One chat-completions exchange: the first choice's message content, or the step that failed.
struct ChatReply {
    enum class Failure { none, encoding, transport, status, notJson, shape };
    Failure failure = Failure::none;
    std::optional<std::string> content;
    std::string description;  // for encoding, transport and notJson
    int status = 0;
    std::string body;  // for status
};

Task<ChatReply> exchange(HttpClient& http, HttpRequest request, const json& body) {
    ChatReply reply;
    auto encoded = encode(body);
    if (!encoded.text) {
        reply.failure = ChatReply::Failure::encoding;
        reply.description = std::move(encoded.error);
        co_return reply;
    }
    request.body = std::move(*encoded.text);
    HttpResult result = co_await http.send(std::move(request));
    if (result.error) {
        reply.failure = ChatReply::Failure::transport;
        reply.description = std::move(*result.error);
    } else if (result.status != 200) {
        reply.failure = ChatReply::Failure::status;
        reply.status = result.status;
        reply.body = std::move(result.body);
    } else if (Document document = parseDocument(result.body); !document.value) {
        reply.failure = ChatReply::Failure::notJson;
        reply.description = std::move(document.error);
    } else if (reply.content = firstChoiceContent(*document.value); !reply.content) {
        reply.failure = ChatReply::Failure::shape;
    }
    co_return reply;
}

Task<std::optional<std::string>> reportWork(std::shared_ptr<bool> decided, Task<std::string> work) {
    std::string result = co_await work;
    *decided = true;
    co_return result;
}

// Reports no value when the time has passed or the sleep was cancelled. When that report is the
// first of the race, the timeout is logged at once, before the cancelled work has wound down.
Task<std::optional<std::string>> reportTimeout(std::shared_ptr<bool> decided, double timeout) {
    const auto duration = Duration(static_cast<Duration::rep>(timeout * 1'000'000'000.0));
    (void)co_await sleepFor(duration);
    if (!*decided) {
        *decided = true;
        log::line("⏱️ Text processing timed out after " + TextProcessor::formatSeconds(timeout) +
                  "s, using raw transcription");
    }
    co_return std::nullopt;
}

}  // namespace

TextProcessor::TextProcessor(std::shared_ptr<HttpClient> http, DeploymentConfig deployment)
    : http_(std::move(http)), deployment_(std::move(deployment)) {}

std::string TextProcessor::formatSeconds(double seconds) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, seconds);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (text.find_first_of(".en") == std::string::npos) text += ".0";
    return text;
}

Task<std::string> TextProcessor::processText(std::string text, ModelProvider provider, WritingStyle style,
                                             std::vector<std::string> dictionaryWords,
                                             std::optional<std::string> precedingText) {
    if (text.empty()) co_return text;
    std::string systemPrompt = buildSystemPrompt(style, dictionaryWords, precedingText);
    log::line("🎤 Processing with: " + std::string(rawValue(provider)) + ", style: " + std::string(rawValue(style)) +
              ", dictionary: " + std::to_string(dictionaryWords.size()) + " words, preceding: " +
              (precedingText ? lastCharacters(*precedingText, precedingLogCharacters) : std::string("nil")));
    Task<std::string> work = provider == ModelProvider::llamaScout
                                 ? processWithVercelGateway(text, gatewayModel, std::move(systemPrompt))
                                 : processWithAppleFoundation(text, std::move(systemPrompt));
    std::string result = co_await withTimeoutFallback(timeoutSeconds, text, std::move(work));
    log::line("✅ Processed result: " + result);
    co_return result;
}

// The work races a timer; the first to report decides, the other is cancelled, and the call
// returns once both have ended. Cancelling the caller cancels both.
Task<std::string> TextProcessor::withTimeoutFallback(double timeout, std::string fallback, Task<std::string> work) {
    auto decided = std::make_shared<bool>(false);
    auto first = co_await race(reportWork(decided, std::move(work)), reportTimeout(decided, timeout));
    if (first.value) co_return std::move(*first.value);
    co_return fallback;
}

Task<std::string> TextProcessor::processWithAppleFoundation(std::string transcript, std::string systemPrompt) {
    json body = {{"messages", json::array({chatMessage("user", systemPrompt + localUserTurnLabel + transcript)})}};
    if (!deployment_.localModelName.empty()) body["model"] = deployment_.localModelName;
    HttpRequest request{"POST", deployment_.localChatCompletionsURL(), {{"Content-Type", "application/json"}}, {},
                        localRequestTimeout};
    ChatReply reply = co_await exchange(*http_, std::move(request), body);
    switch (reply.failure) {
        case ChatReply::Failure::none: co_return std::move(*reply.content);
        case ChatReply::Failure::status: {
            const std::string message = serverErrorMessage(reply.body);
            log::line(localErrorPrefix + ("the local model server answered with status " + std::to_string(reply.status)) +
                      (message.empty() ? "" : ": " + message));
            break;
        }
        case ChatReply::Failure::shape:
            log::line(std::string(localErrorPrefix) + "the local model server's reply has no message content");
            break;
        default: log::line(localErrorPrefix + reply.description); break;
    }
    co_return transcript;
}

Task<std::string> TextProcessor::processWithVercelGateway(std::string transcript, std::string model,
                                                          std::string systemPrompt) {
    const json body = {
        {"model", std::move(model)},
        {"messages", json::array({chatMessage("system", std::move(systemPrompt)),
                                  chatMessage("user", gatewayUserTurnLabel + transcript)})},
        {"stream", false},
    };
    HttpRequest request{"POST",
                        deployment_.gatewayChatCompletionsURL(),
                        {{"Authorization", "Bearer " + deployment_.gatewayAPIKey}, {"Content-Type", "application/json"}},
                        {},
                        gatewayRequestTimeout};
    ChatReply reply = co_await exchange(*http_, std::move(request), body);
    switch (reply.failure) {
        case ChatReply::Failure::none: co_return trimWhitespaceAndNewlines(*reply.content);
        case ChatReply::Failure::status: log::line(std::string(gatewayErrorPrefix) + "Invalid response"); break;
        case ChatReply::Failure::shape: break;
        default: log::line(gatewayErrorPrefix + reply.description); break;
    }
    co_return transcript;
}

}  // namespace parlune
