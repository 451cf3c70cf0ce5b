#include "core/speech/DictationManager.h"

#include <utility>

namespace parlune {

std::shared_ptr<DictationManager> DictationManager::create(EventLoop& loop, std::shared_ptr<SpeechRecognizer> recognizer,
                                                           std::shared_ptr<AudioEngine> audioEngine,
                                                           std::shared_ptr<MicrophonePermission> microphone) {
    std::shared_ptr<DictationManager> manager(
        new DictationManager(loop, std::move(recognizer), std::move(audioEngine), std::move(microphone)));
    manager->checkAuthorizationStatus();
    return manager;
}

DictationManager::DictationManager(EventLoop& loop, std::shared_ptr<SpeechRecognizer> recognizer,
                                   std::shared_ptr<AudioEngine> audioEngine,
                                   std::shared_ptr<MicrophonePermission> microphone)
    : loop_(loop),
      speechRecognizer_(std::move(recognizer)),
      audioEngine_(std::move(audioEngine)),
      microphone_(std::move(microphone)) {}

DictationManager::~DictationManager() {
    // The capture thread must not reach a request of ours once we are gone.
    if (audioEngine_->isRunning()) audioEngine_->stop();
    audioEngine_->removeTap();
    tapRequest_->store(nullptr);
    if (recognitionTask_) recognitionTask_->cancel();
}

void DictationManager::checkAuthorizationStatus() {
    if (!speechRecognizer_) {
        // Without a recogniser nothing can be authorised; the answer still comes as a later job.
        loop_.post(weakly(shared_from_this(), [](DictationManager& self) {
            self.authorizationStatus_.set(SpeechAuthorizationStatus::restricted);
            self.errorMessage_ = speechDeniedMessage;
        }));
        return;
    }
    speechRecognizer_->requestAuthorization(
        [loop = &loop_, weakSelf = weak_from_this()](SpeechAuthorizationStatus status) {
            loop->post([weakSelf, status] {
                auto self = weakSelf.lock();
                if (!self) return;
                self->authorizationStatus_.set(status);
                if (status != SpeechAuthorizationStatus::authorized) self->errorMessage_ = speechDeniedMessage;
            });
        });
}

Task<bool> DictationManager::requestMicrophonePermission() {
    switch (microphone_->status()) {
        case MicrophoneAuthorization::authorized:
            co_return true;
        case MicrophoneAuthorization::denied:
        case MicrophoneAuthorization::restricted:
            co_return false;
        case MicrophoneAuthorization::notDetermined:
            break;
    }
    Completion<bool> answer;
    microphone_->requestAccess([loop = &loop_, answer](bool granted) mutable {
        loop->post([answer, granted]() mutable { answer.resolve(granted); });
    });
    co_return co_await answer;
}

void DictationManager::setRecognitionRequest(std::shared_ptr<SpeechRecognitionRequest> request) {
    recognitionRequest_ = request;
    tapRequest_->store(std::move(request));
}

Task<void> DictationManager::startRecording(std::vector<std::string> contextualStrings) {
    const std::uint64_t recordingNumber = ++sessionID_;
    transcribedText_.set(std::string());
    errorMessage_.reset();

    if (authorizationStatus_.get() != SpeechAuthorizationStatus::authorized) {
        errorMessage_ = speechNotAuthorizedMessage;
        co_return;
    }

    // Keep ourselves alive across the wait for the user's answer.
    auto self = shared_from_this();
    if (!co_await requestMicrophonePermission()) {
        errorMessage_ = microphoneDeniedMessage;
        co_return;
    }

    if (!speechRecognizer_ || !speechRecognizer_->isAvailable()) {
        errorMessage_ = recognizerUnavailableMessage;
        co_return;
    }

    if (recognitionTask_) {
        recognitionTask_->cancel();
        recognitionTask_.reset();
    }

    setRecognitionRequest(speechRecognizer_->makeRequest());
    if (!recognitionRequest_) {
        errorMessage_ = noRequestMessage;
        co_return;
    }
    recognitionRequest_->shouldReportPartialResults = true;
    recognitionRequest_->addsPunctuation = true;
    if (!contextualStrings.empty()) recognitionRequest_->contextualStrings = std::move(contextualStrings);

    recognitionTask_ = speechRecognizer_->recognitionTask(recognitionRequest_, resultHandler(recordingNumber));

    const AudioFormat format = audioEngine_->inputFormat();
    // The block runs on the capture thread: it only appends, to whatever request is current then.
    const bool tapInstalled = audioEngine_->installTap(tapBufferSize, format, [slot = tapRequest_](const AudioBuffer& buffer) {
        if (auto request = slot->load()) request->append(buffer);
    });
    if (!tapInstalled) {
        errorMessage_ = std::string(engineFailedPrefix) + "the microphone input is already in use by another recording";
        tearDownAudioPipeline();
        co_return;
    }

    audioEngine_->prepare();
    if (auto failure = audioEngine_->start()) {
        errorMessage_ = std::string(engineFailedPrefix) + *failure;
        tearDownAudioPipeline();
        co_return;
    }
    isRecording_.set(true);
}

RecognitionResultHandler DictationManager::resultHandler(std::uint64_t recordingNumber) {
    return [loop = &loop_, weakSelf = weak_from_this(), recordingNumber](std::optional<RecognitionResult> result,
                                                                         std::optional<RecognitionError> error) {
        loop->post([weakSelf, recordingNumber, result = std::move(result), error = std::move(error)] {
            if (auto self = weakSelf.lock()) self->handleResult(recordingNumber, result, error);
        });
    };
}

void DictationManager::handleResult(std::uint64_t recordingNumber, const std::optional<RecognitionResult>& result,
                                    const std::optional<RecognitionError>& error) {
    if (recordingNumber != sessionID_) return;
    if (result) transcribedText_.set(result->formattedString);
    if (error && isRecording_.get()) errorMessage_ = std::string(recognitionErrorPrefix) + error->localizedDescription;
}

Task<std::string> DictationManager::stopRecording() {
    if (!isRecording_.get()) {
        std::string result = transcribedText_.get();
        transcribedText_.set(std::string());
        co_return result;
    }
    auto self = shared_from_this();
    isRecording_.set(false);

    if (audioEngine_->isRunning()) {
        audioEngine_->stop();
        audioEngine_->removeTap();
    }
    if (recognitionRequest_) recognitionRequest_->endAudio();

    // The recogniser's last results arrive meanwhile; a cancelled wait ends at once.
    co_await sleepFor(drainTime);

    std::string result = transcribedText_.get();
    setRecognitionRequest(nullptr);
    if (recognitionTask_) {
        recognitionTask_->cancel();
        recognitionTask_.reset();
    }
    transcribedText_.set(std::string());
    co_return result;
}

void DictationManager::tearDownAudioPipeline() {
    if (audioEngine_->isRunning()) audioEngine_->stop();
    audioEngine_->removeTap();
    if (recognitionRequest_) recognitionRequest_->endAudio();
    setRecognitionRequest(nullptr);
    if (recognitionTask_) {
        recognitionTask_->cancel();
        recognitionTask_.reset();
    }
    isRecording_.set(false);
    transcribedText_.set(std::string());
}

}  // namespace parlune
