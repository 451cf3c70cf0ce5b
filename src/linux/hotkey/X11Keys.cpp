#include "linux/hotkey/X11Keys.h"

#include <array>
#include <utility>

namespace parlune::x11keys {
namespace {

constexpr unsigned evdevOffset = 8;

// evdev key code -> macOS virtual key code.
// clang-format off
constexpr std::array<std::pair<unsigned, std::uint16_t>, 113> evdevToMac{{
    // Letters.
    {30, 0},   {48, 11},  {46, 8},   {32, 2},   {18, 14},  {33, 3},   {34, 5},   {35, 4},   {23, 34},  {36, 38},
    {37, 40},  {38, 37},  {50, 46},  {49, 45},  {24, 31},  {25, 35},  {16, 12},  {19, 15},  {31, 1},   {20, 17},
    {22, 32},  {47, 9},   {17, 13},  {45, 7},   {21, 16},  {44, 6},
    // Digits 1...9, 0.
    {2, 18},   {3, 19},   {4, 20},   {5, 21},   {6, 23},   {7, 22},   {8, 26},   {9, 28},   {10, 25},  {11, 29},
    // Punctuation.
    {12, 27},  {13, 24},  {26, 33},  {27, 30},  {39, 41},  {40, 39},  {41, 50},  {43, 42},  {51, 43},  {52, 47},
    {53, 44},  {86, 10},
    // Return, Tab, Space, Backspace (Delete), Escape, keypad Enter.
    {28, 36},  {15, 48},  {57, 49},  {14, 51},  {1, 53},   {96, 76},
    // Modifiers: Super right/left (command), shifts, caps lock, alts (option), controls.
    {126, 54}, {125, 55}, {42, 56},  {58, 57},  {56, 58},  {29, 59},  {54, 60},  {100, 61}, {97, 62},
    // F1...F20.
    {59, 122}, {60, 120}, {61, 99},  {62, 118}, {63, 96},  {64, 97},  {65, 98},  {66, 100}, {67, 101}, {68, 109},
    {87, 103}, {88, 111}, {183, 105}, {184, 107}, {185, 113}, {186, 106}, {187, 64}, {188, 79}, {189, 80}, {190, 90},
    // Navigation: Insert (Help), Home, Page Up, Delete (forward delete), End, Page Down, arrows.
    {110, 114}, {102, 115}, {104, 116}, {111, 117}, {107, 119}, {109, 121},
    {105, 123}, {106, 124}, {108, 125}, {103, 126},
    // Keypad: decimal, multiply, plus, Num Lock (clear), divide, minus, equals, digits.
    {83, 65},  {55, 67},  {78, 69},  {69, 71},  {98, 75},  {74, 78},  {117, 81}, {82, 82},  {79, 83},  {80, 84},
    {81, 85},  {75, 86},  {76, 87},  {77, 88},  {71, 89},  {72, 91},  {73, 92},
    // Volume up, down, mute.
    {115, 72}, {114, 73}, {113, 74},
}};
// clang-format on

struct Tables {
    std::array<std::optional<std::uint16_t>, 256> toMac{};
    std::array<std::optional<unsigned>, 256> toX{};
    Tables() {
        for (const auto& [evdev, mac] : evdevToMac) {
            toMac[evdev + evdevOffset] = mac;
            toX[mac] = evdev + evdevOffset;
        }
    }
};

const Tables& tables() {
    static const Tables instance;
    return instance;
}

// macOS virtual key code -> the function-key number it carries.
constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 20> functionKeys{{
    {122, 1},  {120, 2},  {99, 3},   {118, 4},  {96, 5},   {97, 6},   {98, 7},  {100, 8}, {101, 9}, {109, 10},
    {103, 11}, {111, 12}, {105, 13}, {107, 14}, {113, 15}, {106, 16}, {64, 17}, {79, 18}, {80, 19}, {90, 20},
}};

constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 16> otherCodeUnits{{
    {123, 0xF702},
    {124, 0xF703},
    {125, 0xF701},
    {126, 0xF700},  // arrows
    {36, 0x0D},
    {76, 0x03},
    {48, 0x09},
    {49, 0x20},
    {51, 0x7F},
    {53, 0x1B},
    {117, 0xF728},
    {115, 0xF729},
    {119, 0xF72B},
    {116, 0xF72C},
    {121, 0xF72D},
    {114, 0xF746},
}};

}  // namespace

std::optional<std::uint16_t> macKeyCode(unsigned xKeyCode) {
    if (xKeyCode >= 256) return std::nullopt;
    return tables().toMac[xKeyCode];
}

std::optional<unsigned> xKeyCode(std::uint16_t macKeyCode) {
    if (macKeyCode >= 256) return std::nullopt;
    return tables().toX[macKeyCode];
}

std::optional<std::uint16_t> fixedCodeUnit(std::uint16_t macKeyCode) {
    for (const auto& [code, number] : functionKeys) {
        if (code == macKeyCode) return static_cast<std::uint16_t>(0xF703 + number);
    }
    for (const auto& [code, unit] : otherCodeUnits) {
        if (code == macKeyCode) return unit;
    }
    return std::nullopt;
}

std::optional<char32_t> keysymCharacter(unsigned long keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) return static_cast<char32_t>(keysym);
    if ((keysym & 0xFF000000UL) == 0x01000000UL) {
        const auto character = static_cast<char32_t>(keysym & 0x00FFFFFFUL);
        if (character <= 0x10FFFF) return character;
    }
    return std::nullopt;
}

}  // namespace parlune::x11keys
