// The correction tracker over a fake focused field on virtual time.

#include "core/insertion/DiffTracker.h"
#include "core/runtime/VirtualLoop.h"
#include "fakes/SessionHarness.h"
#include "unit/insertion/InsertionFakes.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::fakes;
using namespace std::chrono_literals;

namespace {

using Pairs = std::vector<DiffTracker::WordPair>;

struct Tracking {
    Tracking() {
        auto clipboard = std::make_shared<FakeClipboard>(loop);
        auto keyboard = std::make_shared<FakeKeyboard>(*clipboard);
        tracker = DiffTracker::create(loop, TextInjector::create(loop, {accessibility, clipboard, keyboard, keyboard}));
        tracker->setOnCorrectionDetected([this](const std::string& original, const std::string& corrected) {
            reports.emplace_back(original, corrected);
        });
    }
    ~Tracking() {
        tracker.reset();
        for (int i = 0; i < 1000 && loop.runNextTimer(); ++i) {
        }
        loop.runUntilIdle();
    }
    // Starts tracking a field that shows `preceding` + `injected`.
    void insert(const std::string& preceding, const std::string& injected) {
        field().value = preceding + injected;
        tracker->startTracking(injected, preceding + injected);
    }
    FakeField& field() { return *accessibility->focused; }
    // Moves the clock to `at` since the loop's start.
    void at(std::chrono::milliseconds time) { loop.advance(time - loop.elapsed()); }

    VirtualLoop loop;
    CapturedLog log;
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<DiffTracker> tracker;
    Pairs reports;
};

}  // namespace

TEST(DiffTrackerWords, TokensSplitAtUnicodeWhiteSpaceAndCompareByNormalForm) {
    EXPECT_EQ(DiffTracker::tokenize(" Hello,\tworld\n\u00A0don't\u2028«Zoë» "),
              (std::vector<std::string>{"Hello,", "world", "don't", "«Zoë»"}));
    EXPECT_EQ(DiffTracker::normalForm("«Hello»,"), "hello");
    EXPECT_EQ(DiffTracker::normalForm("Don't"), "don't");
    EXPECT_EQ(DiffTracker::normalForm("$100+"), "$100+");
}

TEST(DiffTrackerWords, CommonSubsequenceStepsTheEditedSideOnTies) {
    EXPECT_EQ(DiffTracker::longestCommonSubsequence({"x", "y"}, {"y", "x"}), std::vector<std::string>{"y"});
    EXPECT_EQ(DiffTracker::longestCommonSubsequence({"Hello,", "world"}, {"hello", "big", "World!"}),
              (std::vector<std::string>{"Hello,", "world"}));
    EXPECT_TRUE(DiffTracker::longestCommonSubsequence({}, {"a"}).empty());
}

TEST(DiffTrackerWords, ReplacedWordsPairOnlyBetweenCommonWords) {
    struct Case {
        const char* inserted;
        const char* edited;
        Pairs pairs;
    };
    const std::vector<Case> cases = {
        {"Meet me at Cooper's place", "Meet me at Kuper's place", {{"Cooper's", "Kuper's"}}},
        {"I talked to Jon", "I talked to John", {}},
        {"Kubernetis", "Kubernetes", {}},
        {"the quick brown fox", "the slow red fox", {{"quick", "slow"}, {"brown", "red"}}},
        {"Hello, world", "hello world", {}},
        {"buy a car today", "buy an car today", {{"a", "an"}}},
        {"see you soon", "see you soon, and then some more", {}},
        {"one two three", "one three", {}},
        {"one three", "one two three", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DiffTracker::findCorrections(DiffTracker::tokenize(c.inserted), DiffTracker::tokenize(c.edited)), c.pairs)
            << c.inserted << " -> " << c.edited;
    }
}

