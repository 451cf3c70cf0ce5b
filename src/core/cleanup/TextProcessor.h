#pragma once

#include "core/config/DeploymentConfig.h"
#include "core/session/Workers.h"
#include "platform/HttpClient.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlune {

// Turns a raw transcript into the text to insert: builds the model's instructions, sends them with
// the transcript to the chosen provider and answers within a fixed time. Whatever goes wrong, the
// answer is the raw transcript. Keeps nothing between calls; runs on the main loop.
//
// Providers: "Fast" is the hosted chat-completions gateway (model "meta/llama-4-scout"); "Local" is
// an OpenAI-compatible chat server on this machine standing in for an on-device model.
class TextProcessor final : public ITextProcessor {
public:
    static constexpr double timeoutSeconds = 10.0;
    static constexpr Duration gatewayRequestTimeout = std::chrono::seconds(60);
    static constexpr Duration localRequestTimeout = std::chrono::seconds(60);
    static constexpr const char* gatewayModel = "meta/llama-4-scout";
    static constexpr const char* localUserTurnLabel = "\n\nTranscription to clean: ";
    static constexpr const char* gatewayUserTurnLabel = "Transcription to clean: ";
    static constexpr std::size_t precedingExcerptCharacters = 300;
    static constexpr std::size_t precedingLogCharacters = 60;

    TextProcessor(std::shared_ptr<HttpClient> http, DeploymentConfig deployment);

    // Never fails: failures are log lines and the raw transcript as the result. An empty transcript
    // is returned at once, without a log line or a request. Cancelling the awaiting task ends the
    // provider call and returns the raw transcript promptly.
    Task<std::string> processText(std::string text, ModelProvider provider, WritingStyle style,
                                  std::vector<std::string> dictionaryWords,
                                  std::optional<std::string> precedingText) override;

    // The system prompt for one dictation. Pure. Lines are joined by single line feeds; the
    // prompt never ends with one. What the user wrote (dictionary words, preceding text) is
    // inserted as is.
    static std::string buildSystemPrompt(WritingStyle style, const std::vector<std::string>& dictionaryWords,
                                         const std::optional<std::string>& precedingText);

    // Decimal form with at least one fractional digit: 10 -> "10.0", 2.5 -> "2.5".
    static std::string formatSeconds(double seconds);

private:
    Task<std::string> withTimeoutFallback(double timeout, std::string fallback, Task<std::string> work);
    Task<std::string> processWithAppleFoundation(std::string transcript, std::string systemPrompt);
    Task<std::string> processWithVercelGateway(std::string transcript, std::string model, std::string systemPrompt);

    std::shared_ptr<HttpClient> http_;
    DeploymentConfig deployment_;
};

}  // namespace parlune
