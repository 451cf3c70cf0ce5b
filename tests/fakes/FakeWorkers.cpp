#include "fakes/FakeWorkers.h"

#include <cctype>

namespace parlune::fakes {

Task<void> FakeDictationManager::startRecording(std::vector<std::string> contextualStrings) {
    journal_->push_back("dictation.start");
    ++starts_;
    if (running_) ++startsWhileRunning_;
    lastContextualStrings = std::move(contextualStrings);
    if (nextStartError_) {
        errorMessage_ = std::exchange(nextStartError_, std::nullopt);
        co_return;
    }
    errorMessage_.reset();
    running_ = true;
    heard_ = saysOnStart;
    isRecording_.set(true);
}

void FakeDictationManager::speak(const std::string& text) {
    if (!running_) return;
    if (!heard_.empty()) heard_ += ' ';
    heard_ += text;
}

Task<std::string> FakeDictationManager::stopRecording() {
    journal_->push_back("dictation.stop");
    if (!running_) co_return std::string();
    running_ = false;
    isRecording_.set(false);
    std::string transcript = std::exchange(heard_, std::string());
    co_await sleepFor(drain);  // the recogniser's last results; shortened by cancellation
    journal_->push_back("dictation.stopped");
    co_return transcript;
}

void FakeKeyboardMonitor::requestAccessibilityPermission() {
    ++permissionRequests;
    journal_->push_back("monitor.requestPermission");
}

void FakeKeyboardMonitor::startMonitoring(const RecordedHotkey& hotkey) {
    journal_->push_back("monitor.start:" + hotkey.displayName);
    monitored = hotkey;
    started.push_back(hotkey);
}

void FakeKeyboardMonitor::stopMonitoring() {
    journal_->push_back("monitor.stop");
    monitored.reset();
}

void FakeKeyboardMonitor::press(const RecordedHotkey& key) {
    if (monitored && *monitored == key && onKeyDown_) onKeyDown_();
}

void FakeKeyboardMonitor::release(const RecordedHotkey& key) {
    if (monitored && *monitored == key && onKeyUp_) onKeyUp_();
}

void FakeStatusIndicator::show() {
    visible = true;
    journal_->push_back("indicator.show");
}

void FakeStatusIndicator::hide() {
    visible = false;
    journal_->push_back("indicator.hide");
}

void FakeDiffTracker::stopTracking() { journal_->push_back("tracker.stop"); }

void FakeDiffTracker::startTracking(const std::string& injectedText, const std::string& fullExpectedText) {
    journal_->push_back("tracker.start:" + injectedText + "|" + fullExpectedText);
}

void FakeAutoDictionaryNotifier::suggest(const std::string& word, std::function<void()> onAccept) {
    journal_->push_back("notifier.suggest:" + word);
    pendingAccept = std::move(onAccept);
}

void FakeAutoDictionaryNotifier::dismiss() { journal_->push_back("notifier.dismiss"); }

Task<void> FakeMediaController::pauseIfPlaying() {
    journal_->push_back("media.pause");
    if (pauseTakes.count() > 0) co_await sleepFor(pauseTakes);
    journal_->push_back("media.paused");
}

void FakeMediaController::resumeIfNeeded() { journal_->push_back("media.resume"); }

std::optional<std::string> FakeTextInjector::readPrecedingText() {
    journal_->push_back("injector.read");
    return fieldText;
}

void FakeTextInjector::injectTextViaPasteboard(const std::string& text) {
    journal_->push_back("injector.inject:" + text);
    injected.push_back(text);
}

Task<std::string> FakeTextProcessor::processText(std::string text, ModelProvider provider, WritingStyle style,
                                                 std::vector<std::string> dictionaryWords,
                                                 std::optional<std::string> precedingText) {
    journal_->push_back("processor.process:" + text);
    calls.push_back(Call{text, provider, style, dictionaryWords, precedingText});
    if (!co_await sleepFor(takes)) co_return text;
    if (clean) co_return clean(text);
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    co_return upper;
}

}  // namespace parlune::fakes
