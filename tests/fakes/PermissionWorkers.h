#pragma once

// Workers whose permission answers a test sets and changes, published as the real ones publish.

#include "core/session/Workers.h"

namespace parlune::fakes {

class PermissionDictation final : public IDictationManager {
public:
    const Property<bool>& isRecording() const override { return recording; }
    std::optional<std::string> errorMessage() const override { return std::nullopt; }
    Task<void> startRecording(std::vector<std::string>) override { co_return; }
    Task<std::string> stopRecording() override { co_return std::string(); }
    SpeechAuthorizationStatus authorizationStatus() const override { return status.get(); }
    Subscription observeAuthorizationStatus(std::function<void(SpeechAuthorizationStatus)> observer) override {
        return status.observe(std::move(observer));
    }
    void checkAuthorizationStatus() override { ++checks; }
    Property<bool> recording{false};
    Property<SpeechAuthorizationStatus> status{SpeechAuthorizationStatus::notDetermined};
    int checks = 0;
};

class PermissionMonitor final : public IKeyboardMonitor {
public:
    bool hasAccessibilityPermission() const override { return permission.get(); }
    void requestAccessibilityPermission() override { ++requests; }
    void setOnKeyDown(std::function<void()>) override {}
    void setOnKeyUp(std::function<void()>) override {}
    void startMonitoring(const RecordedHotkey& hotkey) override { started.push_back(hotkey); }
    void stopMonitoring() override {}
    Subscription observeAccessibilityPermission(std::function<void(bool)> observer) override {
        return permission.observe(std::move(observer));
    }
    Property<bool> permission{false};
    int requests = 0;
    std::vector<RecordedHotkey> started;
};

}  // namespace parlune::fakes
