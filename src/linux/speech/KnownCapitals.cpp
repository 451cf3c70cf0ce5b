#include "linux/speech/KnownCapitals.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace parlune {
namespace fs = std::filesystem;

KnownCapitals::KnownCapitals(std::vector<fs::path> folders) {
    std::error_code ignored;
    const auto found = std::find_if(folders.begin(), folders.end(), [&](const fs::path& folder) {
        return fs::is_regular_file(folder / "en_US.aff", ignored) && fs::is_regular_file(folder / "en_US.dic", ignored);
    });
    if (found == folders.end()) {
        log::line("⚠️ No en_US Hunspell dictionary found (install hunspell-en-us): transcripts keep lower-case names");
        return;
    }
    checker_.emplace(std::vector<fs::path>{*found});
    loaded_ = checker_->isAvailable();

    // The dictionary's stems written with capitals, by their lower-case form.
    std::ifstream file(*found / "en_US.dic");
    std::string line;
    std::getline(file, line);  // the entry count
    while (std::getline(file, line)) {
        const std::string stem = line.substr(0, line.find('/'));
        const bool ascii = std::all_of(stem.begin(), stem.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        std::string lower = stem;
        if (ascii) {
            for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else {
            lower = toLower(stem);
        }
        if (lower != stem) stems_.emplace(std::move(lower), stem);
    }
}

std::optional<std::string> KnownCapitals::operator()(const std::string& word) {
    if (!loaded_ || word.empty()) return std::nullopt;
    // A word the dictionary also knows in lower case stays so ("john", "i").
    if (checker_->isKnownEnglishWord(word)) return std::nullopt;
    if (auto stem = stems_.find(word); stem != stems_.end()) return stem->second;
    // Inflected forms of capitalised stems: "fridays" -> "Fridays".
    const std::string first = firstCharacters(word, 1);
    std::string capital = toUpper(first) + word.substr(first.size());
    if (capital != word && checker_->isKnownEnglishWord(capital)) return capital;
    return std::nullopt;
}

}  // namespace parlune
