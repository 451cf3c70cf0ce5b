#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Key codes, modifier bits and the names of recorded hotkeys, shared by the hotkey monitor and the
// hotkey recorder. Modifier words use the bits of ModifierFlag (core/values/Values.h).
namespace parlune {

// The two key codes of the Fn (globe) key, 63 and 179; either stands for the other.
const std::set<std::uint16_t>& fnKeyCodes();
bool isFnKeyCode(std::uint16_t keyCode);

// The flag bit a modifier key sets while it is down (left and right keys share one); none for a
// key that is not a modifier.
std::optional<std::uint64_t> modifierFlag(std::uint16_t keyCode);

// The symbols of the modifiers set in `modifierFlags`, in the order control "⌃", option "⌥",
// shift "⇧", command "⌘", function "fn "; caps lock and other bits add nothing.
std::string modifierSymbols(std::uint64_t modifierFlags);

// The fixed name of a key code ("Return", "Right Option", "F5", "←", ...), if it has one.
std::optional<std::string_view> keyCodeName(std::uint16_t keyCode);

// The name shown for a recorded hotkey: the modifier symbols followed by the key's name. The key is
// named, by the first rule that applies, from a function-key code unit (0xF704...0xF726 as the first
// of `unicodeChars` gives "F1"..."F35"), from the key-code table, from `characters` upper-cased
// (when they are not only white space), or as "Key " and the code.
std::string displayName(std::uint16_t keyCode, std::uint64_t modifierFlags,
                        const std::optional<std::string>& characters,
                        const std::optional<std::vector<std::uint16_t>>& unicodeChars);

}  // namespace parlune
