#pragma once

#include "core/apps/InstalledApp.h"
#include "core/runtime/EventLoop.h"
#include "core/runtime/Property.h"
#include "core/session/AppState.h"
#include "core/values/Values.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// The first-run pages, in the order the step walks through them.
enum class OnboardingPage { signUp, category, permissions, tryShortcut, completion };

struct OnboardingStepInfo {
    OnboardingPage page;
    int phase;  // pages of one phase stay on screen while the step changes within it
};

// The page and animation phase of an onboarding step; any step outside 0...5 completes.
OnboardingStepInfo onboardingStepInfo(int step);
// The category of a category step: 3 Code, 2 Social, anything else Work.
AppCategory categoryForStep(int step);
// "Set a default style for work apps." and its social and code twins.
std::string categoryPrompt(AppCategory category);

// Continue on a category page: every application of the category gets the chosen style, then the
// step moves on.
void continueCategory(AppState& app, const std::vector<InstalledApp>& appsOfCategory, WritingStyle style);
// Marks the onboarding done and resets the step for a later restart.
void completeOnboarding(AppState& app);

// The practice page's instruction line for the hotkey.
std::string tryShortcutInstruction(const RecordedHotkey& hotkey);
// The practice page's Continue is enabled once the box holds more than white space and line ends.
bool canContinueTry(std::string_view practiceText);

// The permissions page's automatic advance: a check 0.3 s after the page appears and 0.1 s after
// each published permission change; once both are granted, one advance 0.6 s later per appearance.
class PermissionsAutoAdvance {
public:
    static constexpr std::chrono::milliseconds firstCheckDelay{300};
    static constexpr std::chrono::milliseconds changeCheckDelay{100};
    static constexpr std::chrono::milliseconds advanceDelay{600};

    PermissionsAutoAdvance(EventLoop& loop, std::shared_ptr<AppState> app);
    ~PermissionsAutoAdvance();
    PermissionsAutoAdvance(const PermissionsAutoAdvance&) = delete;
    PermissionsAutoAdvance& operator=(const PermissionsAutoAdvance&) = delete;

    // The page appeared: resets the once-per-appearance flag and starts watching.
    void appeared();
    // The page went away: stops watching and drops pending checks.
    void disappeared();
    bool hasAutoCompleted() const { return hasAutoCompleted_; }

private:
    void schedule(std::chrono::milliseconds delay);
    void checkAndComplete();

    EventLoop& loop_;
    std::shared_ptr<AppState> app_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::vector<Subscription> subscriptions_;
    std::vector<TimerHandle> timers_;
    bool hasAutoCompleted_ = false;
};

}  // namespace parlune
