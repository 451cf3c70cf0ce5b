#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace parlune;
using namespace parlune::fakes;
using namespace std::chrono_literals;

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        h.injector->fieldText = "Dear team, ";
        h.start();
        h.journal->clear();
        h.log.clear();
    }
    // Presses, says `speech` while the key is held, and releases.
    void dictate(const std::string& speech, Duration held = 1s) {
        h.monitor->press();
        h.loop.runUntilIdle();
        h.dictation->speak(speech);
        h.loop.advance(held);
        h.monitor->release();
        h.loop.runUntilIdle();
    }
    bool journalHas(const std::string& entry) const {
        return std::find(h.journal->begin(), h.journal->end(), entry) != h.journal->end();
    }
    int journalCount(const std::string& entry) const {
        return static_cast<int>(std::count(h.journal->begin(), h.journal->end(), entry));
    }

    SessionHarness h;
};

}  // namespace

TEST_F(Session, OneDictationFromPressToInsertion) {
    h.app->addDictionaryWord("Kubernetes");
    h.app->setSelectedModelProvider(ModelProvider::llamaScout);
    h.app->setStyleForApp("/apps/mail.desktop", WritingStyle::formal);
    h.workspace->frontmost = "/apps/mail.desktop";
    h.journal->clear();

    dictate("um the deploy is done");
    EXPECT_EQ(*h.journal, (Journal{"tracker.stop", "notifier.dismiss", "indicator.show", "media.pause", "media.paused",
                                   "dictation.start", "indicator.hide", "injector.read"}));
    EXPECT_EQ(h.dictation->lastContextualStrings, std::vector<std::string>{"Kubernetes"});
    h.journal->clear();

    h.loop.advance(299ms);
    EXPECT_TRUE(h.journal->empty()) << "the stop waits 300 ms";
    h.loop.advance(1ms + 600ms);  // stop, then the recogniser's drain
    EXPECT_EQ(*h.journal, (Journal{"dictation.stop", "dictation.stopped", "processor.process:um the deploy is done"}));
    h.loop.advance(200ms + 49ms);  // cleanup, then the insertion delay not yet over
    EXPECT_TRUE(h.injector->injected.empty());
    h.loop.advance(1ms);
    EXPECT_EQ(h.injector->injected, std::vector<std::string>{"UM THE DEPLOY IS DONE"});
    EXPECT_EQ(h.journal->back(), "media.resume");
    EXPECT_TRUE(journalHas("tracker.start:UM THE DEPLOY IS DONE|Dear team, UM THE DEPLOY IS DONE"));

    ASSERT_EQ(h.processor->calls.size(), 1u);
    const auto& call = h.processor->calls[0];
    EXPECT_EQ(call.provider, ModelProvider::llamaScout);
    EXPECT_EQ(call.style, WritingStyle::formal);
    EXPECT_EQ(call.dictionaryWords, std::vector<std::string>{"Kubernetes"});
    EXPECT_EQ(call.precedingText, "Dear team, ");
    EXPECT_EQ(h.app->lastTranscription().get(), "UM THE DEPLOY IS DONE");
    EXPECT_EQ(h.app->totalWords().get(), 5);
    EXPECT_EQ(h.app->timeSavedSeconds().get(), 7.5);
    EXPECT_FALSE(h.app->stopTask());
    EXPECT_EQ(h.log.lines(), (std::vector<std::string>{
                                 "🎙️ Hotkey down — starting dictation",
                                 "🎙️ Hotkey up — stopping dictation",
                                 "📋 Preceding field text: Dear team, ",
                                 "📝 Raw transcription (21 chars): um the deploy is done",
                                 "💉 Injecting processed text (21 chars)",
                             }));
}

