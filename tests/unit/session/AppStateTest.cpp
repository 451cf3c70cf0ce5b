#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace parlune;
using namespace parlune::fakes;
using nlohmann::json;

namespace {

std::string hotkeyJson(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

TEST(AppState, FirstRunOnAnEmptyStoreUsesTheDefaultsAndStoresOnlyTheEmptyDictionary) {
    SessionHarness h;
    auto app = h.start();
    EXPECT_EQ(app->selectedModelProvider().get(), ModelProvider::appleFoundation);
    EXPECT_EQ(app->selectedHotkey().get(), (RecordedHotkey{63, 0, "Fn"}));
    EXPECT_FALSE(app->hasCompletedOnboarding().get());
    EXPECT_EQ(app->onboardingStep().get(), 0);
    EXPECT_EQ(app->selectedWritingStyle().get(), WritingStyle::casual);
    EXPECT_TRUE(app->dictionaryWords()->empty());
    EXPECT_TRUE(app->appStyles()->empty());
    EXPECT_EQ(app->totalWords().get(), 0);
    EXPECT_EQ(app->timeSavedSeconds().get(), 0.0);
    EXPECT_FALSE(app->profileImage()->has_value());
    EXPECT_EQ(h.store->snapshot(), json::parse(R"({"userDictionary": []})"));
    // The monitor was started with the hotkey, permission present so not requested.
    EXPECT_EQ(h.monitor->started, (std::vector<RecordedHotkey>{RecordedHotkey{63, 0, "Fn"}}));
    EXPECT_EQ(h.monitor->permissionRequests, 0);
}

TEST(AppState, ThePlatformMaySupplyAnotherDefaultHotkeyButAStoredOneLoadsAsStored) {
    SessionHarness h;
    auto platform = h.bundle();
    platform.defaultHotkey = RecordedHotkey{62, 0, "Right Control"};
    EXPECT_EQ(AppState::create(platform)->selectedHotkey().get(), (RecordedHotkey{62, 0, "Right Control"}));
    h.store->setData("selectedHotkey", Bytes{'{', '}'});  // unreadable: the default again
    EXPECT_EQ(AppState::create(platform)->selectedHotkey().get(), (RecordedHotkey{62, 0, "Right Control"}));
    const std::string fn = R"({"keyCode":63,"modifierFlags":0,"displayName":"Fn"})";
    h.store->setData("selectedHotkey", Bytes(fn.begin(), fn.end()));
    EXPECT_EQ(AppState::create(platform)->selectedHotkey().get(), RecordedHotkey::defaultHotkey());
    h.loop.runUntilIdle();
}

TEST(AppState, LoadsStoredValuesAndFallsBackOnUnknownOnes) {
    struct Case {
        json stored;
        ModelProvider provider;
        WritingStyle style;
        bool styleWrittenBack;
    };
    const Case cases[] = {
        {{{"selectedModelProvider", "Fast"}, {"selectedWritingStyle", "Formal"}}, ModelProvider::llamaScout, WritingStyle::formal, true},
        {{{"selectedModelProvider", "fast"}, {"selectedWritingStyle", "formal"}}, ModelProvider::appleFoundation, WritingStyle::casual, false},
        {{{"selectedModelProvider", 1}, {"selectedWritingStyle", json::array()}}, ModelProvider::appleFoundation, WritingStyle::casual, false},
    };
    for (const auto& c : cases) {
        SessionHarness h;
        h.store = std::make_shared<MemorySettingsStore>(c.stored);
        auto app = h.start();
        EXPECT_EQ(app->selectedModelProvider().get(), c.provider) << c.stored;
        EXPECT_EQ(app->selectedWritingStyle().get(), c.style) << c.stored;
        const auto& written = h.store->writtenKeys();
        EXPECT_EQ(std::count(written.begin(), written.end(), "selectedModelProvider"), 0) << "provider is never written back";
        EXPECT_EQ(std::count(written.begin(), written.end(), "selectedWritingStyle"), c.styleWrittenBack ? 1 : 0);
    }
}

TEST(AppState, LoadsHotkeyOnboardingStatisticsAndTheProfilePicture) {
    SessionHarness h;
    const std::string hotkey = R"({"keyCode":61,"displayName":"Right Option"})";
    h.store->setData("selectedHotkey", Bytes(hotkey.begin(), hotkey.end()));
    h.store->setBoolean("hasCompletedOnboarding", true);
    h.store->setInteger("totalWords", 12);
    h.store->setReal("timeSavedSeconds", 18.0);
    const auto folder = std::filesystem::temp_directory_path() / ("parlune-appstate-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "parlune-macos");
    std::ofstream(folder / "parlune-macos" / "profile_image.jpg", std::ios::binary) << "\xff\xd8jpeg";
    auto platform = h.bundle();
    platform.applicationSupportFolder = folder;
    auto app = AppState::create(platform);
    EXPECT_EQ(app->selectedHotkey().get(), (RecordedHotkey{61, 0, "Right Option"}));
    EXPECT_TRUE(app->hasCompletedOnboarding().get());
    EXPECT_EQ(app->totalWords().get(), 12);
    EXPECT_EQ(app->timeSavedSeconds().get(), 18.0);
    ASSERT_TRUE(app->profileImage()->has_value());
    EXPECT_EQ(app->profileImage()->value().size(), 6u);
    std::filesystem::remove_all(folder);
    h.loop.runUntilIdle();
}

TEST(AppState, PerApplicationStylesAreCleanedOnLoadOrIgnoredWholeWhenAValueIsNotAString) {
    SessionHarness h;
    h.store = std::make_shared<MemorySettingsStore>(
        json{{"appWritingStyles", {{"/usr/share/applications/slack.desktop", "Casual"}, {"/x.desktop", "Loud"}}}});
    auto app = h.start();
    EXPECT_EQ(app->appStyles().get(), (std::map<std::string, WritingStyle>{{"/usr/share/applications/slack.desktop", WritingStyle::casual}}));
    EXPECT_EQ(h.store->value("appWritingStyles"), (json{{"/usr/share/applications/slack.desktop", "Casual"}}));

    SessionHarness bad;
    const json mixed = {{"/a.desktop", "Formal"}, {"/b.desktop", 3}};
    bad.store = std::make_shared<MemorySettingsStore>(json{{"appWritingStyles", mixed}});
    auto app2 = bad.start();
    EXPECT_TRUE(app2->appStyles()->empty());
    EXPECT_EQ(bad.store->value("appWritingStyles"), mixed) << "left as stored";
}

TEST(AppState, DictionaryWordsAreTrimmedDeduplicatedCaseSensitivelyAndNewestFirst) {
    SessionHarness h;
    auto app = h.start();
    const auto writesBefore = h.store->writeCount();
    app->addDictionaryWord("   \t\n");
    EXPECT_EQ(h.store->writeCount(), writesBefore) << "a blank word writes nothing";

    app->addDictionaryWord("  Kubernetes \n");
    app->addDictionaryWord("Kubernetes");
    app->addDictionaryWord("kubernetes");
    app->addDictionaryWord("Kubernetes");
    EXPECT_EQ(app->dictionaryWords().get(), (std::vector<std::string>{"kubernetes", "Kubernetes"}));
    EXPECT_EQ(h.store->stringArray("userDictionary"), app->dictionaryWords().get());

    app->addDictionaryWord("GitHub");
    app->setDictionaryWords({"GitHub", "x", "GitHub", "y"});
    const auto writes = h.store->writeCount();
    app->removeDictionaryWord(" GitHub");  // not trimmed: removes nothing, still rewrites the list
    EXPECT_EQ(h.store->writeCount(), writes + 1);
    app->removeDictionaryWord("GitHub");
    EXPECT_EQ(app->dictionaryWords().get(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(h.store->stringArray("userDictionary"), (std::vector<std::string>{"x", "y"}));
}

TEST(AppState, StyleForAppFallsBackToTheCurrentDefaultStyle) {
    SessionHarness h;
    auto app = h.start();
    app->setStyleForApp("/apps/code.desktop", WritingStyle::formal);
    EXPECT_EQ(app->styleForApp("/apps/code.desktop"), WritingStyle::formal);
    EXPECT_EQ(app->styleForApp("/apps/other.desktop"), WritingStyle::casual);
    app->setSelectedWritingStyle(WritingStyle::standard);
    EXPECT_EQ(app->styleForApp("/apps/other.desktop"), WritingStyle::standard);
    EXPECT_EQ(h.store->value("appWritingStyles"), (json{{"/apps/code.desktop", "Formal"}}));
    EXPECT_EQ(h.store->string("selectedWritingStyle"), "Standard");
}

TEST(AppState, SettingsAndStatisticsSurviveARestart) {
    SessionHarness h;
    auto app = h.start();
    app->addWords(12);
    EXPECT_EQ(app->totalWords().get(), 12);
    EXPECT_EQ(app->timeSavedSeconds().get(), 18.0);
    app->setSelectedModelProvider(ModelProvider::llamaScout);
    app->setHasCompletedOnboarding(true);
    app->setSelectedHotkey(RecordedHotkey{0, 0x100000 | 0x20000, "⇧⌘A"});
    app->setOnboardingStep(3);
    app->addDictionaryWord("Parlune");

    auto again = h.start();
    EXPECT_EQ(again->totalWords().get(), 12);
    EXPECT_EQ(again->timeSavedSeconds().get(), 18.0);
    EXPECT_EQ(again->selectedModelProvider().get(), ModelProvider::llamaScout);
    EXPECT_TRUE(again->hasCompletedOnboarding().get());
    EXPECT_EQ(again->selectedHotkey().get(), (RecordedHotkey{0, 0x120000, "⇧⌘A"}));
    EXPECT_EQ(again->onboardingStep().get(), 0) << "the onboarding step lives in memory only";
    EXPECT_EQ(again->dictionaryWords().get(), (std::vector<std::string>{"Parlune"}));
    EXPECT_EQ(h.store->string("selectedModelProvider"), "Fast");
}

TEST(AppState, ChangingTheHotkeyStoresItAndRestartsTheMonitorEvenWhenUnchanged) {
    SessionHarness h;
    auto app = h.start();
    h.journal->clear();
    const RecordedHotkey rightOption{61, 0, "Right Option"};
    app->setSelectedHotkey(rightOption);
    app->setSelectedHotkey(rightOption);
    EXPECT_EQ(*h.journal, (Journal{"monitor.stop", "monitor.start:Right Option", "monitor.stop", "monitor.start:Right Option"}));
    EXPECT_EQ(hotkeyJson(*h.store->data("selectedHotkey")), rightOption.encode());

    // The old key starts nothing any more; the new one does.
    h.monitor->press(RecordedHotkey::defaultHotkey());
    h.loop.runUntilIdle();
    EXPECT_EQ(h.dictation->starts(), 0);
    h.monitor->press(rightOption);
    h.loop.runUntilIdle();
    EXPECT_EQ(h.dictation->starts(), 1);
}

TEST(AppState, MissingAccessibilityIsRequestedOnEverySetupAndTheMonitorStartsRegardless) {
    SessionHarness h;
    h.monitor->permission = false;
    auto app = h.start();
    app->setSelectedHotkey(RecordedHotkey{62, 0, "Right Control"});
    EXPECT_EQ(h.monitor->permissionRequests, 2);
    EXPECT_EQ(h.monitor->started.size(), 2u);
}

TEST(AppState, IsRecordingMirrorsTheRecorderOnALaterLoopJob) {
    SessionHarness h;
    auto app = h.start();
    h.monitor->press();
    h.loop.runUntilIdle();
    EXPECT_TRUE(app->isRecording().get());
    h.monitor->release();
    h.loop.advance(std::chrono::milliseconds(300));
    EXPECT_FALSE(app->isRecording().get());
}

TEST(AppState, CallbacksHandedToWorkersDoNothingOnceAppStateIsGone) {
    SessionHarness h;
    h.start();
    auto correction = h.tracker->onCorrection;
    h.app.reset();
    h.monitor->press();
    correction("teh", "Kubernetis");
    h.loop.runUntilIdle();
    EXPECT_EQ(h.dictation->starts(), 0);
    EXPECT_TRUE(h.log.lines().empty());
}

TEST(AutoDictionaryHandler, ProposesUnknownWordsWithoutTrailingPunctuation) {
    struct Case {
        std::string corrected;
        std::vector<std::string> lines;
        std::optional<std::string> proposed;
    };
    const std::vector<Case> cases = {
        {"Kubernetes.", {"📖 Auto-dictionary: 'Kubernetis' -> 'Kubernetes'"}, "Kubernetes"},
        {"their", {"📖 Auto-dictionary: 'Kubernetis' -> 'their'", "📖 Auto-dictionary: 'their' is a known English word, skipping"}, std::nullopt},
        {"?!…»", {}, std::nullopt},
        {"$AAPL+", {"📖 Auto-dictionary: 'Kubernetis' -> '$AAPL+'"}, "$AAPL+"},
        {"«Zoë»,", {"📖 Auto-dictionary: 'Kubernetis' -> '«Zoë'"}, "«Zoë"},
    };
    for (const auto& c : cases) {
        SessionHarness h;
        h.spellChecker->known = {"their"};
        h.start();
        h.journal->clear();
        h.tracker->onCorrection("Kubernetis", c.corrected);
        EXPECT_EQ(h.log.lines(), c.lines) << c.corrected;
        if (c.proposed) {
            ASSERT_EQ(*h.journal, Journal{"notifier.suggest:" + *c.proposed});
            h.notifier->pendingAccept();
            EXPECT_EQ(h.app->dictionaryWords().get(), std::vector<std::string>{*c.proposed});
            EXPECT_EQ(h.log.lines().back(), "📖 Auto-dictionary: added '" + *c.proposed + "' to dictionary");
        } else {
            EXPECT_TRUE(h.journal->empty()) << c.corrected;
        }
    }
}
