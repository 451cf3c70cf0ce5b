#include "core/speech/TranscriptFormatter.h"

#include "core/text/Text.h"

#include <set>

namespace parlune {
namespace {

std::vector<std::string> splitAtWhitespace(std::string_view text) {
    std::vector<std::string> words;
    std::string current;
    for (char32_t c : codePoints(text)) {
        if (isWhitespaceOrNewline(c)) {
            if (!current.empty()) words.push_back(std::move(current));
            current.clear();
        } else {
            current += fromCodePoint(c);
        }
    }
    if (!current.empty()) words.push_back(std::move(current));
    return words;
}

std::string stripSurroundingPunctuation(const std::string& word) {
    auto points = codePoints(word);
    std::size_t begin = 0;
    std::size_t end = points.size();
    while (begin < end && isUnicodePunctuation(points[begin])) ++begin;
    while (end > begin && isUnicodePunctuation(points[end - 1])) --end;
    std::string result;
    for (std::size_t i = begin; i < end; ++i) result += fromCodePoint(points[i]);
    return result;
}

std::string upperFirst(const std::string& word) {
    const std::string first = firstCharacters(word, 1);
    return toUpper(first) + word.substr(first.size());
}

}  // namespace

std::vector<HintWord> hintWords(const std::vector<std::string>& contextualStrings) {
    std::vector<HintWord> words;
    std::set<std::string> seen;
    for (const auto& entry : contextualStrings) {
        for (const auto& piece : splitAtWhitespace(entry)) {
            std::string spelling = stripSurroundingPunctuation(piece);
            if (spelling.empty()) continue;
            std::string key = toLower(spelling);
            if (seen.insert(key).second) words.push_back({std::move(spelling), std::move(key)});
        }
    }
    return words;
}

TranscriptFormatter::TranscriptFormatter(const std::vector<std::string>& contextualStrings, KnownCapitals knownCapitals)
    : knownCapitals_(std::move(knownCapitals)) {
    for (auto& word : hintWords(contextualStrings)) hints_.emplace(std::move(word.key), std::move(word.spelling));
}

std::string TranscriptFormatter::spell(const std::string& word) const {
    if (auto hint = hints_.find(word); hint != hints_.end()) return hint->second;
    if (word == "i" || word.starts_with("i'")) return "I" + word.substr(1);
    if (knownCapitals_) {
        if (auto capitalised = knownCapitals_(word)) return *capitalised;
    }
    return word;
}

std::string TranscriptFormatter::format(std::string_view words, bool addsPunctuation) const {
    std::string text;
    for (const auto& word : splitAtWhitespace(words)) {
        std::string spelled = spell(word);
        // "iPhone" keeps its spelling at the start; a plain lower-case word gets its capital.
        if (text.empty() && spelled == toLower(spelled)) spelled = upperFirst(spelled);
        if (!text.empty()) text += ' ';
        text += spelled;
    }
    if (addsPunctuation && !text.empty()) {
        const auto points = codePoints(text);
        if (!isUnicodePunctuation(points.back())) text += '.';
    }
    return text;
}

}  // namespace parlune
