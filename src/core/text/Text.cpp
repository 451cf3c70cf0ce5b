#include "core/text/Text.h"

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace parlune {
namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

std::int64_t byteLength(std::string_view text) {
    return static_cast<std::int64_t>(text.size());
}

// A UText over UTF-8 text, whose native indices are byte offsets; null when it cannot be opened.
icu::LocalUTextPointer openUtf8(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    icu::LocalUTextPointer utext(utext_openUTF8(nullptr, text.data(), byteLength(text), &status));
    if (U_FAILURE(status)) {
        utext.adoptInstead(nullptr);
    }
    return utext;
}

icu::UnicodeString toUnicodeString(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

// One character break iterator per thread; break iterators must not be shared between threads.
icu::BreakIterator* characterBreaks() {
    thread_local const std::unique_ptr<icu::BreakIterator> instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> iterator(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) {
            iterator.reset();
        }
        return iterator;
    }();
    return instance.get();
}

// Calls `visit` with the character break iterator set on `text` (byte offsets as positions), or
// returns false when no iterator could be made.
template <class Visit>
bool withCharacterBreaks(std::string_view text, Visit&& visit) {
    icu::BreakIterator* iterator = characterBreaks();
    if (iterator == nullptr) {
        return false;
    }
    icu::LocalUTextPointer utext = openUtf8(text);
    if (utext.isNull()) {
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    iterator->setText(utext.getAlias(), status);
    if (U_FAILURE(status)) {
        return false;
    }
    visit(*iterator);
    return true;
}

// The locale whose collation orders text for the user. The POSIX locale's collation orders by
// code point and so tells capitals from small letters; the root collation stands in for it.
icu::Locale collationLocale() {
    const icu::Locale& locale = icu::Locale::getDefault();
    if (locale.isBogus() || std::strlen(locale.getLanguage()) == 0 || std::strcmp(locale.getVariant(), "POSIX") == 0) {
        return icu::Locale::getRoot();
    }
    return locale;
}

std::unique_ptr<icu::Collator> makeCollator() {
    for (const icu::Locale& locale : {collationLocale(), icu::Locale::getRoot()}) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
        if (U_SUCCESS(status) && collator != nullptr) {
            collator->setStrength(icu::Collator::SECONDARY);
            return collator;
        }
    }
    return nullptr;
}

// The collator is made once; each thread compares with its own copy.
icu::Collator* caseInsensitiveCollator() {
    static const std::unique_ptr<const icu::Collator> prototype = makeCollator();
    thread_local const std::unique_ptr<icu::Collator> instance(prototype ? prototype->clone() : nullptr);
    return instance.get();
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

}  // namespace

std::size_t characterCount(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    std::size_t count = 0;
    const bool counted = withCharacterBreaks(text, [&](icu::BreakIterator& iterator) {
        iterator.first();
        while (iterator.next() != icu::BreakIterator::DONE) {
            ++count;
        }
    });
    return counted ? count : codePoints(text).size();
}

std::string lastCharacters(std::string_view text, std::size_t count) {
    if (count == 0 || text.empty()) {
        return {};
    }
    std::size_t start = 0;
    withCharacterBreaks(text, [&](icu::BreakIterator& iterator) {
        std::int32_t position = iterator.last();
        for (std::size_t taken = 0; taken < count && position > 0; ++taken) {
            position = iterator.previous();
        }
        start = position > 0 ? static_cast<std::size_t>(position) : 0;
    });
    return std::string(text.substr(start));
}

std::string firstCharacters(std::string_view text, std::size_t count) {
    if (count == 0 || text.empty()) {
        return {};
    }
    std::size_t end = text.size();
    withCharacterBreaks(text, [&](icu::BreakIterator& iterator) {
        std::int32_t position = iterator.first();
        for (std::size_t taken = 0; taken < count; ++taken) {
            const std::int32_t next = iterator.next();
            if (next == icu::BreakIterator::DONE) {
                break;
            }
            position = next;
        }
        end = static_cast<std::size_t>(position);
    });
    return std::string(text.substr(0, end));
}

bool isWhitespaceOrNewline(char32_t codePoint) {
    return u_isUWhiteSpace(static_cast<UChar32>(codePoint)) || codePoint == 0x0085 || codePoint == 0x2028 ||
           codePoint == 0x2029;
}

std::string trimWhitespaceAndNewlines(std::string_view text) {
    icu::LocalUTextPointer utext = openUtf8(text);
    if (utext.isNull()) {
        return std::string(text);
    }
    UText* cursor = utext.getAlias();
    std::int64_t start = 0;
    for (UChar32 c = utext_next32From(cursor, 0); c != U_SENTINEL && isWhitespaceOrNewline(static_cast<char32_t>(c));
         c = utext_next32(cursor)) {
        start = utext_getNativeIndex(cursor);
    }
    if (start >= byteLength(text)) {
        return {};
    }
    // Text from `start` on holds a character that is not white space, so the scan back stops there.
    std::int64_t end = byteLength(text);
    for (UChar32 c = utext_previous32From(cursor, end); c != U_SENTINEL &&
                                                        isWhitespaceOrNewline(static_cast<char32_t>(c));
         c = utext_previous32(cursor)) {
        end = utext_getNativeIndex(cursor);
    }
    return std::string(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

std::string toUpper(std::string_view text) {
    icu::UnicodeString unicode = toUnicodeString(text);
    unicode.toUpper(icu::Locale::getRoot());
    return toUtf8(unicode);
}

std::string toLower(std::string_view text) {
    icu::UnicodeString unicode = toUnicodeString(text);
    unicode.toLower(icu::Locale::getRoot());
    return toUtf8(unicode);
}

bool isUnicodePunctuation(char32_t codePoint) {
    return u_ispunct(static_cast<UChar32>(codePoint));
}

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    icu::Collator* collator = caseInsensitiveCollator();
    if (collator != nullptr) {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult result = collator->compareUTF8(
            icu::StringPiece(a.data(), static_cast<std::int32_t>(a.size())),
            icu::StringPiece(b.data(), static_cast<std::int32_t>(b.size())), status);
        if (U_SUCCESS(status)) {
            return sign(static_cast<int>(result));
        }
    }
    return sign(toLower(a).compare(toLower(b)));
}

bool localizedCaseInsensitiveEquals(std::string_view a, std::string_view b) {
    return localizedCaseInsensitiveCompare(a, b) == 0;
}

std::size_t utf16Length(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t length = 0;
    u_strFromUTF8WithSub(nullptr, 0, &length, text.data(), static_cast<std::int32_t>(text.size()),
                         static_cast<UChar32>(replacementCharacter), nullptr, &status);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

std::u16string toUtf16(std::string_view text) {
    std::u16string result(utf16Length(text), u'\0');
    if (result.empty()) {
        return result;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t length = 0;
    u_strFromUTF8WithSub(result.data(), static_cast<std::int32_t>(result.size()), &length, text.data(),
                         static_cast<std::int32_t>(text.size()), static_cast<UChar32>(replacementCharacter), nullptr,
                         &status);
    result.resize(U_SUCCESS(status) && length > 0 ? static_cast<std::size_t>(length) : 0);
    return result;
}

std::string fromUtf16(std::u16string_view text) {
    if (text.empty()) {
        return {};
    }
    return toUtf8(icu::UnicodeString(text.data(), static_cast<std::int32_t>(text.size())));
}

std::vector<char32_t> codePoints(std::string_view text) {
    std::vector<char32_t> result;
    icu::LocalUTextPointer utext = openUtf8(text);
    if (utext.isNull()) {
        return result;
    }
    for (UChar32 c = utext_next32From(utext.getAlias(), 0); c != U_SENTINEL; c = utext_next32(utext.getAlias())) {
        result.push_back(static_cast<char32_t>(c));
    }
    return result;
}

std::string fromCodePoint(char32_t codePoint) {
    const bool valid = codePoint <= 0x10FFFF && !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
    return toUtf8(icu::UnicodeString(static_cast<UChar32>(valid ? codePoint : replacementCharacter)));
}

}  // namespace parlune
