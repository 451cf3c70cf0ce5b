#include "core/text/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {
namespace {

// Family of four joined with zero-width joiners: seven code points, one character.
constexpr std::string_view family = "👨‍👩‍👧‍👦";
// Woman technologist: woman, zero-width joiner, laptop.
constexpr std::string_view technologist = "👩‍💻";
// A thumbs up with a skin-tone modifier.
constexpr std::string_view thumbsUp = "👍🏽";
// "e" followed by U+0301 COMBINING ACUTE ACCENT.
constexpr std::string_view decomposedE = "e\u0301";

TEST(CharacterCount, CountsUserPerceivedCharacters) {
    const struct {
        std::string_view text;
        std::size_t count;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"caf\u00e9", 4},
        {"cafe\u0301", 4},
        {"a\u0301\u0316\u0330", 1},  // several combining marks on one letter
        {family, 1},
        {"a👨‍👩‍👧‍👦b", 3},
        {technologist, 1},
        {thumbsUp, 1},
        {"🇫🇷", 1},
        {"🇫🇷🇩🇪🇯🇵", 3},
        {"\r\n", 1},
        {"\n\r", 2},
        {"\u1100\u1161\u11a8", 1},  // Hangul syllable from conjoining jamo
        {"日本語", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(characterCount(c.text), c.count);
    }
}

TEST(CharacterSlices, TakeWholeClustersFromEitherEnd) {
    const std::string flags = "🇫🇷🇩🇪";
    const std::string mixed = std::string("ok ") + std::string(family) + std::string(decomposedE);
    const struct {
        std::string text;
        std::size_t count;
        std::string first;
        std::string last;
    } cases[] = {
        {"hello", 2, "he", "lo"},
        {"hello", 0, "", ""},
        {"hello", 5, "hello", "hello"},
        {"hello", 50, "hello", "hello"},
        {"", 3, "", ""},
        {flags, 1, "🇫🇷", "🇩🇪"},
        {mixed, 1, "o", std::string(decomposedE)},
        {mixed, 2, "ok", std::string(family) + std::string(decomposedE)},
        {std::string(technologist) + "!", 1, std::string(technologist), "!"},
        {"x" + std::string(thumbsUp), 1, "x", std::string(thumbsUp)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " / " + std::to_string(c.count));
        EXPECT_EQ(firstCharacters(c.text, c.count), c.first);
        EXPECT_EQ(lastCharacters(c.text, c.count), c.last);
    }
}

TEST(Whitespace, RecognisesUnicodeSpacesAndLineBreaks) {
    const char32_t spaces[] = {U' ',     U'\t',    U'\n',    U'\r',    0x0B,    0x0C,    0x85,
                               0xA0,     0x1680,   0x2003,   0x2028,   0x2029,  0x202F,  0x3000};
    for (const char32_t c : spaces) {
        EXPECT_TRUE(isWhitespaceOrNewline(c)) << std::hex << static_cast<unsigned>(c);
    }
    const char32_t others[] = {U'a', U'_', U'0', 0x200B, 0xFEFF, 0x1F600, 0x110000};
    for (const char32_t c : others) {
        EXPECT_FALSE(isWhitespaceOrNewline(c)) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Whitespace, TrimsBothEndsAndKeepsTheInside) {
    const struct {
        std::string_view text;
        std::string_view trimmed;
    } cases[] = {
        {"", ""},
        {"word", "word"},
        {"  \t\n", ""},
        {"\t hello world \n", "hello world"},
        {"\u00a0nbsp\u00a0", "nbsp"},
        {"\u2028line\u2029", "line"},
        {"\u3000全角\u3000", "全角"},
        {"\r\n\v\f x \u0085", "x"},
        {" inner  \t spaces\nkept ", "inner  \t spaces\nkept"},
        {"\u200bzero width\u200b", "\u200bzero width\u200b"},
        {" 👨‍👩‍👧‍👦 ", family},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(trimWhitespaceAndNewlines(c.text), c.trimmed);
    }
}

TEST(CaseMapping, MapsFullUnicodeCase) {
    const struct {
        std::string_view text;
        std::string_view upper;
        std::string_view lower;
    } cases[] = {
        {"", "", ""},
        {"abc XYZ 123", "ABC XYZ 123", "abc xyz 123"},
        {"\u00e9", "\u00c9", "\u00e9"},
        {"Stra\u00dfe", "STRASSE", "stra\u00dfe"},
        {"\ufb01le", "FILE", "\ufb01le"},
        {"\u0391\u03a3\u0391\u03a3", "\u0391\u03a3\u0391\u03a3", "\u03b1\u03c3\u03b1\u03c2"},  // final sigma
        {"\u01c5", "\u01c4", "\u01c6"},  // title-case digraph
        {family, family, family},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(toUpper(c.text), c.upper);
        EXPECT_EQ(toLower(c.text), c.lower);
    }
}

TEST(Punctuation, CoversEveryPunctuationCategoryOnly) {
    const char32_t punctuation[] = {
        U'.', U',', U'!', U'?', U';', U'\'', U'"',  // Po
        U'_', 0x203F,                               // Pc
        U'-', 0x2014, 0x2013,                       // Pd
        U'(', U'[', U'{',                           // Ps
        U')', U']', U'}',                           // Pe
        0xAB, 0x201C,                               // Pi: « “
        0xBB, 0x201D,                               // Pf: » ”
        0xBF, 0x3001, 0x3002,                       // Po: ¿ 、 。
    };
    for (const char32_t c : punctuation) {
        EXPECT_TRUE(isUnicodePunctuation(c)) << std::hex << static_cast<unsigned>(c);
    }
    const char32_t others[] = {U'$', U'+', U'^', U'`', U'|', U'~', U'<', U'a', U'0', U' ', 0x20AC, 0x1F600};
    for (const char32_t c : others) {
        EXPECT_FALSE(isUnicodePunctuation(c)) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Collation, IgnoresCaseButNotAccents) {
    const struct {
        std::string_view a;
        std::string_view b;
        bool equal;
    } cases[] = {
        {"safari", "Safari", true},
        {"HELLO world", "hello WORLD", true},
        {"\u00c9cole", "\u00e9cole", true},
        {"", "", true},
        {"r\u00e9sum\u00e9", "resume", false},
        {"r\u00e9sum\u00e9", "R\u00c9SUM\u00c9", true},
        {"cafe", "caf\u00e9", false},
        {"apple", "apples", false},
        {"apple", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
        EXPECT_EQ(localizedCaseInsensitiveEquals(c.a, c.b), c.equal);
        EXPECT_EQ(localizedCaseInsensitiveCompare(c.a, c.b) == 0, c.equal);
        EXPECT_EQ(localizedCaseInsensitiveCompare(c.a, c.b), -localizedCaseInsensitiveCompare(c.b, c.a));
    }
}

TEST(Collation, OrdersAlphabeticallyRegardlessOfCase) {
    const struct {
        std::string_view smaller;
        std::string_view larger;
    } cases[] = {
        {"apple", "Banana"},
        {"Apple", "banana"},
        {"zebra", "Zucchini"},
        {"resume", "r\u00e9sum\u00e9"},
        {"a", "ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.smaller) + " < " + std::string(c.larger));
        EXPECT_LT(localizedCaseInsensitiveCompare(c.smaller, c.larger), 0);
        EXPECT_GT(localizedCaseInsensitiveCompare(c.larger, c.smaller), 0);
    }
}

TEST(Utf16, CountsCodeUnitsAndRoundTrips) {
    const struct {
        std::string_view text;
        std::size_t units;
    } cases[] = {
        {"", 0}, {"abc", 3}, {"\u00e9", 1}, {decomposedE, 2}, {"😀", 2}, {family, 11}, {"🇫🇷", 4}, {"日本", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(utf16Length(c.text), c.units);
        const std::u16string utf16 = toUtf16(c.text);
        EXPECT_EQ(utf16.size(), c.units);
        EXPECT_EQ(fromUtf16(utf16), c.text);
    }
    EXPECT_EQ(toUtf16("a😀"), (std::u16string{u'a', 0xD83D, 0xDE00}));
}

TEST(Utf16, ReplacesUnpairedSurrogates) {
    EXPECT_EQ(fromUtf16(std::u16string{u'a', 0xD800, u'b'}), "a\ufffdb");
    EXPECT_EQ(fromUtf16(std::u16string{0xDC00}), "\ufffd");
}

TEST(CodePoints, DecodeAndEncode) {
    const struct {
        char32_t codePoint;
        std::string_view utf8;
    } cases[] = {
        {U'a', "a"}, {0xE9, "\u00e9"}, {0x20AC, "\u20ac"}, {0x1F600, "😀"}, {0x10FFFF, "\U0010ffff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(fromCodePoint(c.codePoint), c.utf8);
        EXPECT_EQ(codePoints(c.utf8), std::vector<char32_t>{c.codePoint});
    }
    EXPECT_EQ(codePoints(decomposedE), (std::vector<char32_t>{U'e', 0x301}));
    for (const char32_t invalid : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}) {
        EXPECT_EQ(fromCodePoint(invalid), "\ufffd");
    }
}

TEST(IllFormedUtf8, IsReadAsReplacementCharacters) {
    const std::string_view cases[] = {
        "\xff",
        "\xc3",                 // truncated two-byte sequence
        "a\xe2\x82",            // truncated three-byte sequence
        "\xc0\xaf",             // overlong encoding
        "\xed\xa0\x80",         // encoded surrogate
        "\xf4\x90\x80\x80",     // beyond U+10FFFF
        " \x80 text \xfe ",
    };
    for (const std::string_view text : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(text)));
        const std::vector<char32_t> points = codePoints(text);
        EXPECT_NE(std::find(points.begin(), points.end(), char32_t{0xFFFD}), points.end());
        EXPECT_GE(characterCount(text), 1u);
        EXPECT_LE(characterCount(text), points.size());
        EXPECT_EQ(utf16Length(text), points.size());
        EXPECT_EQ(toUtf16(text).size(), points.size());
        EXPECT_NE(toUpper(text).find("\ufffd"), std::string::npos);
        EXPECT_NE(toLower(text).find("\ufffd"), std::string::npos);
        EXPECT_EQ(codePoints(fromUtf16(toUtf16(text))), points);
        EXPECT_EQ(lastCharacters(text, 100), text);
        EXPECT_EQ(firstCharacters(text, 100), text);
        EXPECT_FALSE(trimWhitespaceAndNewlines(text).empty());
        EXPECT_TRUE(localizedCaseInsensitiveEquals(text, text));
    }
}

}  // namespace
}  // namespace parlune
