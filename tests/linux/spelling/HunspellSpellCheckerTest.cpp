// The known-word test over Debian's en_US Hunspell dictionary.

#include "fakes/Process.h"
#include "fakes/SessionHarness.h"
#include "linux/spelling/HunspellSpellChecker.h"

#include <gtest/gtest.h>

using namespace parlune;

TEST(HunspellSpellChecker, KnowsEnglishWordsButNotNamesBrandsOrJargon) {
    HunspellSpellChecker checker;
    ASSERT_TRUE(checker.isAvailable());
    struct Case {
        const char* word;
        bool known;
    };
    const std::vector<Case> cases = {
        {"their", true},          {"Hello", true},           {"Cooper's", true},        {"didn't", true},
        {"isn't", true},          {"didn’t", true},          {"well-known", true},      {"mother-in-law", true},
        {"well‐known", true},     {"Kubernetes", false},     {"Kuper's", false},        {"Kuper’s", false},
        {"teh", false},           {"Kubernetes-ready", false}, {"well-knwon", false},   {"Zoë", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(checker.isKnownEnglishWord(c.word), c.known) << c.word;
}

TEST(HunspellSpellChecker, WithoutADictionaryNoWordIsKnown) {
    fakes::CapturedLog log;
    parlune::testing::TemporaryFolder empty;
    HunspellSpellChecker checker(std::vector<std::filesystem::path>{empty.path()});
    EXPECT_FALSE(checker.isKnownEnglishWord("their"));
    EXPECT_EQ(log.lines(), std::vector<std::string>{
                               "⚠️ Spell checker: no en_US Hunspell dictionary found (install hunspell-en-us); every correction will be proposed"});
}
