#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// The value types of the user's choices. Enumerations are stored and shown by their raw values.
namespace parlune {

// How the cleanup rewrites a dictation.
enum class WritingStyle { casual, standard, formal };

std::string_view rawValue(WritingStyle style);  // "Casual", "Standard", "Formal"
std::optional<WritingStyle> writingStyleFromRaw(std::string_view raw);  // exact, case-sensitive
const std::array<WritingStyle, 3>& allWritingStyles();
std::ostream& operator<<(std::ostream& out, WritingStyle style);

// The group of an installed application.
enum class AppCategory { work, social, code };

std::string_view rawValue(AppCategory category);  // "Work", "Social", "Code"
std::optional<AppCategory> appCategoryFromRaw(std::string_view raw);
const std::array<AppCategory, 3>& allAppCategories();
std::ostream& operator<<(std::ostream& out, AppCategory category);

// The language model that cleans dictations.
enum class ModelProvider { appleFoundation, llamaScout };

std::string_view rawValue(ModelProvider provider);  // "Local", "Fast"
std::optional<ModelProvider> modelProviderFromRaw(std::string_view raw);
const std::array<ModelProvider, 2>& allModelProviders();
std::ostream& operator<<(std::ostream& out, ModelProvider provider);

// Modifier bits, in the layout of the platform's event flag word.
namespace ModifierFlag {
constexpr std::uint64_t capsLock = 0x10000;
constexpr std::uint64_t shift = 0x20000;
constexpr std::uint64_t control = 0x40000;
constexpr std::uint64_t option = 0x80000;
constexpr std::uint64_t command = 0x100000;
constexpr std::uint64_t function = 0x800000;
}  // namespace ModifierFlag

// Shift, control, option, command and function; caps lock is not a hotkey modifier. Modifier
// words are reduced to this mask before they are stored or compared.
constexpr std::uint64_t hotkeyModifierMask =
    ModifierFlag::shift | ModifierFlag::control | ModifierFlag::option | ModifierFlag::command | ModifierFlag::function;
static_assert(hotkeyModifierMask == 0x9E0000);

// Virtual key codes of the modifier keys: both commands, shifts, options and controls, caps lock
// and the two Fn codes (63 and 179).
const std::set<std::uint16_t>& modifierKeyCodes();
bool isModifierKeyCode(std::uint16_t keyCode);

// The global hotkey: a key with an exact set of held modifiers, or a modifier key pressed and
// released on its own.
struct RecordedHotkey {
    std::uint16_t keyCode = 0;        // virtual key code of the macOS keyboard layout
    std::uint64_t modifierFlags = 0;  // modifiers that must be held; 0 for a modifier-only hotkey
    std::string displayName;          // the name shown to the user, made when the hotkey was recorded

    // True when the key is a modifier key and no modifier bit is set.
    bool isModifierOnly() const;

    // All three fields take part, the name included.
    bool operator==(const RecordedHotkey&) const = default;

    // Fn alone (key code 63, no modifiers, "Fn").
    static RecordedHotkey defaultHotkey();

    // The stored form: a compact UTF-8 JSON object with "keyCode", "modifierFlags" and "displayName".
    std::string encode() const;

    // Reads the stored form. "keyCode" (an integer 0...65535) and "displayName" (a string) are
    // required; "modifierFlags" may be absent or null (read as 0) or else must be an unsigned
    // 64-bit integer; other members are ignored. Anything else gives no hotkey.
    static std::optional<RecordedHotkey> decode(std::string_view json);
};

std::ostream& operator<<(std::ostream& out, const RecordedHotkey& hotkey);

}  // namespace parlune
