#pragma once

// X11 key codes (evdev code + 8) and the virtual key codes of the macOS keyboard that the settings
// store keeps, both ways. The Fn key has no X11 key code: X11 never sees it.

#include <cstdint>
#include <optional>

namespace parlune::x11keys {

std::optional<std::uint16_t> macKeyCode(unsigned xKeyCode);
std::optional<unsigned> xKeyCode(std::uint16_t macKeyCode);

// The UTF-16 code unit that a key without a printable character produces (function keys F1...F20
// give 0xF704..., arrows 0xF700...0xF703, Return 0x0D, Escape 0x1B, ...); none for other keys.
std::optional<std::uint16_t> fixedCodeUnit(std::uint16_t macKeyCode);

// The Unicode character of a keysym that stands for one (Latin-1 and the 0x01000000 range).
std::optional<char32_t> keysymCharacter(unsigned long keysym);

}  // namespace parlune::x11keys
