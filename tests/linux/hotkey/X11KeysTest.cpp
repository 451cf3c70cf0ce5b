#include "linux/hotkey/X11Keys.h"

#include "core/values/KeyNames.h"

#include <gtest/gtest.h>

using namespace parlune;

TEST(X11Keys, KeyCodesTranslateBothWays) {
    // X11 key code (evdev + 8) -> macOS virtual key code.
    // clang-format off
    const std::pair<unsigned, std::uint16_t> cases[] = {
        {38, 0},    {56, 11},   {40, 2},    {45, 40},   {52, 6},    {24, 12},             // A B D K Z Q
        {10, 18},   {13, 21},   {14, 23},   {19, 29},                                     // 1 4 5 0
        {67, 122},  {71, 96},   {76, 109},  {95, 103},  {96, 111},  {191, 105}, {198, 90},  // F1 F5 F10 F11 F12 F13 F20
        {37, 59},   {105, 62},  {50, 56},   {62, 60},   {64, 58},   {108, 61},  {133, 55}, {134, 54}, {66, 57},
        {113, 123}, {114, 124}, {116, 125}, {111, 126},                                   // arrows
        // Return, Tab, Space, BackSpace, Escape, KP_Enter
        {36, 36},   {23, 48},   {65, 49},   {22, 51},   {9, 53},    {104, 76},
    };
    // clang-format on
    for (const auto& [x, mac] : cases) {
        EXPECT_EQ(x11keys::macKeyCode(x), mac) << x;
        EXPECT_EQ(x11keys::xKeyCode(mac), x) << mac;
    }
    for (unsigned x = 0; x < 300; ++x) {
        if (const auto mac = x11keys::macKeyCode(x)) {
            EXPECT_EQ(x11keys::xKeyCode(*mac), x) << "one X11 key per macOS key";
        }
    }
    for (std::uint16_t fn : fnKeyCodes()) EXPECT_FALSE(x11keys::xKeyCode(fn)) << "X11 never sees Fn";
    EXPECT_FALSE(x11keys::macKeyCode(0));
    EXPECT_FALSE(x11keys::macKeyCode(107)) << "Print has no macOS key";
}

TEST(X11Keys, KeysWithoutPrintableCharactersGiveThePlatformCodeUnits) {
    EXPECT_EQ(x11keys::fixedCodeUnit(122), 0xF704);  // F1
    EXPECT_EQ(x11keys::fixedCodeUnit(96), 0xF708);   // F5
    EXPECT_EQ(x11keys::fixedCodeUnit(90), 0xF717);   // F20
    EXPECT_EQ(x11keys::fixedCodeUnit(126), 0xF700);  // up arrow
    EXPECT_EQ(x11keys::fixedCodeUnit(53), 0x1B);     // Escape
    EXPECT_FALSE(x11keys::fixedCodeUnit(0));
    EXPECT_EQ(displayName(96, 0, std::nullopt, std::vector<std::uint16_t>{*x11keys::fixedCodeUnit(96)}), "F5");
    EXPECT_EQ(x11keys::keysymCharacter('a'), U'a');
    EXPECT_EQ(x11keys::keysymCharacter(0xE9), U'é');
    EXPECT_EQ(x11keys::keysymCharacter(0x010020AC), U'€');
    EXPECT_FALSE(x11keys::keysymCharacter(0xFFBE));  // XK_F1
}
