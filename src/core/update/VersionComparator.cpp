#include "core/update/VersionComparator.h"

#include "core/text/Text.h"

#include <unicode/uchar.h>

#include <limits>
#include <string>
#include <vector>

namespace parlune {
namespace {

enum class Kind { number, text, separator };

Kind kindOf(char32_t c) {
    if (c == U'.') return Kind::separator;
    if (u_isdigit(static_cast<UChar32>(c))) return Kind::number;
    if (isWhitespaceOrNewline(c) || isUnicodePunctuation(c)) return Kind::separator;
    return Kind::text;
}

struct Run {
    Kind kind;
    std::u32string characters;
    std::string utf8;
};

std::vector<Run> split(std::string_view version) {
    std::vector<Run> runs;
    for (char32_t c : codePoints(version)) {
        const Kind kind = kindOf(c);
        if (runs.empty() || runs.back().kind != kind || kind == Kind::separator) {
            runs.push_back(Run{kind, std::u32string(1, c), fromCodePoint(c)});
        } else {
            runs.back().characters.push_back(c);
            runs.back().utf8 += fromCodePoint(c);
        }
    }
    return runs;
}

long long numberValue(const std::u32string& digits) {
    long long value = 0;
    for (char32_t c : digits) {
        const int digit = u_charDigitValue(static_cast<UChar32>(c));
        if (value > (std::numeric_limits<long long>::max() - digit) / 10) return std::numeric_limits<long long>::max();
        value = value * 10 + digit;
    }
    return value;
}

int sign(long long difference) { return difference < 0 ? -1 : (difference > 0 ? 1 : 0); }

}  // namespace

int VersionComparator::compare(std::string_view a, std::string_view b) {
    const auto runsA = split(a);
    const auto runsB = split(b);
    const std::size_t common = std::min(runsA.size(), runsB.size());
    for (std::size_t i = 0; i < common; ++i) {
        const Run& runA = runsA[i];
        const Run& runB = runsB[i];
        if (runA.kind == runB.kind) {
            if (runA.kind == Kind::number) {
                const long long valueA = numberValue(runA.characters);
                const long long valueB = numberValue(runB.characters);
                if (valueA != valueB) return valueA < valueB ? -1 : 1;
            } else if (runA.kind == Kind::text) {
                const int order = toUtf16(runA.utf8).compare(toUtf16(runB.utf8));
                if (order != 0) return sign(order);
            }
            continue;
        }
        if (runA.kind != Kind::text && runB.kind == Kind::text) return 1;
        if (runA.kind == Kind::text && runB.kind != Kind::text) return -1;
        return runA.kind == Kind::number ? 1 : -1;  // a number against a separator
    }
    if (runsA.size() == runsB.size()) return 0;
    const bool aLonger = runsA.size() > runsB.size();
    const Run& next = aLonger ? runsA[common] : runsB[common];
    const int longerIsNewer = next.kind == Kind::text ? -1 : 1;
    return aLonger ? longerIsNewer : -longerIsNewer;
}

}  // namespace parlune
