#include "linux/spelling/HunspellSpellChecker.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <hunspell/hunspell.hxx>
#include <unicode/unistr.h>

#include <system_error>

namespace parlune {
namespace {

constexpr const char* dictionaryName = "en_US";

// Typographic apostrophes and hyphens in the plain forms the dictionary uses.
std::string plainPunctuation(const std::string& word) {
    std::string result;
    for (char32_t c : codePoints(word)) {
        if (c == U'\u2019' || c == U'\u02BC') {
            result += '\'';
        } else if (c == U'\u2010' || c == U'\u2011') {
            result += '-';
        } else {
            result += fromCodePoint(c);
        }
    }
    return result;
}

}  // namespace

std::vector<std::filesystem::path> HunspellSpellChecker::defaultFolders() {
    return {"/usr/share/hunspell", "/usr/share/myspell", "/usr/share/myspell/dicts"};
}

HunspellSpellChecker::HunspellSpellChecker(std::vector<std::filesystem::path> folders) : folders_(std::move(folders)) {}

bool HunspellSpellChecker::isAvailable() {
    load();
    return hunspell_ != nullptr;
}

void HunspellSpellChecker::load() {
    if (loaded_) return;
    loaded_ = true;
    for (const auto& folder : folders_) {
        const auto affix = folder / (std::string(dictionaryName) + ".aff");
        const auto words = folder / (std::string(dictionaryName) + ".dic");
        std::error_code error;
        if (!std::filesystem::is_regular_file(affix, error) || !std::filesystem::is_regular_file(words, error)) continue;
        hunspell_ = std::make_unique<Hunspell>(affix.c_str(), words.c_str());
        encoding_ = hunspell_->get_dict_encoding();
        return;
    }
    log::line("⚠️ Spell checker: no en_US Hunspell dictionary found (install hunspell-en-us); every correction will be proposed");
}

HunspellSpellChecker::~HunspellSpellChecker() = default;

bool HunspellSpellChecker::accepts(const std::string& utf8Word) {
    if (encoding_ == "UTF-8" || encoding_ == "utf-8") return hunspell_->spell(utf8Word);
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(utf8Word);
    std::string converted(static_cast<std::size_t>(unicode.length()) * 4 + 1, '\0');
    const auto length = unicode.extract(0, unicode.length(), converted.data(), static_cast<uint32_t>(converted.size()),
                                        encoding_.c_str());
    if (length < 0 || static_cast<std::size_t>(length) >= converted.size()) return false;
    converted.resize(static_cast<std::size_t>(length));
    return hunspell_->spell(converted);
}

bool HunspellSpellChecker::isKnownEnglishWord(const std::string& word) {
    load();
    if (!hunspell_ || word.empty()) return false;
    const std::string plain = plainPunctuation(word);
    if (!accepts(plain)) return false;
    std::size_t start = 0;
    while (start <= plain.size()) {
        std::size_t end = plain.find('-', start);
        if (end == std::string::npos) end = plain.size();
        if (end > start && !accepts(plain.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace parlune
