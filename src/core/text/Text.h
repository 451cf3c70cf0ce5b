#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Unicode text helpers over UTF-8 strings. Every function accepts ill-formed UTF-8 without
// failing; ill-formed sequences count as U+FFFD. "Characters" are user-perceived characters
// (extended grapheme clusters). All functions are thread-safe.
namespace parlune {

// Number of user-perceived characters.
std::size_t characterCount(std::string_view text);

// The last `count` user-perceived characters; the whole text when it has fewer.
std::string lastCharacters(std::string_view text, std::size_t count);

// The first `count` user-perceived characters; the whole text when it has fewer.
std::string firstCharacters(std::string_view text, std::size_t count);

// True for Unicode white space and line breaks (tab, line feed, U+00A0, U+0085, U+2028, U+2029,
// U+3000, ...).
bool isWhitespaceOrNewline(char32_t codePoint);

// The text without white space and line breaks at either end; the inner text is kept byte for byte.
std::string trimWhitespaceAndNewlines(std::string_view text);

// Full Unicode case mapping in the root locale ("ß" upper-cases to "SS").
std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);

// True for the general categories Pc, Pd, Ps, Pe, Pi, Pf and Po.
bool isUnicodePunctuation(char32_t codePoint);

// Compares by the collation of the user's locale (the root collation when there is none), ignoring
// case but not accents: <0, 0 or >0.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);
bool localizedCaseInsensitiveEquals(std::string_view a, std::string_view b);

// UTF-16 views of the text, as counted by accessibility interfaces.
std::size_t utf16Length(std::string_view text);
std::u16string toUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string fromUtf16(std::u16string_view text);

// The code points of the text.
std::vector<char32_t> codePoints(std::string_view text);
// UTF-8 encoding of one code point; U+FFFD for surrogates and values above U+10FFFF.
std::string fromCodePoint(char32_t codePoint);

}  // namespace parlune
