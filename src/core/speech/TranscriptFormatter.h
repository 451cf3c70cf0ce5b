#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// One word of the recognition hints: the user's spelling and the lower-case form a recogniser uses.
struct HintWord {
    std::string spelling;  // "GitHub"
    std::string key;       // "github"
};

// The words of the given hint strings, split at white space, stripped of surrounding punctuation,
// each key once (the first spelling wins).
std::vector<HintWord> hintWords(const std::vector<std::string>& contextualStrings);

// Turns a recogniser's lower-case words into display text, simply and predictably: hint words in
// the user's spelling, the pronoun "I", capitals that a dictionary knows for a word, an upper-case
// first letter and, when asked for, a final full stop.
class TranscriptFormatter {
public:
    // The capitalised form of a lower-case word when it is only written that way ("friday" ->
    // "Friday"); none to keep the word as it is.
    using KnownCapitals = std::function<std::optional<std::string>(const std::string& word)>;

    TranscriptFormatter() = default;
    TranscriptFormatter(const std::vector<std::string>& contextualStrings, KnownCapitals knownCapitals);

    std::string format(std::string_view words, bool addsPunctuation) const;

private:
    std::string spell(const std::string& word) const;

    std::map<std::string, std::string> hints_;
    KnownCapitals knownCapitals_;
};

}  // namespace parlune