TEST(DiffTracker, ReportsAReplacedWordOnceTheFieldHasBeenQuietForOneAndAHalfSeconds) {
    Tracking t;
    t.insert("", "Meet me at Cooper's place");
    t.at(300ms);
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{"📖 DiffTracker: started (injected 5 words)"});
    t.at(1000ms);
    t.field().value = "Meet me at Kuper place";
    t.at(1600ms);
    t.field().value = "Meet me at Kuper's place";  // seen at 1.8 s: the analysis moves to 3.3 s
    t.at(3299ms);
    EXPECT_TRUE(t.reports.empty());
    t.at(3300ms);
    EXPECT_EQ(t.reports, (Pairs{{"Cooper's", "Kuper's"}}));
    EXPECT_EQ(t.log.lines().back(), "📖 DiffTracker: detected correction 'Cooper's' -> 'Kuper's'");

    // A second correction in the same tracking is not reported; polling goes on.
    t.field().value = "Meet me at Kuper's house";
    t.at(10s);
    EXPECT_EQ(t.reports.size(), 1u);
    EXPECT_TRUE(t.tracker->isTracking());

    // After a new insertion it can be.
    t.insert("", "the quick brown fox");
    t.at(11s);
    t.field().value = "the slow red fox";
    t.at(14s);
    EXPECT_EQ(t.reports, (Pairs{{"Cooper's", "Kuper's"}, {"quick", "slow"}}));
}

TEST(DiffTracker, ReportsOnlyWordsThatMatterAndOnlyWhatFollowsTheUntouchedPrecedingText) {
    struct Case {
        const char* what;
        const char* preceding;
        const char* injected;
        const char* edited;
        Pairs reports;
    };
    const std::vector<Case> cases = {
        {"one-letter word and a change of case", "", "Buy a car from Bob today", "Buy an car from bob today", {}},
        {"untouched preceding text", "Dear team, ", "team see you", "Dear team, team sea you", {{"see", "sea"}}},
        // The preceding part changed: the whole field is compared, and its first "team" anchors the words.
        {"edited preceding text", "Dear team, ", "team see you", "Dear team! team sea you", {{"see", "team"}}},
    };
    for (const auto& c : cases) {
        Tracking t;
        t.insert(c.preceding, c.injected);
        t.at(1s);
        t.field().value = c.edited;
        t.at(5s);
        EXPECT_EQ(t.reports, c.reports) << c.what;
    }
}

TEST(DiffTracker, StopsAtTheFirstPollAfterThirtySecondsEvenWithAPendingAnalysis) {
    Tracking t;
    t.insert("", "Meet me at Cooper's place");
    t.at(29s);
    t.field().value = "Meet me at Kuper's place";  // seen at 29.3 s, analysis due at 30.8 s
    t.at(30300ms);
    EXPECT_EQ(t.log.lines().back(), "📖 DiffTracker: max duration reached, stopping");
    EXPECT_FALSE(t.tracker->isTracking());
    const int reads = t.field().reads;
    t.at(40s);
    EXPECT_TRUE(t.reports.empty());
    EXPECT_EQ(t.field().reads, reads);  // idle: nothing is read
}

TEST(DiffTracker, AFieldThatBecomesUnreadableEndsTracking) {
    Tracking t;
    t.insert("", "Meet me at Cooper's place");
    t.field().value.reset();  // unreadable at the first read: the expected text stands in
    t.at(300ms);
    EXPECT_TRUE(t.tracker->isTracking());
    t.field().value = "Meet me at Kuper's place";  // differs from the expected text at the 0.8 s poll
    t.at(2300ms);
    EXPECT_EQ(t.reports.size(), 1u);
    t.field().value.reset();
    t.at(2800ms);
    EXPECT_EQ(t.log.lines().back(), "📖 DiffTracker: element no longer readable, stopping");
    EXPECT_FALSE(t.tracker->isTracking());
}

TEST(DiffTracker, StaysIdleWithoutAFocusedElement) {
    Tracking t;
    t.accessibility->focused.reset();
    t.tracker->startTracking("text", "text");
    t.at(5s);
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{"📖 DiffTracker: no focused element, skipping"});
    EXPECT_FALSE(t.tracker->isTracking());
}

TEST(DiffTracker, AStartReplacedBeforeItsFirstReadLeavesOnePollTimer) {
    Tracking t;
    t.insert("", "first text");
    t.at(100ms);
    t.insert("", "second text here");
    t.at(3s);
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{"📖 DiffTracker: started (injected 3 words)"});
    // First read at 0.4 s, then one poll every 0.5 s up to 2.9 s.
    EXPECT_EQ(t.field().reads, 1 + 5);
    t.tracker->stopTracking();
    t.at(10s);
    EXPECT_EQ(t.field().reads, 6);
}
