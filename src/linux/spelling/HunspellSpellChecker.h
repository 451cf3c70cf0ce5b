#pragma once

#include "core/session/Workers.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class Hunspell;

namespace parlune {

// Tells English words from names, brands and jargon with Hunspell's en_US dictionary. A word is
// known when Hunspell accepts it and, for a hyphenated word, every part on its own; apostrophes
// (typographic or straight) are left to the dictionary, which lists contractions and possessives.
class HunspellSpellChecker final : public ISpellChecker {
public:
    // Looks for en_US.aff and en_US.dic in `folders`, in order, at the first question. Without a
    // dictionary no word is known (and one line says so).
    explicit HunspellSpellChecker(std::vector<std::filesystem::path> folders = defaultFolders());
    ~HunspellSpellChecker() override;
    HunspellSpellChecker(const HunspellSpellChecker&) = delete;
    HunspellSpellChecker& operator=(const HunspellSpellChecker&) = delete;

    static std::vector<std::filesystem::path> defaultFolders();
    bool isAvailable();

    bool isKnownEnglishWord(const std::string& word) override;

private:
    void load();
    bool accepts(const std::string& utf8Word);

    std::vector<std::filesystem::path> folders_;
    bool loaded_ = false;
    std::unique_ptr<Hunspell> hunspell_;
    std::string encoding_;  // of the dictionary; words are converted to it
};

}  // namespace parlune
