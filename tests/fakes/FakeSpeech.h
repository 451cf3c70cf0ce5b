#pragma once

// Fakes of the recogniser, the audio engine and the microphone permission. Callbacks that the real
// services make on other threads are made here when the test says so, on the test's thread.

#include "platform/AudioEngine.h"
#include "platform/SpeechRecognizer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace parlune::fakes {

class FakeRecognitionRequest final : public SpeechRecognitionRequest {
public:
    void append(const AudioBuffer& buffer) override;
    void endAudio() override { ended = true; }

    std::atomic<std::size_t> framesAppended{0};
    std::atomic<std::size_t> framesAfterEnd{0};
    std::atomic<bool> ended{false};
};

class FakeRecognitionTask final : public RecognitionTask {
public:
    // Like the real recogniser, a cancelled task that has not finished reports a cancellation error.
    void cancel() override;

    std::shared_ptr<FakeRecognitionRequest> request;
    RecognitionResultHandler handler;
    bool cancelled = false;
    bool finished = false;
};

class FakeSpeechRecognizer final : public SpeechRecognizer {
public:
    bool isAvailable() const override { return available; }
    void requestAuthorization(std::function<void(SpeechAuthorizationStatus)> callback) override;
    std::shared_ptr<SpeechRecognitionRequest> makeRequest() override;
    std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<SpeechRecognitionRequest> request,
                                                     RecognitionResultHandler handler) override;

    // Answers every pending authorization request.
    void answerAuthorization(SpeechAuthorizationStatus status);
    // Results and errors of the newest task (or of `task`).
    void partial(const std::string& text) { deliver(tasks.back(), text, false); }
    void final(const std::string& text) { deliver(tasks.back(), text, true); }
    static void deliver(const std::shared_ptr<FakeRecognitionTask>& task, const std::string& text, bool isFinal);
    void fail(const std::string& description);

    bool available = true;
    bool failRequests = false;
    int authorizationRequests = 0;
    std::vector<std::shared_ptr<FakeRecognitionTask>> tasks;

private:
    std::vector<std::function<void(SpeechAuthorizationStatus)>> pendingAuthorizations_;
};

class FakeAudioEngine final : public AudioEngine {
public:
    AudioFormat inputFormat() const override { return format; }
    bool installTap(std::size_t bufferSize, AudioFormat tapFormat, TapBlock block) override;
    void removeTap() override;
    void prepare() override { ++prepares; }
    std::optional<std::string> start() override;
    void stop() override { running = false; }
    bool isRunning() const override { return running; }

    // Captures one buffer of `frames` silent frames, as the capture thread would.
    void capture(std::size_t frames);
    bool hasTap() const;

    AudioFormat format{16000, 1};
    std::optional<std::string> startFailure;  // the next starts fail with this description
    bool running = false;
    int prepares = 0;
    std::size_t tapBufferSize = 0;
    std::optional<AudioFormat> tapFormat;

private:
    mutable std::mutex mutex_;
    TapBlock tap_;
};

class FakeMicrophonePermission final : public MicrophonePermission {
public:
    MicrophoneAuthorization status() const override { return current; }
    void requestAccess(std::function<void(bool granted)> callback) override;
    // Answers every pending request; a grant is remembered.
    void answer(bool granted);

    MicrophoneAuthorization current = MicrophoneAuthorization::authorized;
    int requests = 0;

private:
    std::vector<std::function<void(bool)>> pending_;
};

}  // namespace parlune::fakes
