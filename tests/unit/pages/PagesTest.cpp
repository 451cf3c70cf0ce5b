#include "core/pages/OnboardingFlow.h"
#include "core/pages/SettingsPages.h"

#include "fakes/PermissionWorkers.h"
#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

struct PagesFixture {
    PagesFixture() {
        auto bundle = harness.bundle();
        bundle.dictationManager = dictation;
        bundle.keyboardMonitor = monitor;
        app = AppState::create(bundle);
    }
    fakes::SessionHarness harness;
    std::shared_ptr<fakes::PermissionDictation> dictation = std::make_shared<fakes::PermissionDictation>();
    std::shared_ptr<fakes::PermissionMonitor> monitor = std::make_shared<fakes::PermissionMonitor>();
    std::shared_ptr<AppState> app;
};

InstalledApp app(std::string name) { return {"/usr/share/applications/" + name + ".desktop", name, ""}; }

}  // namespace

TEST(OnboardingFlow, StepTableIncludingOutOfRangeSteps) {
    struct Case {
        int step;
        OnboardingPage page;
        int phase;
    };
    for (const auto& c : std::vector<Case>{{0, OnboardingPage::signUp, 0},
                                           {1, OnboardingPage::category, 1},
                                           {3, OnboardingPage::category, 1},
                                           {4, OnboardingPage::permissions, 2},
                                           {5, OnboardingPage::tryShortcut, 3},
                                           {6, OnboardingPage::completion, 4},
                                           {7, OnboardingPage::completion, 4},
                                           {-1, OnboardingPage::completion, 4}}) {
        const auto info = onboardingStepInfo(c.step);
        EXPECT_EQ(info.page, c.page) << c.step;
        EXPECT_EQ(info.phase, c.phase) << c.step;
    }
    EXPECT_EQ(categoryForStep(1), AppCategory::work);
    EXPECT_EQ(categoryForStep(2), AppCategory::social);
    EXPECT_EQ(categoryForStep(3), AppCategory::code);
    EXPECT_EQ(categoryForStep(9), AppCategory::work);
    EXPECT_EQ(categoryPrompt(AppCategory::social), "Set a default style for social apps.");
}

TEST(OnboardingFlow, CategoryContinueStylesEveryApplicationAndAdvances) {
    PagesFixture f;
    f.app->setOnboardingStep(1);
    continueCategory(*f.app, {app("Slack"), app("Mail"), app("Zoom"), app("Teams")}, WritingStyle::formal);
    EXPECT_EQ(f.app->appStyles().get().size(), 4U);
    EXPECT_EQ(f.app->styleForApp(app("Teams").id), WritingStyle::formal);
    EXPECT_EQ(f.app->onboardingStep().get(), 2);

    continueCategory(*f.app, {}, WritingStyle::casual);  // no applications: still advances
    EXPECT_EQ(f.app->appStyles().get().size(), 4U);
    EXPECT_EQ(f.app->onboardingStep().get(), 3);

    completeOnboarding(*f.app);
    EXPECT_TRUE(f.app->hasCompletedOnboarding().get());
    EXPECT_EQ(f.app->onboardingStep().get(), 0);
    EXPECT_EQ(f.harness.store->value(AppState::hasCompletedOnboardingKey), nlohmann::json(true));
}

TEST(OnboardingFlow, TryPageContinueNeedsNonBlankTextAndInstructionNamesTheHotkey) {
    EXPECT_FALSE(canContinueTry(""));
    EXPECT_FALSE(canContinueTry("  \n\t \r\n"));
    EXPECT_TRUE(canContinueTry(" Hello \n"));
    EXPECT_EQ(tryShortcutInstruction(RecordedHotkey{61, 0, "Right Option"}),
              "Press and hold the Right Option key and start speaking.");
}

TEST(OnboardingFlow, PermissionsAdvanceOncePerAppearanceAfterBothAreGranted) {
    PagesFixture f;
    f.app->setOnboardingStep(4);
    f.dictation->status.set(SpeechAuthorizationStatus::authorized);
    f.monitor->permission.set(true);
    PermissionsAutoAdvance advance(f.harness.loop, f.app);
    advance.appeared();
    f.harness.loop.advance(299ms);
    EXPECT_FALSE(advance.hasAutoCompleted());
    f.harness.loop.advance(1ms);
    EXPECT_TRUE(advance.hasAutoCompleted());
    // More notifications do not advance twice.
    f.monitor->permission.set(false);
    f.monitor->permission.set(true);
    f.harness.loop.advance(599ms);
    EXPECT_EQ(f.app->onboardingStep().get(), 4);
    f.harness.loop.advance(1s);
    EXPECT_EQ(f.app->onboardingStep().get(), 5);
}

