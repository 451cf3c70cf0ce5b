#pragma once

#include "core/session/Workers.h"

namespace parlune {

// Workers for running AppState without a desktop (the command line): nothing is monitored,
// shown, recorded or pasted.
class HeadlessDictationManager final : public IDictationManager {
public:
    const Property<bool>& isRecording() const override { return isRecording_; }
    std::optional<std::string> errorMessage() const override { return errorMessage_; }
    Task<void> startRecording(std::vector<std::string> contextualStrings) override;
    Task<std::string> stopRecording() override;

private:
    Property<bool> isRecording_{false};
    std::optional<std::string> errorMessage_;
};

class HeadlessKeyboardMonitor final : public IKeyboardMonitor {
public:
    bool hasAccessibilityPermission() const override { return true; }
    void requestAccessibilityPermission() override {}
    void setOnKeyDown(std::function<void()>) override {}
    void setOnKeyUp(std::function<void()>) override {}
    void startMonitoring(const RecordedHotkey&) override {}
    void stopMonitoring() override {}
};

class HeadlessStatusIndicator final : public IStatusIndicator {
public:
    void show() override {}
    void hide() override {}
};

class HeadlessDiffTracker final : public IDiffTracker {
public:
    void stopTracking() override {}
    void startTracking(const std::string&, const std::string&) override {}
    void setOnCorrectionDetected(CorrectionCallback) override {}
};

class HeadlessAutoDictionaryNotifier final : public IAutoDictionaryNotifier {
public:
    void suggest(const std::string&, std::function<void()>) override {}
    void dismiss() override {}
};

class HeadlessMediaController final : public IMediaController {
public:
    Task<void> pauseIfPlaying() override;
    void resumeIfNeeded() override {}
};

class HeadlessTextInjector final : public ITextInjector {
public:
    std::optional<std::string> readPrecedingText() override { return std::nullopt; }
    void injectTextViaPasteboard(const std::string&) override {}
};

// Returns the text unchanged.
class PassThroughTextProcessor final : public ITextProcessor {
public:
    Task<std::string> processText(std::string text, ModelProvider, WritingStyle, std::vector<std::string>,
                                  std::optional<std::string>) override;
};

class HeadlessWorkspace final : public IWorkspace {
public:
    std::optional<std::string> frontmostApplicationPath() override { return std::nullopt; }
};

}  // namespace parlune
