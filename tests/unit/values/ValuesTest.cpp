#include "core/values/Values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {
namespace {

template <class Enum, std::size_t count>
std::vector<std::string_view> rawValues(const std::array<Enum, count>& all) {
    std::vector<std::string_view> raws;
    for (const Enum value : all) {
        raws.push_back(rawValue(value));
    }
    return raws;
}

TEST(Enumerations, ListAllCasesByRawValueInOrder) {
    EXPECT_EQ(rawValues(allWritingStyles()), (std::vector<std::string_view>{"Casual", "Standard", "Formal"}));
    EXPECT_EQ(rawValues(allAppCategories()), (std::vector<std::string_view>{"Work", "Social", "Code"}));
    EXPECT_EQ(rawValues(allModelProviders()), (std::vector<std::string_view>{"Local", "Fast"}));
}

TEST(Enumerations, ReadBackEveryRawValue) {
    for (const WritingStyle style : allWritingStyles()) {
        EXPECT_EQ(writingStyleFromRaw(rawValue(style)), style);
    }
    for (const AppCategory category : allAppCategories()) {
        EXPECT_EQ(appCategoryFromRaw(rawValue(category)), category);
    }
    for (const ModelProvider provider : allModelProviders()) {
        EXPECT_EQ(modelProviderFromRaw(rawValue(provider)), provider);
    }
    EXPECT_EQ(modelProviderFromRaw("Fast"), ModelProvider::llamaScout);
    EXPECT_EQ(modelProviderFromRaw("Local"), ModelProvider::appleFoundation);
    EXPECT_EQ(writingStyleFromRaw("Formal"), WritingStyle::formal);
    EXPECT_EQ(appCategoryFromRaw("Code"), AppCategory::code);
}

TEST(Enumerations, RejectUnknownRawValues) {
    const std::string_view unknown[] = {"", "formal", "FORMAL", " Formal", "Formal ", "fast", "local", "work",
                                        "casual", "Fast\n", "appleFoundation", "llamaScout", "Neutral"};
    for (const std::string_view raw : unknown) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(writingStyleFromRaw(raw), std::nullopt);
        EXPECT_EQ(appCategoryFromRaw(raw), std::nullopt);
        EXPECT_EQ(modelProviderFromRaw(raw), std::nullopt);
    }
}

TEST(ModifierTables, ModifierKeyCodesAreTheElevenModifierKeys) {
    for (const std::uint16_t code : {54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 179}) {
        EXPECT_TRUE(isModifierKeyCode(code)) << code;
        EXPECT_TRUE(modifierKeyCodes().contains(code)) << code;
    }
    EXPECT_EQ(modifierKeyCodes().size(), 11u);
    for (const std::uint16_t code : {0, 36, 49, 53, 64, 178, 180, 65535}) {
        EXPECT_FALSE(isModifierKeyCode(code)) << code;
    }
}

TEST(ModifierTables, HotkeyMaskDropsCapsLockAndForeignBits) {
    const std::uint64_t allHeld = ModifierFlag::capsLock | ModifierFlag::shift | ModifierFlag::control |
                                  ModifierFlag::option | ModifierFlag::command | ModifierFlag::function |
                                  0x100 | (std::uint64_t{1} << 40);
    EXPECT_EQ(allHeld & hotkeyModifierMask, 0x9E0000u);
    EXPECT_EQ(ModifierFlag::capsLock & hotkeyModifierMask, 0u);
}

TEST(RecordedHotkey, DefaultIsFnAlone) {
    const RecordedHotkey hotkey = RecordedHotkey::defaultHotkey();
    EXPECT_EQ(hotkey.keyCode, 63);
    EXPECT_EQ(hotkey.modifierFlags, 0u);
    EXPECT_EQ(hotkey.displayName, "Fn");
    EXPECT_TRUE(hotkey.isModifierOnly());
    EXPECT_EQ(hotkey.encode(), R"({"keyCode":63,"modifierFlags":0,"displayName":"Fn"})");
}

