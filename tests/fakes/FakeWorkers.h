#pragma once

// Fakes of the session's workers. Each records what was asked of it, in order, in one shared
// journal, so tests can check the order of calls across workers.

#include "core/runtime/EventLoop.h"
#include "core/session/Workers.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace parlune::fakes {

using Journal = std::vector<std::string>;

class FakeDictationManager final : public IDictationManager {
public:
    explicit FakeDictationManager(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}

    const Property<bool>& isRecording() const override { return isRecording_; }
    std::optional<std::string> errorMessage() const override { return errorMessage_; }
    Task<void> startRecording(std::vector<std::string> contextualStrings) override;
    Task<std::string> stopRecording() override;

    // What the user says while recording; handed back by the stop that ends the recording.
    void speak(const std::string& text);
    void failNextStart(std::string message) { nextStartError_ = std::move(message); }

    bool running() const { return running_; }
    int startsWhileRunning() const { return startsWhileRunning_; }
    int starts() const { return starts_; }
    std::vector<std::string> lastContextualStrings;
    // Heard as soon as a recording starts (speech that comes while the key is held).
    std::string saysOnStart;
    std::chrono::milliseconds drain{600};

private:
    std::shared_ptr<Journal> journal_;
    Property<bool> isRecording_{false};
    std::optional<std::string> errorMessage_;
    std::optional<std::string> nextStartError_;
    std::string heard_;
    bool running_ = false;
    int startsWhileRunning_ = 0;
    int starts_ = 0;
};

class FakeKeyboardMonitor final : public IKeyboardMonitor {
public:
    explicit FakeKeyboardMonitor(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}

    bool hasAccessibilityPermission() const override { return permission; }
    void requestAccessibilityPermission() override;
    void setOnKeyDown(std::function<void()> callback) override { onKeyDown_ = std::move(callback); }
    void setOnKeyUp(std::function<void()> callback) override { onKeyUp_ = std::move(callback); }
    void startMonitoring(const RecordedHotkey& hotkey) override;
    void stopMonitoring() override;

    // Reports as the real monitor does when the given key goes down or up; a key other than the
    // monitored one is ignored.
    void press(const RecordedHotkey& key);
    void release(const RecordedHotkey& key);
    void press() { press(*monitored); }
    void release() { release(*monitored); }

    bool permission = true;
    int permissionRequests = 0;
    std::optional<RecordedHotkey> monitored;
    std::vector<RecordedHotkey> started;

private:
    std::shared_ptr<Journal> journal_;
    std::function<void()> onKeyDown_;
    std::function<void()> onKeyUp_;
};

class FakeStatusIndicator final : public IStatusIndicator {
public:
    explicit FakeStatusIndicator(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}
    void show() override;
    void hide() override;
    bool visible = false;

private:
    std::shared_ptr<Journal> journal_;
};

class FakeDiffTracker final : public IDiffTracker {
public:
    explicit FakeDiffTracker(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}
    void stopTracking() override;
    void startTracking(const std::string& injectedText, const std::string& fullExpectedText) override;
    void setOnCorrectionDetected(CorrectionCallback callback) override { onCorrection = std::move(callback); }
    CorrectionCallback onCorrection;

private:
    std::shared_ptr<Journal> journal_;
};

class FakeAutoDictionaryNotifier final : public IAutoDictionaryNotifier {
public:
    explicit FakeAutoDictionaryNotifier(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}
    void suggest(const std::string& word, std::function<void()> onAccept) override;
    void dismiss() override;
    std::function<void()> pendingAccept;

private:
    std::shared_ptr<Journal> journal_;
};

class FakeMediaController final : public IMediaController {
public:
    explicit FakeMediaController(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}
    Task<void> pauseIfPlaying() override;
    void resumeIfNeeded() override;
    std::chrono::milliseconds pauseTakes{0};

private:
    std::shared_ptr<Journal> journal_;
};

class FakeTextInjector final : public ITextInjector {
public:
    explicit FakeTextInjector(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}
    std::optional<std::string> readPrecedingText() override;
    void injectTextViaPasteboard(const std::string& text) override;
    std::optional<std::string> fieldText;
    std::vector<std::string> injected;

private:
    std::shared_ptr<Journal> journal_;
};

// Cleans by upper-casing after `takes` of loop time; a cancelled cleanup gives the raw text back at
// once, as the real one does.
class FakeTextProcessor final : public ITextProcessor {
public:
    explicit FakeTextProcessor(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}
    Task<std::string> processText(std::string text, ModelProvider provider, WritingStyle style,
                                  std::vector<std::string> dictionaryWords,
                                  std::optional<std::string> precedingText) override;
    std::chrono::milliseconds takes{200};
    std::function<std::string(const std::string&)> clean;

    struct Call {
        std::string text;
        ModelProvider provider;
        WritingStyle style;
        std::vector<std::string> dictionaryWords;
        std::optional<std::string> precedingText;
    };
    std::vector<Call> calls;

private:
    std::shared_ptr<Journal> journal_;
};

class FakeWorkspace final : public IWorkspace {
public:
    std::optional<std::string> frontmostApplicationPath() override { return frontmost; }
    std::optional<std::string> frontmost;
};

class FakeSpellChecker final : public ISpellChecker {
public:
    bool isKnownEnglishWord(const std::string& word) override { return known.count(word) > 0; }
    std::set<std::string> known;
};

}  // namespace parlune::fakes
