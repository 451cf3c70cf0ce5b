#include "core/values/KeyNames.h"

#include "core/text/Text.h"
#include "core/values/Values.h"

#include <algorithm>
#include <array>
#include <utility>

namespace parlune {
namespace {

struct KeyCodeName {
    std::uint16_t keyCode;
    std::string_view name;
};

constexpr std::array<KeyCodeName, 41> keyCodeNames{{
    {36, "Return"},
    {48, "Tab"},
    {49, "Space"},
    {51, "Delete"},
    {53, "Escape"},
    {54, "Right Command"},
    {55, "Left Command"},
    {56, "Left Shift"},
    {57, "Caps Lock"},
    {58, "Left Option"},
    {59, "Left Control"},
    {60, "Right Shift"},
    {61, "Right Option"},
    {62, "Right Control"},
    {63, "Fn"},
    {64, "F17"},
    {76, "Enter"},
    {79, "F18"},
    {80, "F19"},
    {90, "F20"},
    {96, "F5"},
    {97, "F6"},
    {98, "F7"},
    {99, "F3"},
    {100, "F8"},
    {101, "F9"},
    {103, "F11"},
    {105, "F13"},
    {106, "F16"},
    {107, "F14"},
    {109, "F10"},
    {111, "F12"},
    {113, "F15"},
    {118, "F4"},
    {120, "F2"},
    {122, "F1"},
    {123, "←"},
    {124, "→"},
    {125, "↓"},
    {126, "↑"},
    {179, "Fn"},
}};

// The modifier symbols in the order they are written.
constexpr std::array<std::pair<std::uint64_t, std::string_view>, 5> modifierSymbolOrder{{
    {ModifierFlag::control, "⌃"},
    {ModifierFlag::option, "⌥"},
    {ModifierFlag::shift, "⇧"},
    {ModifierFlag::command, "⌘"},
    {ModifierFlag::function, "fn "},
}};

// The platform's private-use code units of the function keys F1 to F35.
constexpr std::uint16_t firstFunctionKeyUnit = 0xF704;
constexpr std::uint16_t lastFunctionKeyUnit = 0xF726;

std::string keyName(std::uint16_t keyCode, const std::optional<std::string>& characters,
                    const std::optional<std::vector<std::uint16_t>>& unicodeChars) {
    if (unicodeChars && !unicodeChars->empty()) {
        const std::uint16_t unit = unicodeChars->front();
        if (unit >= firstFunctionKeyUnit && unit <= lastFunctionKeyUnit) {
            return "F" + std::to_string(unit - firstFunctionKeyUnit + 1);
        }
    }
    if (const auto name = keyCodeName(keyCode)) {
        return std::string(*name);
    }
    if (characters && !trimWhitespaceAndNewlines(*characters).empty()) {
        return toUpper(*characters);
    }
    return "Key " + std::to_string(keyCode);
}

}  // namespace

const std::set<std::uint16_t>& fnKeyCodes() {
    static const std::set<std::uint16_t> codes{63, 179};
    return codes;
}

bool isFnKeyCode(std::uint16_t keyCode) {
    return fnKeyCodes().contains(keyCode);
}

std::optional<std::uint64_t> modifierFlag(std::uint16_t keyCode) {
    switch (keyCode) {
    case 54:
    case 55:
        return ModifierFlag::command;
    case 56:
    case 60:
        return ModifierFlag::shift;
    case 57:
        return ModifierFlag::capsLock;
    case 58:
    case 61:
        return ModifierFlag::option;
    case 59:
    case 62:
        return ModifierFlag::control;
    case 63:
    case 179:
        return ModifierFlag::function;
    default:
        return std::nullopt;
    }
}

std::string modifierSymbols(std::uint64_t modifierFlags) {
    std::string symbols;
    for (const auto& [flag, symbol] : modifierSymbolOrder) {
        if ((modifierFlags & flag) != 0) {
            symbols += symbol;
        }
    }
    return symbols;
}

std::optional<std::string_view> keyCodeName(std::uint16_t keyCode) {
    const auto entry = std::find_if(keyCodeNames.begin(), keyCodeNames.end(),
                                     [keyCode](const KeyCodeName& candidate) { return candidate.keyCode == keyCode; });
    if (entry == keyCodeNames.end()) {
        return std::nullopt;
    }
    return entry->name;
}

std::string displayName(std::uint16_t keyCode, std::uint64_t modifierFlags,
                        const std::optional<std::string>& characters,
                        const std::optional<std::vector<std::uint16_t>>& unicodeChars) {
    return modifierSymbols(modifierFlags) + keyName(keyCode, characters, unicodeChars);
}

}  // namespace parlune