TEST(RecordedHotkey, IsModifierOnlyForAModifierKeyWithNoFlags) {
    const struct {
        std::uint16_t keyCode;
        std::uint64_t flags;
        bool modifierOnly;
    } cases[] = {
        {61, 0, true},
        {61, ModifierFlag::option, false},
        {0, 0, false},
        {36, 0, false},
        {179, 0, true},
        {57, 0, true},
        {63, ModifierFlag::capsLock, false},
        {55, std::uint64_t{1} << 40, false},
        {36, ModifierFlag::command, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keyCode << " / 0x" << std::hex << c.flags);
        EXPECT_EQ((RecordedHotkey{c.keyCode, c.flags, "name"}.isModifierOnly()), c.modifierOnly);
    }
}

TEST(RecordedHotkey, EqualityIncludesTheName) {
    const RecordedHotkey hotkey{61, 0, "Right Option"};
    EXPECT_EQ(hotkey, (RecordedHotkey{61, 0, "Right Option"}));
    EXPECT_NE(hotkey, (RecordedHotkey{61, 0, "⌥"}));
    EXPECT_NE(hotkey, (RecordedHotkey{58, 0, "Right Option"}));
    EXPECT_NE(hotkey, (RecordedHotkey{61, ModifierFlag::shift, "Right Option"}));
}

TEST(RecordedHotkey, EncodingRoundTripsEveryField) {
    const RecordedHotkey hotkeys[] = {
        RecordedHotkey::defaultHotkey(),
        {61, 0, "Right Option"},
        {0, ModifierFlag::command, "⌘A"},
        {49, 0x1E0000, "⌃⌥⇧⌘Space"},
        {96, ModifierFlag::function, "fn F5"},
        {123, ModifierFlag::control | ModifierFlag::option, "⌃⌥←"},
        {65535, std::numeric_limits<std::uint64_t>::max(), "Key 65535"},
        {0, 0, ""},
        {1, 0, "\"quoted\" \\ back/slash\n\ttab \u00c9 👨‍👩‍👧"},
    };
    for (const RecordedHotkey& hotkey : hotkeys) {
        SCOPED_TRACE(hotkey.encode());
        EXPECT_EQ(RecordedHotkey::decode(hotkey.encode()), hotkey);
    }
}

TEST(RecordedHotkey, EncodingWritesAllMembersAsUtf8) {
    const std::string encoded = RecordedHotkey{0, 0, "⌘"}.encode();
    EXPECT_EQ(encoded, R"({"keyCode":0,"modifierFlags":0,"displayName":"⌘"})");
    EXPECT_EQ((RecordedHotkey{7, 18446744073709551615u, "x"}.encode()),
              R"({"keyCode":7,"modifierFlags":18446744073709551615,"displayName":"x"})");
}

TEST(RecordedHotkey, EncodingReplacesIllFormedUtf8InTheName) {
    const std::optional<RecordedHotkey> decoded = RecordedHotkey::decode(RecordedHotkey{5, 0, "a\xff"}.encode());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->displayName, "a\ufffd");
}