// A press at each point of the stop task, after a release at t=0: stop at 300 ms, transcript at
// 900 ms, cleaned text at 1100 ms, insertion at 1150 ms.
TEST_F(Session, APressDuringTheStopCancelsItAtEachPoint) {
    struct Case {
        const char* state;
        Duration pressAt;
        bool recorderStopped;        // the first hold's recording was ended
        bool cleaned;                // processText was called
        std::string lastTranscription;  // after the cancelled task ended
    };
    const Case cases[] = {
        {"pending stop", 100ms, false, false, ""},
        {"stopping", 500ms, true, false, ""},
        {"cleaning", 1000ms, true, true, "first words"},  // the raw text comes back promptly
        {"inserting", 1120ms, true, true, "FIRST WORDS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        SessionHarness s;
        s.start();
        s.monitor->press();
        s.loop.runUntilIdle();
        s.dictation->speak("first words");
        s.monitor->release();
        s.loop.advance(c.pressAt);
        s.log.clear();
        s.journal->clear();
        s.monitor->press();
        s.loop.runUntilIdle();
        EXPECT_EQ(s.log.lines().front(), "🎙️ Hotkey down — cancelling pending stop, keeping session alive");
        EXPECT_EQ(s.journal->front(), "indicator.show");
        EXPECT_FALSE(s.app->stopTask());
        s.loop.advance(2s);
        EXPECT_TRUE(s.injector->injected.empty()) << "nothing is inserted for a cancelled stop";
        EXPECT_EQ(std::count(s.journal->begin(), s.journal->end(), "media.resume"), 0);
        EXPECT_EQ(std::count(s.journal->begin(), s.journal->end(), "dictation.start"), 0) << "no new recording";
        EXPECT_EQ(s.dictation->running(), !c.recorderStopped);
        EXPECT_EQ(s.processor->calls.size(), c.cleaned ? 1u : 0u);
        EXPECT_EQ(s.app->lastTranscription().get(), c.lastTranscription);
        EXPECT_EQ(s.app->totalWords().get(), c.cleaned ? 2 : 0);

        // The key is still held; its release ends the session.
        s.dictation->speak("second words");
        s.monitor->release();
        s.loop.advance(2s);
        if (c.recorderStopped) {
            EXPECT_EQ(s.log.lines().back(), "⚠️ No transcription captured — nothing to inject");
            EXPECT_TRUE(s.injector->injected.empty());
        } else {
            EXPECT_EQ(s.injector->injected, std::vector<std::string>{"FIRST WORDS SECOND WORDS"})
                << "one transcript of both holds";
        }
        EXPECT_EQ(std::count(s.journal->begin(), s.journal->end(), "media.resume"), 1);
        EXPECT_FALSE(s.dictation->running());
    }
}

TEST_F(Session, NoSpeechEndsWithTheEmptyTranscriptLineAndResumesMedia) {
    dictate("");
    h.loop.advance(2s);
    const auto lines = h.log.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "📝 Raw transcription (0 chars): ");
    EXPECT_EQ(lines.back(), "⚠️ No transcription captured — nothing to inject");
    EXPECT_EQ(h.journal->back(), "media.resume");
    EXPECT_TRUE(h.processor->calls.empty());
    EXPECT_EQ(h.app->totalWords().get(), 0);
    EXPECT_FALSE(h.app->stopTask());
}

TEST_F(Session, AStartErrorIsLoggedAndTheSessionEndsEmpty) {
    h.dictation->failNextStart("Microphone access denied. Please enable it in Settings.");
    dictate("unheard");
    EXPECT_TRUE(h.indicator->visible == false);
    h.loop.advance(2s);
    const auto lines = h.log.lines();
    EXPECT_EQ(lines[1], "❌ Dictation start error: Microphone access denied. Please enable it in Settings.");
    EXPECT_EQ(lines.back(), "⚠️ No transcription captured — nothing to inject");
    EXPECT_EQ(h.journal->back(), "media.resume");
}

TEST_F(Session, TheStyleIsTheOneOfTheApplicationInFrontWhenRecognitionEnds) {
    h.app->setStyleForApp("/apps/code.desktop", WritingStyle::formal);
    h.app->setStyleForApp("/apps/chat.desktop", WritingStyle::standard);
    h.app->setSelectedWritingStyle(WritingStyle::casual);
    struct Case {
        std::optional<std::string> atPress, atEnd;
        WritingStyle expected;
    };
    const Case cases[] = {
        {"/apps/code.desktop", "/apps/chat.desktop", WritingStyle::standard},
        {"/apps/code.desktop", std::nullopt, WritingStyle::casual},
        {std::nullopt, "/apps/unknown.desktop", WritingStyle::casual},
    };
    for (const auto& c : cases) {
        h.processor->calls.clear();
        h.workspace->frontmost = c.atPress;
        dictate("hello");
        h.loop.advance(850ms);  // just before recognition ends
        h.workspace->frontmost = c.atEnd;
        h.loop.advance(1s);
        ASSERT_EQ(h.processor->calls.size(), 1u);
        EXPECT_EQ(h.processor->calls[0].style, c.expected);
    }
}

