#include "core/cleanup/TextProcessor.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace parlune;

namespace {

std::string prompt(WritingStyle style, const std::vector<std::string>& words = {},
                   const std::optional<std::string>& preceding = std::nullopt) {
    return TextProcessor::buildSystemPrompt(style, words, preceding);
}

std::string repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

// Fixed parts, in UTF-8 bytes: base text, context header, one style block, dictionary header,
// critical rules.
constexpr std::size_t base = 743, contextHeader = 810, dictionaryHeader = 198, critical = 528;

}  // namespace

TEST(SystemPrompt, EachStyleAloneIsBaseStyleAndCriticalRules) {
    const std::pair<WritingStyle, std::size_t> cases[] = {
        {WritingStyle::casual, 189}, {WritingStyle::standard, 177}, {WritingStyle::formal, 231}};
    for (const auto& [style, styleBytes] : cases) {
        const std::string text = prompt(style);
        EXPECT_EQ(text.size(), base + styleBytes + critical) << style;
        EXPECT_TRUE(text.starts_with("You are Parlune, a transcription cleanup assistant. Your task"));
        EXPECT_NE(text.find("naturally.\n\nWRITING STYLE — " + std::string(rawValue(style)) + ":\n- "), std::string::npos);
        EXPECT_TRUE(text.ends_with("\n\nYour entire response must be exactly the cleaned text, ready for immediate "
                                   "insertion. Nothing more, nothing less."));
        EXPECT_EQ(text.find('\r'), std::string::npos);
    }
    EXPECT_EQ(prompt(WritingStyle::casual).size(), 1460u);
    EXPECT_NE(prompt(WritingStyle::casual).find("- Make everything lowercase\n\nCRITICAL: Your response"),
              std::string::npos)
        << "without a dictionary the style block runs straight into the critical block";
}

TEST(SystemPrompt, PrecedingTextIsFramedOnlyWhenPresentAndNotEmpty) {
    EXPECT_EQ(prompt(WritingStyle::casual, {}, std::nullopt), prompt(WritingStyle::casual));
    EXPECT_EQ(prompt(WritingStyle::casual, {}, std::string()), prompt(WritingStyle::casual));

    const std::string withSpace = prompt(WritingStyle::casual, {}, std::string(" "));
    EXPECT_EQ(withSpace.size(), 1460 + contextHeader + 1 + 3);
    EXPECT_NE(withSpace.find("naturally.\n\nPRECEDING CONTEXT — The text field"), std::string::npos);
    EXPECT_NE(withSpace.find("do NOT include it in your output):\n\"\"\" \"\"\"\n\nWRITING STYLE — Casual:"),
              std::string::npos);
}

TEST(SystemPrompt, PrecedingTextIsTheLast300CharactersAsRead) {
    const std::string accented = "e\u0301";             // one character, two code points
    const std::string family = "👨‍👩‍👧";  // one character, five code points
    const struct {
        std::string preceding;
        std::string framed;
    } cases[] = {
        {"X" + repeat(accented, 300), repeat(accented, 300)},  // 301 characters lose the first
        {repeat(family, 300), repeat(family, 300)},            // exactly 300 are kept whole
        {"Dear team,\n", "Dear team,\n"},                      // a final line feed stays before the quotes
        {"She said \"\"\"hi\"\"\" ", "She said \"\"\"hi\"\"\" "},  // quotes are not escaped
        {"\n \n", "\n \n"},                                     // only white space is still text
    };
    for (const auto& [preceding, framed] : cases) {
        const std::string text = prompt(WritingStyle::formal, {}, preceding);
        EXPECT_NE(text.find("output):\n\"\"\"" + framed + "\"\"\"\n\nWRITING STYLE — Formal:"), std::string::npos)
            << preceding.substr(0, 20);
        EXPECT_EQ(text.size(), base + contextHeader + framed.size() + 3 + 231 + critical);
    }
}

TEST(SystemPrompt, DictionaryWordsFollowTheHeaderOnOneLineAsWritten) {
    const std::string text = prompt(WritingStyle::standard, {"Kubernetes", "Nguyen"});
    EXPECT_EQ(text.size(), 743 + 177 + dictionaryHeader + 18 + critical);
    EXPECT_NE(text.find("- Keep language natural but polished\n\nCUSTOM DICTIONARY — The user has defined"),
              std::string::npos);
    EXPECT_NE(text.find("prefer the spelling listed here:\nKubernetes, Nguyen\n\nCRITICAL:"), std::string::npos);

    const std::string odd = prompt(WritingStyle::standard, {"Smith, Jr.", "\"quoted\""});
    EXPECT_NE(odd.find("listed here:\nSmith, Jr., \"quoted\"\n\nCRITICAL:"), std::string::npos);
}

TEST(SystemPrompt, BlocksComeInTheirFixedOrder) {
    const std::string text = prompt(WritingStyle::casual, {"Parlune"}, std::string("Hello"));
    std::size_t last = 0;
    for (const char* marker : {"You are Parlune", "PRECEDING CONTEXT", "\"\"\"Hello\"\"\"", "WRITING STYLE",
                               "CUSTOM DICTIONARY", "CRITICAL:", "Nothing more, nothing less."}) {
        const auto at = text.find(marker);
        ASSERT_NE(at, std::string::npos) << marker;
        EXPECT_GE(at, last) << marker;
        last = at;
    }
    EXPECT_FALSE(text.ends_with("\n"));
}
