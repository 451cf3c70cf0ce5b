#pragma once

#include <optional>
#include <string>

namespace parlune {

// Pronunciations of English words from flite's CMU lexicon, falling back to its letter-to-sound
// rules for words the lexicon lacks, in the phone set of the PocketSphinx US-English model
// ("kubernetes" -> "K AH B ER N IY T S"). Thread-safe.
class FlitePronouncer {
public:
    // None for a word that is not plain lower-case letters (and apostrophes), or has no pronunciation.
    std::optional<std::string> phones(const std::string& word) const;
};

}  // namespace parlune
