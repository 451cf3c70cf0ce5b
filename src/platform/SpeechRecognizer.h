#pragma once

// The speech recogniser: a streaming request fed with audio buffers, and a recognition task that
// reports partial and final transcriptions through a handler.

#include "core/session/Workers.h"
#include "platform/AudioEngine.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlune {

struct RecognitionResult {
    std::string formattedString;  // the most likely transcription so far, punctuated and capitalised
    bool isFinal = false;
};

struct RecognitionError {
    std::string localizedDescription;
};

// Called on any thread, repeatedly: once per partial result, once with the final result, and with an
// error when recognition fails or is cancelled.
using RecognitionResultHandler =
    std::function<void(std::optional<RecognitionResult> result, std::optional<RecognitionError> error)>;

// A streaming request. The options are set on the main loop before the request's task is started;
// append() and endAudio() may be called from any thread.
class SpeechRecognitionRequest {
public:
    virtual ~SpeechRecognitionRequest() = default;

    bool shouldReportPartialResults = false;
    bool addsPunctuation = false;
    std::vector<std::string> contextualStrings;  // words to bias recognition towards

    // Hands one captured buffer to the recogniser; harmless after endAudio().
    virtual void append(const AudioBuffer& buffer) = 0;
    // No more audio comes.
    virtual void endAudio() = 0;
};

class RecognitionTask {
public:
    virtual ~RecognitionTask() = default;
    virtual void cancel() = 0;
};

// A recogniser for one locale.
class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;
    // Whether it can recognise right now.
    virtual bool isAvailable() const = 0;
    // Asks for permission; calls back once, on any thread, with the status.
    virtual void requestAuthorization(std::function<void(SpeechAuthorizationStatus)> callback) = 0;
    // A new request; none when one cannot be made.
    virtual std::shared_ptr<SpeechRecognitionRequest> makeRequest() = 0;
    // Starts recognising the request; results go to `handler` until the task ends or is cancelled.
    virtual std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<SpeechRecognitionRequest> request,
                                                             RecognitionResultHandler handler) = 0;
};

}  // namespace parlune
