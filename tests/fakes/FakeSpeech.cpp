#include "fakes/FakeSpeech.h"

#include <utility>

namespace parlune::fakes {

void FakeRecognitionRequest::append(const AudioBuffer& buffer) {
    if (ended) framesAfterEnd += buffer.frameCount;
    framesAppended += buffer.frameCount;
}

void FakeRecognitionTask::cancel() {
    if (cancelled) return;
    cancelled = true;
    if (!finished && handler) handler(std::nullopt, RecognitionError{"Recognition cancelled"});
}

void FakeSpeechRecognizer::requestAuthorization(std::function<void(SpeechAuthorizationStatus)> callback) {
    ++authorizationRequests;
    pendingAuthorizations_.push_back(std::move(callback));
}

void FakeSpeechRecognizer::answerAuthorization(SpeechAuthorizationStatus status) {
    auto pending = std::exchange(pendingAuthorizations_, {});
    for (auto& callback : pending) callback(status);
}

std::shared_ptr<SpeechRecognitionRequest> FakeSpeechRecognizer::makeRequest() {
    if (failRequests) return nullptr;
    return std::make_shared<FakeRecognitionRequest>();
}

std::shared_ptr<RecognitionTask> FakeSpeechRecognizer::recognitionTask(std::shared_ptr<SpeechRecognitionRequest> request,
                                                                       RecognitionResultHandler handler) {
    auto task = std::make_shared<FakeRecognitionTask>();
    task->request = std::dynamic_pointer_cast<FakeRecognitionRequest>(request);
    task->handler = std::move(handler);
    tasks.push_back(task);
    return task;
}

void FakeSpeechRecognizer::deliver(const std::shared_ptr<FakeRecognitionTask>& task, const std::string& text, bool isFinal) {
    if (isFinal) task->finished = true;
    task->handler(RecognitionResult{text, isFinal}, std::nullopt);
}

void FakeSpeechRecognizer::fail(const std::string& description) {
    tasks.back()->handler(std::nullopt, RecognitionError{description});
}

bool FakeAudioEngine::installTap(std::size_t bufferSize, AudioFormat requested, TapBlock block) {
    std::lock_guard lock(mutex_);
    if (tap_) return false;
    tap_ = std::move(block);
    tapBufferSize = bufferSize;
    tapFormat = requested;
    return true;
}

void FakeAudioEngine::removeTap() {
    std::lock_guard lock(mutex_);
    tap_ = nullptr;
}

bool FakeAudioEngine::hasTap() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(tap_);
}

std::optional<std::string> FakeAudioEngine::start() {
    if (startFailure) return startFailure;
    running = true;
    return std::nullopt;
}

void FakeAudioEngine::capture(std::size_t frames) {
    std::vector<std::int16_t> samples(frames * static_cast<std::size_t>(format.channels));
    std::lock_guard lock(mutex_);
    if (tap_) tap_(AudioBuffer{samples.data(), frames, format});
}

void FakeMicrophonePermission::requestAccess(std::function<void(bool granted)> callback) {
    ++requests;
    pending_.push_back(std::move(callback));
}

void FakeMicrophonePermission::answer(bool granted) {
    if (granted) current = MicrophoneAuthorization::authorized;
    auto pending = std::exchange(pending_, {});
    for (auto& callback : pending) callback(granted);
}

}  // namespace parlune::fakes
