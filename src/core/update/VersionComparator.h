#pragma once

#include <string_view>

namespace parlune {

// Orders version strings the way update feeds expect: the strings are cut into runs of digits,
// runs of other characters, and single separators (".", white space, punctuation); runs are
// compared pairwise (numbers by value, texts by code units, a number or separator beats a text,
// a number beats a separator); when one version has more runs, a text run next makes it the older
// ("1.0b1" < "1.0"), anything else the newer ("1.0" < "1.0.1").
class VersionComparator {
public:
    // Negative when a is older than b, zero when equal, positive when newer.
    static int compare(std::string_view a, std::string_view b);
};

}  // namespace parlune
