#include "linux/speech/KnownCapitals.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <hunspell.hxx>

#include <fstream>
#include <set>
#include <system_error>

namespace parlune {
namespace fs = std::filesystem;

fs::path KnownCapitals::defaultDictionary() { return "/usr/share/hunspell/en_US"; }

KnownCapitals::KnownCapitals(const fs::path& dictionary) {
    const fs::path aff = fs::path(dictionary).replace_extension(".aff");
    const fs::path dic = fs::path(dictionary).replace_extension(".dic");
    std::error_code ignored;
    if (!fs::is_regular_file(aff, ignored) || !fs::is_regular_file(dic, ignored)) {
        log::line("⚠️ Spelling dictionary " + dic.string() + " not found (Debian package hunspell-en-us): transcripts keep lower-case names");
        return;
    }
    hunspell_ = std::make_unique<Hunspell>(aff.c_str(), dic.c_str());

    // The dictionary's stems written with capitals, unless the same word is also a lower-case stem
    // ("I" and "i", "John" and "john").
    std::map<std::string, std::string> capitalised;
    std::set<std::string> lowerCase;
    std::ifstream file(dic);
    std::string line;
    std::getline(file, line);  // the entry count
    while (std::getline(file, line)) {
        const std::string stem = line.substr(0, line.find('/'));
        if (stem.empty()) continue;
        const std::string lower = toLower(stem);
        if (lower == stem) {
            lowerCase.insert(stem);
        } else {
            capitalised.emplace(lower, stem);
        }
    }
    for (auto& [lower, stem] : capitalised) {
        if (!lowerCase.count(lower)) stems_.emplace(lower, std::move(stem));
    }
}

KnownCapitals::~KnownCapitals() = default;

std::optional<std::string> KnownCapitals::operator()(const std::string& word) const {
    if (!hunspell_ || word.empty()) return std::nullopt;
    if (auto stem = stems_.find(word); stem != stems_.end()) return stem->second;
    if (hunspell_->spell(word)) return std::nullopt;
    // Inflected forms of capitalised stems: "fridays" -> "Fridays".
    const std::string first = firstCharacters(word, 1);
    std::string capital = toUpper(first) + word.substr(first.size());
    if (capital != word && hunspell_->spell(capital)) return capital;
    return std::nullopt;
}

}  // namespace parlune
