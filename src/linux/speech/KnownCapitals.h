#pragma once

#include <filesystem>
#include <unordered_map>
#include <memory>
#include <optional>
#include <string>

class Hunspell;

namespace parlune {

// Capitals that Hunspell's dictionary knows for a lower-case word: "friday" -> "Friday",
// "github" -> "GitHub", "nasa" -> "NASA"; words the dictionary also knows in lower case stay as they
// are. Without the dictionary nothing is capitalised. Use from one thread at a time.
class KnownCapitals {
public:
    // `dictionary`: the path without extension, e.g. /usr/share/hunspell/en_US (.aff and .dic).
    explicit KnownCapitals(const std::filesystem::path& dictionary = defaultDictionary());
    ~KnownCapitals();
    KnownCapitals(const KnownCapitals&) = delete;
    KnownCapitals& operator=(const KnownCapitals&) = delete;

    static std::filesystem::path defaultDictionary();
    bool isLoaded() const { return hunspell_ != nullptr; }

    std::optional<std::string> operator()(const std::string& word) const;

private:
    std::unique_ptr<Hunspell> hunspell_;
    std::unordered_map<std::string, std::string> stems_;  // lower-case form -> the dictionary's capitals
};

}  // namespace parlune
