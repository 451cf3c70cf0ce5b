#include "core/values/KeyNames.h"
#include "core/values/Values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {
namespace {

using Units = std::vector<std::uint16_t>;

std::string nameOf(std::uint16_t keyCode, std::uint64_t flags = 0, std::optional<std::string> characters = std::nullopt,
                   std::optional<Units> units = std::nullopt) {
    return displayName(keyCode, flags, characters, units);
}

struct NamedKey {
    std::uint16_t keyCode;
    std::string_view name;
};

constexpr NamedKey namedKeys[] = {
    {36, "Return"},        {48, "Tab"},          {49, "Space"},       {51, "Delete"},      {53, "Escape"},
    {54, "Right Command"}, {55, "Left Command"}, {56, "Left Shift"},  {57, "Caps Lock"},   {58, "Left Option"},
    {59, "Left Control"},  {60, "Right Shift"},  {61, "Right Option"}, {62, "Right Control"}, {63, "Fn"},
    {179, "Fn"},           {64, "F17"},          {76, "Enter"},       {79, "F18"},         {80, "F19"},
    {90, "F20"},           {96, "F5"},           {97, "F6"},          {98, "F7"},          {99, "F3"},
    {100, "F8"},           {101, "F9"},          {103, "F11"},        {105, "F13"},        {106, "F16"},
    {107, "F14"},          {109, "F10"},         {111, "F12"},        {113, "F15"},        {118, "F4"},
    {120, "F2"},           {122, "F1"},          {123, "\u2190"},     {124, "\u2192"},     {125, "\u2193"},
    {126, "\u2191"},
};

TEST(KeyNames, NamesEveryKeyOfTheTable) {
    for (const NamedKey& key : namedKeys) {
        SCOPED_TRACE(key.keyCode);
        EXPECT_EQ(keyCodeName(key.keyCode), key.name);
        EXPECT_EQ(nameOf(key.keyCode), key.name);
        // The table comes before the characters the key produced.
        EXPECT_EQ(nameOf(key.keyCode, 0, "x", Units{0x0078}), key.name);
    }
}

TEST(KeyNames, KeysOutsideTheTableHaveNoFixedName) {
    for (const std::uint16_t code : {0, 35, 37, 50, 65, 102, 127, 178, 180, 65535}) {
        EXPECT_EQ(keyCodeName(code), std::nullopt) << code;
    }
}

TEST(KeyNames, FunctionKeyCodeUnitsNameF1ToF35BeforeTheTable) {
    for (int number = 1; number <= 35; ++number) {
        const auto unit = static_cast<std::uint16_t>(0xF703 + number);
        const std::string expected = "F" + std::to_string(number);
        SCOPED_TRACE(expected);
        EXPECT_EQ(nameOf(0, 0, std::nullopt, Units{unit}), expected);
        EXPECT_EQ(nameOf(36, 0, "a", Units{unit, 0x0061}), expected);
    }
    EXPECT_EQ(nameOf(0, 0, std::nullopt, Units{0xF704}), "F1");
    EXPECT_EQ(nameOf(0, 0, std::nullopt, Units{0xF70F}), "F12");
    EXPECT_EQ(nameOf(53, 0, std::nullopt, Units{0xF70F}), "F12");
    EXPECT_EQ(nameOf(0, 0, std::nullopt, Units{0xF726}), "F35");
}

TEST(KeyNames, ComposesModifierSymbolsAndKeyName) {
    const struct {
        std::uint16_t keyCode;
        std::uint64_t flags;
        std::optional<std::string> characters;
        std::optional<Units> units;
        std::string_view name;
    } cases[] = {
        {0, ModifierFlag::command, "a", std::nullopt, "\u2318A"},
        {0, ModifierFlag::command, std::nullopt, std::nullopt, "\u2318Key 0"},
        {49, 0x1E0000, std::nullopt, std::nullopt, "\u2303\u2325\u21e7\u2318Space"},
        {96, ModifierFlag::function, std::nullopt, std::nullopt, "fn F5"},
        {96, 0x9E0000, std::nullopt, std::nullopt, "\u2303\u2325\u21e7\u2318fn F5"},
        {36, ModifierFlag::capsLock, std::nullopt, std::nullopt, "Return"},
        {0, ModifierFlag::capsLock | ModifierFlag::shift, "a", std::nullopt, "\u21e7A"},
        {36, 0x100 | (std::uint64_t{1} << 40), std::nullopt, std::nullopt, "Return"},
        {40, ModifierFlag::command | ModifierFlag::function, std::nullopt, Units{0x006B}, "\u2318fn Key 40"},
        {61, ModifierFlag::option, std::nullopt, std::nullopt, "\u2325Right Option"},
        {96, ModifierFlag::option, std::nullopt, Units{0xF708}, "\u2325F5"},
        {0, 0, std::nullopt, std::nullopt, "Key 0"},
        {65535, 0, std::nullopt, std::nullopt, "Key 65535"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(displayName(c.keyCode, c.flags, c.characters, c.units), c.name);
    }
}

TEST(KeyNames, NamesOtherKeysByTheirUpperCasedCharacters) {
    const struct {
        std::optional<std::string> characters;
        std::optional<Units> units;
        std::string_view name;
    } cases[] = {
        {"a", std::nullopt, "A"},
        {"\u00e9", std::nullopt, "\u00c9"},
        {"ab", std::nullopt, "AB"},
        {"\u00df", std::nullopt, "SS"},
        {"`", std::nullopt, "`"},
        {" a", std::nullopt, " A"},  // upper-cased untrimmed
        {"a", Units{0xF727}, "A"},   // just past F35: not a function key
        {"a", Units{0xF703}, "A"},   // just before F1
        {"a", Units{0x0061}, "A"},
        {"a", Units{}, "A"},
        {" ", std::nullopt, "Key 7"},
        {"\t\n\r ", std::nullopt, "Key 7"},
        {"\u00a0\u2028\u3000", std::nullopt, "Key 7"},
        {"", std::nullopt, "Key 7"},
        {std::nullopt, Units{0xF727}, "Key 7"},
        {std::nullopt, Units{0x0061}, "Key 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(displayName(7, 0, c.characters, c.units), c.name);
    }
}

TEST(KeyNames, ModifierFlagOfEachModifierKey) {
    const struct {
        std::uint16_t keyCode;
        std::uint64_t flag;
    } cases[] = {
        {54, ModifierFlag::command}, {55, ModifierFlag::command}, {56, ModifierFlag::shift},
        {60, ModifierFlag::shift},   {57, ModifierFlag::capsLock}, {58, ModifierFlag::option},
        {61, ModifierFlag::option},  {59, ModifierFlag::control},  {62, ModifierFlag::control},
        {63, ModifierFlag::function}, {179, ModifierFlag::function},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(modifierFlag(c.keyCode), c.flag) << c.keyCode;
    }
    EXPECT_EQ(modifierFlag(58), modifierFlag(61));
    EXPECT_EQ(modifierFlag(63), modifierFlag(179));
    for (const std::uint16_t code : {0, 36, 53, 64, 178, 180}) {
        EXPECT_EQ(modifierFlag(code), std::nullopt) << code;
    }
}

TEST(KeyNames, EveryModifierKeyHasAFlagAndAName) {
    for (const std::uint16_t code : modifierKeyCodes()) {
        EXPECT_TRUE(modifierFlag(code).has_value()) << code;
        EXPECT_TRUE(keyCodeName(code).has_value()) << code;
    }
}

TEST(KeyNames, FnKeyCodesAreBothFnCodes) {
    EXPECT_EQ(fnKeyCodes(), (std::set<std::uint16_t>{63, 179}));
    for (const std::uint16_t code : {63, 179}) {
        EXPECT_TRUE(isFnKeyCode(code)) << code;
    }
    for (const std::uint16_t code : {0, 62, 64, 178, 180}) {
        EXPECT_FALSE(isFnKeyCode(code)) << code;
    }
}

TEST(KeyNames, ModifierSymbolsInFixedOrder) {
    EXPECT_EQ(modifierSymbols(0), "");
    EXPECT_EQ(modifierSymbols(ModifierFlag::capsLock), "");
    EXPECT_EQ(modifierSymbols(ModifierFlag::function | ModifierFlag::command | ModifierFlag::shift |
                              ModifierFlag::option | ModifierFlag::control),
              "\u2303\u2325\u21e7\u2318fn ");
    EXPECT_EQ(modifierSymbols(ModifierFlag::shift | ModifierFlag::control), "\u2303\u21e7");
}

}  // namespace
}  // namespace parlune
