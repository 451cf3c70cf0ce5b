#pragma once

#include "linux/spelling/HunspellSpellChecker.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlune {

// Capitals that Hunspell's en_US dictionary knows for a lower-case word: "friday" -> "Friday",
// "github" -> "GitHub", "nasa" -> "NASA"; words the dictionary also knows in lower case stay as they
// are. Without the dictionary nothing is capitalised. Use from one thread at a time.
class KnownCapitals {
public:
    // Looks for en_US.aff and en_US.dic in `folders`, in order.
    explicit KnownCapitals(std::vector<std::filesystem::path> folders = HunspellSpellChecker::defaultFolders());

    bool isLoaded() const { return loaded_; }
    std::optional<std::string> operator()(const std::string& word);

private:
    std::optional<HunspellSpellChecker> checker_;
    bool loaded_ = false;
    std::unordered_map<std::string, std::string> stems_;  // lower-case form -> the dictionary's capitals
};

}  // namespace parlune