TEST(RecordedHotkey, DecodesReadableObjects) {
    const struct {
        std::string_view json;
        RecordedHotkey expected;
    } cases[] = {
        {R"({"keyCode":61,"displayName":"Right Option"})", {61, 0, "Right Option"}},
        {R"({"keyCode":61,"modifierFlags":null,"displayName":"Right Option"})", {61, 0, "Right Option"}},
        {R"({"displayName":"Fn","modifierFlags":0,"keyCode":63})", {63, 0, "Fn"}},
        {R"({"keyCode":0,"modifierFlags":1048576,"displayName":"⌘A","extra":[1,{"x":null}]})",
         {0, ModifierFlag::command, "⌘A"}},
        {R"({"keyCode":0,"modifierFlags":0,"displayName":"\u2318\u21e7"})", {0, 0, "⌘⇧"}},
        {R"({"keyCode":65535,"modifierFlags":18446744073709551615,"displayName":"max"})",
         {65535, std::numeric_limits<std::uint64_t>::max(), "max"}},
        {" \n{ \"keyCode\" : 36 , \"displayName\" : \"Return\" }\t\n", {36, 0, "Return"}},
        {R"({"keyCode":-0,"displayName":"zero"})", {0, 0, "zero"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(RecordedHotkey::decode(c.json), c.expected);
    }
}

TEST(RecordedHotkey, RejectsMissingOrWrongTypedMembers) {
    const std::string_view unreadable[] = {
        // missing required members
        R"({"modifierFlags":0,"displayName":"Fn"})",
        R"({"keyCode":63,"modifierFlags":0})",
        R"({})",
        // key code of the wrong type or out of range
        R"({"keyCode":"63","displayName":"Fn"})",
        R"({"keyCode":null,"displayName":"Fn"})",
        R"({"keyCode":true,"displayName":"Fn"})",
        R"({"keyCode":[63],"displayName":"Fn"})",
        R"({"keyCode":63.5,"displayName":"Fn"})",
        R"({"keyCode":63.0,"displayName":"Fn"})",
        R"({"keyCode":6.3e1,"displayName":"Fn"})",
        R"({"keyCode":-1,"displayName":"Fn"})",
        R"({"keyCode":65536,"displayName":"Fn"})",
        R"({"keyCode":18446744073709551616,"displayName":"Fn"})",
        // name of the wrong type
        R"({"keyCode":63,"displayName":null})",
        R"({"keyCode":63,"displayName":5})",
        R"({"keyCode":63,"displayName":["Fn"]})",
        R"({"keyCode":63,"displayName":{"text":"Fn"}})",
        // flags of the wrong type or out of range
        R"({"keyCode":63,"modifierFlags":-1,"displayName":"Fn"})",
        R"({"keyCode":63,"modifierFlags":1.5,"displayName":"Fn"})",
        R"({"keyCode":63,"modifierFlags":"0","displayName":"Fn"})",
        R"({"keyCode":63,"modifierFlags":false,"displayName":"Fn"})",
        R"({"keyCode":63,"modifierFlags":18446744073709551616,"displayName":"Fn"})",
    };
    for (const std::string_view json : unreadable) {
        SCOPED_TRACE(json);
        EXPECT_EQ(RecordedHotkey::decode(json), std::nullopt);
    }
}

TEST(RecordedHotkey, RejectsInputThatIsNotAJsonObject) {
    static constexpr char withNul[] = "{\"keyCode\":63,\0\"displayName\":\"Fn\"}";
    const std::string_view garbage[] = {
        "",
        " ",
        "null",
        "63",
        R"("Fn")",
        R"([{"keyCode":63,"displayName":"Fn"}])",
        "{",
        R"({"keyCode":63,"displayName":"Fn")",
        R"({"keyCode":63,"displayName":"Fn"} trailing)",
        R"({"keyCode":63,"displayName":"Fn"}{})",
        R"({keyCode:63,displayName:"Fn"})",
        R"({'keyCode':63,'displayName':'Fn'})",
        "{\"keyCode\":63,\"displayName\":\"\xff\"}",
        std::string_view(withNul, sizeof(withNul) - 1),
        "not json at all",
        "\xef\xbb\xbf\xff\xfe",
    };
    for (const std::string_view json : garbage) {
        SCOPED_TRACE(testing::PrintToString(std::string(json)));
        EXPECT_EQ(RecordedHotkey::decode(json), std::nullopt);
    }
}

TEST(RecordedHotkey, SurvivesDeeplyNestedInput) {
    const std::string nested = R"({"keyCode":63,"displayName":"Fn","extra":)" + std::string(100000, '[') +
                               std::string(100000, ']') + "}";
    EXPECT_EQ(RecordedHotkey::decode(nested), RecordedHotkey::defaultHotkey());
    EXPECT_EQ(RecordedHotkey::decode(std::string(100000, '[')), std::nullopt);
}

}  // namespace
}  // namespace parlune
