#include "linux/speech/FlitePronouncer.h"

extern "C" {
#include <flite/cst_lexicon.h>
#include <flite/cst_val.h>
cst_lexicon* cmu_lex_init(void);
}

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>
#include <string_view>

namespace parlune {
namespace {

// flite's lexicon is a process-wide table that is set up on first use.
std::mutex& lexiconMutex() {
    static std::mutex mutex;
    return mutex;
}

// The model's phones; flite's reduced vowels map onto their full forms.
std::optional<std::string> modelPhone(std::string_view flitePhone) {
    static const std::set<std::string, std::less<>> modelPhones{
        "aa", "ae", "ah", "ao", "aw", "ay", "b",  "ch", "d", "dh", "eh", "er", "ey", "f",  "g",  "hh", "ih", "iy", "jh",
        "k",  "l",  "m",  "n",  "ng", "ow", "oy", "p",  "r", "s",  "sh", "t",  "th", "uh", "uw", "v",  "w",  "y",  "z",  "zh"};
    std::string phone(flitePhone);
    while (!phone.empty() && std::isdigit(static_cast<unsigned char>(phone.back()))) phone.pop_back();  // stress
    if (phone == "ax") phone = "ah";
    if (phone == "axr") phone = "er";
    if (phone == "nx") phone = "n";
    if (!modelPhones.count(phone)) return std::nullopt;
    for (auto& c : phone) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return phone;
}

}  // namespace

std::optional<std::string> FlitePronouncer::phones(const std::string& word) const {
    std::string letters;
    for (char c : word) {
        if (c >= 'a' && c <= 'z') {
            letters += c;
        } else if (c != '\'') {
            return std::nullopt;
        }
    }
    if (letters.empty()) return std::nullopt;

    std::string result;
    bool complete = true;
    {
        std::lock_guard lock(lexiconMutex());
        cst_val* entry = lex_lookup(cmu_lex_init(), letters.c_str(), nullptr, nullptr);
        for (const cst_val* item = entry; item; item = val_cdr(item)) {
            const char* flitePhone = val_string(val_car(item));
            if (std::string_view(flitePhone) == "pau") continue;
            auto phone = modelPhone(flitePhone);
            if (!phone) {
                complete = false;
                break;
            }
            if (!result.empty()) result += ' ';
            result += *phone;
        }
        delete_val(entry);
    }
    if (!complete || result.empty()) return std::nullopt;
    return result;
}

}  // namespace parlune
