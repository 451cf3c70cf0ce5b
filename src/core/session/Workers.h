#pragma once

// What a dictation session calls: the workers that AppState owns or holds, each behind a small
// interface so the application, the command line and the tests can bring their own.

#include "core/runtime/Property.h"
#include "core/runtime/Task.h"
#include "core/values/Values.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace parlune {

// The platform's answer to the speech-recognition permission request, by its raw values.
enum class SpeechAuthorizationStatus { notDetermined = 0, denied = 1, restricted = 2, authorized = 3 };

// Microphone capture and speech recognition.
class IDictationManager {
public:
    virtual ~IDictationManager() = default;
    virtual const Property<bool>& isRecording() const = 0;
    // The last start or recognition error; none after a good start.
    virtual std::optional<std::string> errorMessage() const = 0;
    // Starts capture and recognition biased towards the given words; on failure leaves a message
    // in errorMessage().
    virtual Task<void> startRecording(std::vector<std::string> contextualStrings) = 0;
    // Stops capture, waits for the recogniser's last results and returns the final transcript
    // (empty when nothing was recognised or nothing was recording).
    virtual Task<std::string> stopRecording() = 0;
    // The answer to the last speech-recognition permission request, and its later changes. A
    // manager that never asks need not override: not determined, never changing.
    virtual SpeechAuthorizationStatus authorizationStatus() const { return SpeechAuthorizationStatus::notDetermined; }
    virtual Subscription observeAuthorizationStatus(std::function<void(SpeechAuthorizationStatus)>) { return {}; }
    // Asks the platform for the speech-recognition permission again and publishes the answer in
    // authorizationStatus(); a manager that never asks does nothing.
    virtual void checkAuthorizationStatus() {}
};

// The system-wide hotkey watch.
class IKeyboardMonitor {
public:
    virtual ~IKeyboardMonitor() = default;
    virtual bool hasAccessibilityPermission() const = 0;
    // Asks the user for the permission; returns without waiting for the answer.
    virtual void requestAccessibilityPermission() = 0;
    // Called once for each press and each release of the hotkey; replacing drops the earlier one.
    virtual void setOnKeyDown(std::function<void()> callback) = 0;
    virtual void setOnKeyUp(std::function<void()> callback) = 0;
    virtual void startMonitoring(const RecordedHotkey& hotkey) = 0;
    virtual void stopMonitoring() = 0;
    // Tells `observer` each later change of hasAccessibilityPermission(); a monitor whose answer
    // never changes need not override.
    virtual Subscription observeAccessibilityPermission(std::function<void(bool)>) { return {}; }
};

// The recording indicator at the top of the screen.
class IStatusIndicator {
public:
    virtual ~IStatusIndicator() = default;
    virtual void show() = 0;  // with the icon of the frontmost application
    virtual void hide() = 0;
};

// Watches the focused field after an insertion for a hand correction.
class IDiffTracker {
public:
    using CorrectionCallback = std::function<void(const std::string& original, const std::string& corrected)>;
    virtual ~IDiffTracker() = default;
    virtual void stopTracking() = 0;
    virtual void startTracking(const std::string& injectedText, const std::string& fullExpectedText) = 0;
    virtual void setOnCorrectionDetected(CorrectionCallback callback) = 0;
};

// Shows a proposed dictionary word and accepts it on its own unless the user rejects it.
class IAutoDictionaryNotifier {
public:
    virtual ~IAutoDictionaryNotifier() = default;
    virtual void suggest(const std::string& word, std::function<void()> onAccept) = 0;
    virtual void dismiss() = 0;  // safe when nothing is shown
};

// Pauses playing media for a dictation and resumes it afterwards.
class IMediaController {
public:
    virtual ~IMediaController() = default;
    virtual Task<void> pauseIfPlaying() = 0;  // may take several hundred milliseconds
    virtual void resumeIfNeeded() = 0;
};

// Reads from and pastes into the focused text field.
class ITextInjector {
public:
    virtual ~ITextInjector() = default;
    // The text before the insertion point, none when it cannot be read.
    virtual std::optional<std::string> readPrecedingText() = 0;
    virtual void injectTextViaPasteboard(const std::string& text) = 0;
};

// Cleans a raw transcript with the chosen model; never fails (falls back to the raw text).
class ITextProcessor {
public:
    virtual ~ITextProcessor() = default;
    virtual Task<std::string> processText(std::string text, ModelProvider provider, WritingStyle style,
                                          std::vector<std::string> dictionaryWords,
                                          std::optional<std::string> precedingText) = 0;
};

// The application in front.
class IWorkspace {
public:
    virtual ~IWorkspace() = default;
    // The location of the frontmost application (its key for per-application styles); none when
    // there is no frontmost application or it has no known location.
    virtual std::optional<std::string> frontmostApplicationPath() = 0;
};

// Is a word known to the English spell checker.
class ISpellChecker {
public:
    virtual ~ISpellChecker() = default;
    virtual bool isKnownEnglishWord(const std::string& word) = 0;
};

}  // namespace parlune
