#include "linux/speech/KnownCapitals.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <hunspell.hxx>

#include <algorithm>
#include <cctype>
#include <fstream>
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

    // The dictionary's stems written with capitals, by their lower-case form.
    std::ifstream file(dic);
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

KnownCapitals::~KnownCapitals() = default;

std::optional<std::string> KnownCapitals::operator()(const std::string& word) const {
    if (!hunspell_ || word.empty()) return std::nullopt;
    // A word the dictionary also knows in lower case stays so ("john", "i").
    if (hunspell_->spell(word)) return std::nullopt;
    if (auto stem = stems_.find(word); stem != stems_.end()) return stem->second;
    // Inflected forms of capitalised stems: "fridays" -> "Fridays".
    const std::string first = firstCharacters(word, 1);
    std::string capital = toUpper(first) + word.substr(first.size());
    if (capital != word && hunspell_->spell(capital)) return capital;
    return std::nullopt;
}

}  // namespace parlune
