#include "core/speech/TranscriptFormatter.h"

#include <gtest/gtest.h>

#include <map>

using namespace parlune;

TEST(TranscriptFormatter, FormatsRecognisedWordsSimplyAndPredictably) {
    const std::map<std::string, std::string> capitals{{"friday", "Friday"}, {"nasa", "NASA"}, {"iphone", "iPhone"}};
    const TranscriptFormatter formatter({"GitHub", "  Parlune, ", "kubernetes"}, [&](const std::string& word) {
        auto found = capitals.find(word);
        return found == capitals.end() ? std::nullopt : std::optional(found->second);
    });
    const struct {
        const char* words;
        bool punctuation;
        const char* expected;
    } cases[] = {
        {"see you on friday", true, "See you on Friday."},
        {"i think i'm late and i'll call", true, "I think I'm late and I'll call."},
        {"push it to github with parlune", true, "Push it to GitHub with Parlune."},
        {"kubernetes is up", true, "Kubernetes is up."},  // a hint spelled in lower case still starts the sentence upper-case
        {"iphone photos from nasa", true, "iPhone photos from NASA."},
        {"  two   spaces ", false, "Two spaces"},
        {"", true, ""},
        {"élan vital", true, "Élan vital."},
    };
    for (const auto& each : cases) EXPECT_EQ(formatter.format(each.words, each.punctuation), each.expected) << each.words;
}

TEST(TranscriptFormatter, HintWordsAreSplitStrippedAndKeptOnce) {
    const auto words = hintWords({"New York", "GitHub!", "github", "(Zoë)", "...", ""});
    std::vector<std::string> keys;
    std::vector<std::string> spellings;
    for (const auto& word : words) {
        keys.push_back(word.key);
        spellings.push_back(word.spelling);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"new", "york", "github", "zoë"}));
    EXPECT_EQ(spellings, (std::vector<std::string>{"New", "York", "GitHub", "Zoë"}));
}