TEST(OnboardingFlow, PermissionsWaitForTheMissingOneAndCheckAfterItsChange) {
    PagesFixture f;
    f.app->setOnboardingStep(4);
    f.dictation->status.set(SpeechAuthorizationStatus::authorized);
    PermissionsAutoAdvance advance(f.harness.loop, f.app);
    advance.appeared();
    f.harness.loop.advance(5s);
    EXPECT_FALSE(advance.hasAutoCompleted());
    f.monitor->permission.set(true);
    f.harness.loop.advance(99ms);
    EXPECT_FALSE(advance.hasAutoCompleted());
    f.harness.loop.advance(1ms);
    EXPECT_TRUE(advance.hasAutoCompleted());
    advance.disappeared();  // the decided advance still happens
    f.harness.loop.advance(600ms);
    EXPECT_EQ(f.app->onboardingStep().get(), 5);

    // Gone before the first check: nothing happens.
    f.app->setOnboardingStep(4);
    advance.appeared();
    advance.disappeared();
    f.harness.loop.advance(2s);
    EXPECT_EQ(f.app->onboardingStep().get(), 4);
}

TEST(SettingsPages, StatisticsLines) {
    EXPECT_EQ(minutesSavedLine(119.9), "1 minutes saved.");
    EXPECT_EQ(minutesSavedLine(0), "0 minutes saved.");
    EXPECT_EQ(minutesSavedLine(-5), "0 minutes saved.");
    EXPECT_EQ(totalWordsLine(1234567, "en_US"), "1,234,567 words total.");
    EXPECT_EQ(totalWordsLine(0, "en_US"), "0 words total.");
    EXPECT_EQ(totalWordsLine(1234567, "de_DE"), "1.234.567 words total.");
}

TEST(SettingsPages, FilteringAndExactNameAutoSelect) {
    const std::vector<InstalledApp> apps{app("Firefox"), app("Files"), app("Terminal")};
    EXPECT_EQ(filterApps(apps, "").size(), 3U);
    EXPECT_EQ(filterApps(apps, "fI"), (std::vector<InstalledApp>{app("Firefox"), app("Files")}));
    EXPECT_TRUE(filterApps(apps, "xyz").empty());

    StyleSelection selection;
    EXPECT_FALSE(selection.setSearchText("fir", apps));  // part of a name only filters
    EXPECT_EQ(selection.searchText(), "fir");
    EXPECT_FALSE(selection.selectedAppId());
    EXPECT_TRUE(selection.setSearchText("FIREFOX", apps));  // the full name in any case selects
    EXPECT_EQ(selection.selectedAppId(), app("Firefox").id);
    EXPECT_EQ(selection.searchText(), "");
    EXPECT_FALSE(selection.setSearchText("T", apps));  // typing clears the selection
    EXPECT_FALSE(selection.selectedAppId());
}

TEST(SettingsPages, ChipsNeedASelectionAndShowItsStyle) {
    PagesFixture f;
    StyleSelection selection;
    for (const auto& chip : selection.chips(*f.app)) EXPECT_FALSE(chip.enabled || chip.selected);
    selection.chooseStyle(*f.app, WritingStyle::formal);  // no selection: nothing stored
    EXPECT_TRUE(f.app->appStyles().get().empty());

    selection.setSearchText("Ter", {});
    selection.tapApp(app("Terminal").id);
    EXPECT_EQ(selection.searchText(), "");
    f.app->setSelectedWritingStyle(WritingStyle::formal);
    auto chips = selection.chips(*f.app);
    EXPECT_TRUE(chips[2].enabled && chips[2].selected);  // the default style until one is chosen
    selection.chooseStyle(*f.app, WritingStyle::casual);
    chips = selection.chips(*f.app);
    EXPECT_TRUE(chips[0].selected);
    EXPECT_FALSE(chips[2].selected);
    EXPECT_EQ(f.app->styleForApp(app("Terminal").id), WritingStyle::casual);

    selection.tapApp(app("Terminal").id);  // tapping the selected one clears it
    EXPECT_FALSE(selection.selectedAppId());
    EXPECT_FALSE(selection.chips(*f.app)[0].enabled);
}
