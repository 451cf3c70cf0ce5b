#include "core/pages/OnboardingFlow.h"

#include "core/text/Text.h"

namespace parlune {

OnboardingStepInfo onboardingStepInfo(int step) {
    switch (step) {
    case 0: return {OnboardingPage::signUp, 0};
    case 1:
    case 2:
    case 3: return {OnboardingPage::category, 1};
    case 4: return {OnboardingPage::permissions, 2};
    case 5: return {OnboardingPage::tryShortcut, 3};
    default: return {OnboardingPage::completion, 4};
    }
}

AppCategory categoryForStep(int step) {
    if (step == 3) return AppCategory::code;
    if (step == 2) return AppCategory::social;
    return AppCategory::work;
}

std::string categoryPrompt(AppCategory category) {
    return "Set a default style for " + toLower(rawValue(category)) + " apps.";
}

void continueCategory(AppState& app, const std::vector<InstalledApp>& appsOfCategory, WritingStyle style) {
    for (const auto& installed : appsOfCategory) app.setStyleForApp(installed.id, style);
    app.setOnboardingStep(app.onboardingStep().get() + 1);
}

void completeOnboarding(AppState& app) {
    app.setHasCompletedOnboarding(true);
    app.setOnboardingStep(0);
}

std::string tryShortcutInstruction(const RecordedHotkey& hotkey) {
    return "Press and hold the " + hotkey.displayName + " key and start speaking.";
}

bool canContinueTry(std::string_view practiceText) { return !trimWhitespaceAndNewlines(practiceText).empty(); }

PermissionsAutoAdvance::PermissionsAutoAdvance(EventLoop& loop, std::shared_ptr<AppState> app) : loop_(loop), app_(std::move(app)) {}

PermissionsAutoAdvance::~PermissionsAutoAdvance() {
    *alive_ = false;
    disappeared();
}

void PermissionsAutoAdvance::appeared() {
    disappeared();
    hasAutoCompleted_ = false;
    const auto& platform = app_->platform();
    subscriptions_.push_back(platform.dictationManager->observeAuthorizationStatus(
        [this](SpeechAuthorizationStatus) { schedule(changeCheckDelay); }));
    subscriptions_.push_back(platform.keyboardMonitor->observeAccessibilityPermission([this](bool) { schedule(changeCheckDelay); }));
    schedule(firstCheckDelay);
}

void PermissionsAutoAdvance::disappeared() {
    subscriptions_.clear();
    for (const auto& timer : timers_) timer.cancel();
    timers_.clear();
}

void PermissionsAutoAdvance::schedule(std::chrono::milliseconds delay) {
    std::weak_ptr<bool> alive = alive_;
    timers_.push_back(loop_.postAfter(delay, [this, alive] {
        if (auto lock = alive.lock(); lock && *lock) checkAndComplete();
    }));
}

void PermissionsAutoAdvance::checkAndComplete() {
    if (hasAutoCompleted_) return;
    const auto& platform = app_->platform();
    if (platform.dictationManager->authorizationStatus() != SpeechAuthorizationStatus::authorized) return;
    if (!platform.keyboardMonitor->hasAccessibilityPermission()) return;
    hasAutoCompleted_ = true;
    std::weak_ptr<AppState> weakApp = app_;
    // The advance, once decided, happens even if the page goes away meanwhile.
    loop_.postAfter(advanceDelay, [weakApp] {
        if (auto app = weakApp.lock()) app->setOnboardingStep(app->onboardingStep().get() + 1);
    });
}

}  // namespace parlune
