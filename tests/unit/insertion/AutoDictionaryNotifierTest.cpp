// The dictionary proposal: its panel, the four-second acceptance and the ways it is withdrawn,
// driven through AppState's correction handler on virtual time.

#include "core/insertion/AutoDictionaryNotifier.h"
#include "fakes/SessionHarness.h"
#include "unit/insertion/InsertionFakes.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::fakes;
using namespace std::chrono_literals;

namespace {

struct Proposals {
    Proposals() {
        notifier = AutoDictionaryNotifier::create(h.loop, panels);
        auto bundle = h.bundle();
        bundle.autoDictionaryNotifier = notifier;
        h.app = AppState::create(bundle);
        h.loop.runUntilIdle();
        h.log.clear();
    }
    void correct(const std::string& original, const std::string& corrected) { h.tracker->onCorrection(original, corrected); }
    const std::vector<std::string>& dictionary() { return h.app->dictionaryWords().get(); }

    SessionHarness h;
    std::shared_ptr<FakePanels> panels = std::make_shared<FakePanels>();
    std::shared_ptr<AutoDictionaryNotifier> notifier;
};

}  // namespace

TEST(AutoDictionaryNotifier, AddsTheWordAfterFourSecondsWithoutInteraction) {
    Proposals p;
    p.h.app->addDictionaryWord("Parlune");
    p.correct("Kubernetis", "Kubernetes.");
    ASSERT_EQ(p.panels->made.size(), 1u);
    const auto& panel = *p.panels->made[0];
    EXPECT_EQ(panel.content.word, "Kubernetes");
    EXPECT_EQ(panel.content.duration, 4s);
    EXPECT_FALSE(panel.style.keepVisibleWhileHovered);
    EXPECT_EQ(panel.style.animationDuration, 550ms);
    EXPECT_EQ(panel.shows, std::vector<std::chrono::milliseconds>{0ms});

    p.h.loop.advance(3999ms);
    EXPECT_TRUE(panel.visible);
    EXPECT_EQ(p.dictionary().size(), 1u);
    p.h.loop.advance(1ms);
    EXPECT_FALSE(panel.visible);
    EXPECT_EQ(p.dictionary(), (std::vector<std::string>{"Kubernetes", "Parlune"}));
    EXPECT_EQ(p.h.log.lines(), (std::vector<std::string>{
                                   "📖 Auto-dictionary: 'Kubernetis' -> 'Kubernetes'",
                                   "📖 AutoDictionary: suggesting 'Kubernetes' (auto-adds in 4s)",
                                   "📖 Auto-dictionary: added 'Kubernetes' to dictionary",
                                   "📖 AutoDictionary: auto-added 'Kubernetes' to dictionary",
                               }));
}

TEST(AutoDictionaryNotifier, TrashHidesThePanelAndAddsNothing) {
    Proposals p;
    p.correct("Kubernetis", "Kubernetes");
    p.h.loop.advance(2s);
    p.panels->made[0]->content.onTrash();
    EXPECT_FALSE(p.panels->made[0]->visible);
    p.h.loop.advance(10s);
    EXPECT_TRUE(p.dictionary().empty());
    EXPECT_EQ(p.h.log.lines().back(), "📖 AutoDictionary: 'Kubernetes' rejected by user");
}

TEST(AutoDictionaryNotifier, ANewDictationWithdrawsTheProposal) {
    Proposals p;
    p.correct("Kubernetis", "Kubernetes");
    p.h.loop.advance(1s);
    p.h.monitor->press();
    p.h.loop.runUntilIdle();
    EXPECT_FALSE(p.panels->made[0]->visible);
    p.h.loop.advance(10s);
    EXPECT_TRUE(p.dictionary().empty());
}

TEST(AutoDictionaryNotifier, ASecondProposalReplacesTheFirstInAFreshPanel) {
    Proposals p;
    p.correct("Kubernetis", "Kubernetes");
    p.h.loop.advance(3s);
    p.correct("Jon", "Jonh");
    ASSERT_EQ(p.panels->made.size(), 2u);
    EXPECT_FALSE(p.panels->made[0]->visible);
    EXPECT_TRUE(p.panels->made[1]->visible);
    p.h.loop.advance(3999ms);
    EXPECT_TRUE(p.dictionary().empty());
    p.h.loop.advance(1ms);
    EXPECT_EQ(p.dictionary(), std::vector<std::string>{"Jonh"});
}