TEST_F(Session, PrecedingTextIsLoggedByItsLastEightyCharactersAndPassedWhole) {
    struct Case {
        std::optional<std::string> field;
        std::string logged;
        std::string trackerExpected;
    };
    const std::string longText = "👩‍👩‍👧 " + std::string(100, 'x') + " 🇫🇷 end";
    const Case cases[] = {
        {std::nullopt, "📋 Preceding field text: nil", "HI|HI"},
        {"", "📋 Preceding field text: ", "HI|HI"},
        {longText, "📋 Preceding field text: " + std::string(74, 'x') + " 🇫🇷 end", "HI|" + longText + "HI"},
    };
    for (const auto& c : cases) {
        h.log.clear();
        h.journal->clear();
        h.processor->calls.clear();
        h.injector->fieldText = c.field;
        dictate("hi");
        h.loop.advance(2s);
        EXPECT_EQ(h.log.lines()[2], c.logged);
        ASSERT_EQ(h.processor->calls.size(), 1u);
        EXPECT_EQ(h.processor->calls[0].precedingText, c.field);
        EXPECT_TRUE(journalHas("tracker.start:" + c.trackerExpected)) << c.trackerExpected;
    }
}

TEST(SessionWords, CountsPiecesBetweenPlainSpacesOnly) {
    const std::pair<std::string, std::int64_t> cases[] = {
        {"", 0}, {"   ", 0}, {"one", 1}, {"one  two\nthree", 2}, {" a b  c ", 3}, {"tab\tseparated", 1}, {"a\u00a0b c", 2},
    };
    for (const auto& [text, words] : cases) EXPECT_EQ(AppState::countWords(text), words) << text;
}

TEST_F(Session, TheCleanedTextIsUsedAsReturnedEvenWhenEmpty) {
    h.processor->clean = [](const std::string&) { return std::string(); };
    dictate("something");
    h.loop.advance(2s);
    EXPECT_EQ(h.injector->injected, std::vector<std::string>{""});
    EXPECT_EQ(h.log.lines().back(), "💉 Injecting processed text (0 chars)");
    EXPECT_EQ(h.app->totalWords().get(), 0);
}

// The release can come while the start is still pausing media (which may take several hundred
// milliseconds): the stop must end the recording that start begins, and no recorder may be left
// running for the next start to find.
TEST_F(Session, AReleaseDuringASlowMediaPauseStillEndsItsOwnRecording) {
    h.media->pauseTakes = 800ms;
    h.dictation->saysOnStart = "short note";
    h.monitor->press();
    h.loop.advance(50ms);
    h.monitor->release();
    h.loop.advance(3s);
    EXPECT_EQ(h.injector->injected, std::vector<std::string>{"SHORT NOTE"});
    EXPECT_FALSE(h.dictation->running());
    const auto start = std::find(h.journal->begin(), h.journal->end(), "dictation.start");
    const auto stop = std::find(h.journal->begin(), h.journal->end(), "dictation.stop");
    EXPECT_LT(start, stop) << "stopRecording must come after the recording it ends was started";

    h.dictation->saysOnStart.clear();
    h.media->pauseTakes = 0ms;
    dictate("next one");
    h.loop.advance(3s);
    EXPECT_EQ(h.dictation->startsWhileRunning(), 0);
    EXPECT_EQ(h.injector->injected.back(), "NEXT ONE");
}

TEST_F(Session, PressAndReleasePairsFasterThanTheMediaPauseLeaveNoRecorderRunning) {
    h.media->pauseTakes = 800ms;
    // Times (ms) at which the key goes down and up again.
    const std::vector<std::vector<int>> schedules = {
        {0, 20, 40, 60},                  // re-press within the stop delay
        {0, 20, 400, 420},                // re-press while the stop waits for the start
        {0, 20, 1000, 1020, 1040, 1060},  // a second session while the first stops
        {0, 10, 20, 30, 40, 50, 60, 70, 80, 90},
    };
    for (const auto& schedule : schedules) {
        int now = 0;
        for (std::size_t i = 0; i < schedule.size(); ++i) {
            h.loop.advance(std::chrono::milliseconds(schedule[i] - now));
            now = schedule[i];
            if (i % 2 == 0) {
                h.monitor->press();
            } else {
                h.monitor->release();
            }
        }
        h.loop.advance(5s);
        EXPECT_FALSE(h.dictation->running()) << "schedule starting with " << schedule.size() << " edges";
        EXPECT_EQ(h.dictation->startsWhileRunning(), 0);
        EXPECT_FALSE(h.app->stopTask());
    }
    h.media->pauseTakes = 0ms;
    dictate("still works");
    h.loop.advance(3s);
    EXPECT_EQ(h.injector->injected.back(), "STILL WORKS");
    EXPECT_EQ(h.dictation->startsWhileRunning(), 0);
}
