#pragma once

#include "core/runtime/EventLoop.h"
#include "core/runtime/Property.h"
#include "core/runtime/Task.h"
#include "core/session/Workers.h"
#include "platform/AudioEngine.h"
#include "platform/SpeechRecognizer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlune {

// Records the microphone and turns the speech into text while the hotkey is held: owns the audio
// engine, the recogniser, and the request and task of the current recording, and tracks the speech
// and microphone permissions. Lives on the main loop; the recogniser's handlers and the capture tap
// reach it from other threads only as described at each member.
class DictationManager final : public IDictationManager, public std::enable_shared_from_this<DictationManager> {
public:
    static constexpr std::size_t tapBufferSize = 1024;
    static constexpr std::chrono::milliseconds drainTime{600};

    static constexpr const char* speechDeniedMessage =
        "Speech recognition not authorized. Please enable in System Settings > Privacy & Security > Speech Recognition.";
    static constexpr const char* speechNotAuthorizedMessage = "Speech recognition not authorized";
    static constexpr const char* microphoneDeniedMessage =
        "Microphone access not granted. Please enable in System Settings > Privacy & Security > Microphone.";
    static constexpr const char* recognizerUnavailableMessage = "Speech recognizer not available";
    static constexpr const char* noRequestMessage = "Unable to create recognition request";
    static constexpr const char* engineFailedPrefix = "Failed to start audio engine: ";
    static constexpr const char* recognitionErrorPrefix = "Recognition error: ";

    // `recognizer` may be none (no recogniser for the locale). Asks for speech-recognition permission
    // at once.
    static std::shared_ptr<DictationManager> create(EventLoop& loop, std::shared_ptr<SpeechRecognizer> recognizer,
                                                    std::shared_ptr<AudioEngine> audioEngine,
                                                    std::shared_ptr<MicrophonePermission> microphone);
    ~DictationManager() override;
    DictationManager(const DictationManager&) = delete;
    DictationManager& operator=(const DictationManager&) = delete;

    const Property<bool>& isRecording() const override { return isRecording_; }
    // The newest transcription of the current recording, partial or final.
    const Property<std::string>& transcribedText() const { return transcribedText_; }
    SpeechAuthorizationStatus authorizationStatus() const override { return authorizationStatus_.get(); }
    Subscription observeAuthorizationStatus(std::function<void(SpeechAuthorizationStatus)> observer) override {
        return authorizationStatus_.observe(std::move(observer));
    }
    std::optional<std::string> errorMessage() const override { return errorMessage_; }
    std::uint64_t sessionID() const { return sessionID_; }

    // Asks the recogniser for permission and returns at once; the answer is stored when it arrives.
    void checkAuthorizationStatus();
    // True when microphone access is granted (asking the user and waiting when undecided).
    Task<bool> requestMicrophonePermission();

    Task<void> startRecording(std::vector<std::string> contextualStrings) override;
    Task<std::string> stopRecording() override;

private:
    // The request the capture tap appends to; replaced on the main loop while the capture thread reads it.
    using RequestSlot = std::atomic<std::shared_ptr<SpeechRecognitionRequest>>;

    DictationManager(EventLoop& loop, std::shared_ptr<SpeechRecognizer> recognizer,
                     std::shared_ptr<AudioEngine> audioEngine, std::shared_ptr<MicrophonePermission> microphone);

    void setRecognitionRequest(std::shared_ptr<SpeechRecognitionRequest> request);
    RecognitionResultHandler resultHandler(std::uint64_t recordingNumber);
    void handleResult(std::uint64_t recordingNumber, const std::optional<RecognitionResult>& result,
                      const std::optional<RecognitionError>& error);
    void tearDownAudioPipeline();

    EventLoop& loop_;
    Property<bool> isRecording_{false};
    Property<std::string> transcribedText_;
    Property<SpeechAuthorizationStatus> authorizationStatus_{SpeechAuthorizationStatus::notDetermined};
    std::optional<std::string> errorMessage_;
    const std::shared_ptr<SpeechRecognizer> speechRecognizer_;
    std::shared_ptr<SpeechRecognitionRequest> recognitionRequest_;
    std::shared_ptr<RecognitionTask> recognitionTask_;
    const std::shared_ptr<AudioEngine> audioEngine_;
    const std::shared_ptr<MicrophonePermission> microphone_;
    std::uint64_t sessionID_ = 0;
    const std::shared_ptr<RequestSlot> tapRequest_ = std::make_shared<RequestSlot>();
};

}  // namespace parlune
