#include "core/hotkey/HotkeyRecorder.h"
#include "core/runtime/VirtualLoop.h"
#include "fakes/FakeKeyboardEvents.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::fakes;
using namespace parlune::ModifierFlag;

namespace {

struct Rig {
    Rig() {
        recorder = HotkeyRecorder::create(loop, events);
        recorder->setOnRecord([this](const RecordedHotkey& hotkey) { recorded.push_back(hotkey); });
    }
    VirtualLoop loop;
    std::shared_ptr<FakeKeyboardEvents> events = std::make_shared<FakeKeyboardEvents>();
    std::shared_ptr<HotkeyRecorder> recorder;
    std::vector<RecordedHotkey> recorded;
};

using Hotkeys = std::vector<RecordedHotkey>;

}  // namespace

TEST(HotkeyRecorder, GesturesSeenByTheTap) {
    struct Case {
        const char* name;
        std::vector<KeyEvent> events;
        Hotkeys recorded;
    };
    const Case cases[] = {
        {"Right Option alone", {flagsChanged(61, option), flagsChanged(61, 0)}, {{61, 0, "Right Option"}}},
        {"Fn alone", {flagsChanged(63, function), flagsChanged(63, 0)}, {{63, 0, "Fn"}}},
        {"Fn alone, other code", {flagsChanged(179, function), flagsChanged(179, 0)}, {{179, 0, "Fn"}}},
        {"Command held, then K; Command let go adds nothing",
         {flagsChanged(55, command), keyDown(40, command, {'k'}), flagsChanged(55, 0)},
         {{40, command, "⌘Key 40"}}},
        {"Shift, Command, Command up: the second modifier is the pending one",
         {flagsChanged(56, shift), flagsChanged(55, shift | command), flagsChanged(55, shift)},
         {{55, 0, "Left Command"}}},
        {"Shift, Command, Shift up gives nothing; Command up then does",
         {flagsChanged(56, shift), flagsChanged(55, shift | command), flagsChanged(56, command), flagsChanged(55, 0)},
         {{55, 0, "Left Command"}}},
        {"Escape is recordable", {keyDown(53, 0, {0x1B})}, {{53, 0, "Escape"}}},
        {"F5 named from its code unit", {keyDown(96, function, {0xF708})}, {{96, function, "fn F5"}}},
        {"F5 named from the table", {keyDown(96, 0, {'x'})}, {{96, 0, "F5"}}},
        {"caps lock is no hotkey modifier", {keyDown(0, control | capsLock, {'a'})}, {{0, control, "⌃Key 0"}}},
        {"a letter is named by its code", {keyDown(0, 0, {'a'})}, {{0, 0, "Key 0"}}},
        {"flags-changed of other keys are ignored", {flagsChanged(36, shift), flagsChanged(36, 0)}, {}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.recorder->startRecordingTap();
        for (const auto& event : c.events)
            EXPECT_EQ(rig.events->tap(event).value_or(TapDecision::pass), TapDecision::pass) << c.name;
        rig.loop.runUntilIdle();
        EXPECT_EQ(rig.recorded, c.recorded) << c.name;
        EXPECT_EQ(rig.recorder->isListening(), c.recorded.empty()) << c.name << ": delivery stops the tap";
    }
}

TEST(HotkeyRecorder, ListensOnlyToKeyDownsAndModifiersAndKeepsNothingFromAnyone) {
    Rig rig;
    rig.recorder->startRecordingTap();
    const auto& tap = **rig.events->liveTap();
    EXPECT_TRUE(tap.options.listenOnly);
    EXPECT_EQ(tap.options.eventMask, 0x1400u);
    EXPECT_EQ(rig.events->tap(flagsChanged(61, option)), TapDecision::pass);
}

TEST(HotkeyRecorder, TwoGesturesBeforeTheLoopRunsDeliverBoth) {
    Rig rig;
    rig.recorder->startRecordingTap();
    rig.events->tap(keyDown(0, command));
    rig.events->tap(keyDown(11, command));
    rig.loop.runUntilIdle();
    EXPECT_EQ(rig.recorded, (Hotkeys{{0, command, "⌘Key 0"}, {11, command, "⌘Key 11"}}));
}

TEST(HotkeyRecorder, NothingIsDeliveredOnceTheRecorderIsGone) {
    Rig rig;
    rig.recorder->startRecordingTap();
    rig.events->tap(keyDown(53));
    rig.recorder.reset();
    rig.loop.runUntilIdle();
    EXPECT_TRUE(rig.recorded.empty());
    EXPECT_EQ(rig.events->journal, (std::vector<std::string>{"enable", "disable", "drop tap", "drop source"}));
}

TEST(HotkeyRecorder, StartingAgainStopsTheRunningTapAndStoppingEndsListening) {
    Rig rig;
    rig.recorder->startRecordingTap();
    rig.recorder->startRecordingTap();
    EXPECT_EQ(rig.events->journal,
              (std::vector<std::string>{"enable", "disable", "drop tap", "drop source", "enable"}));
    rig.recorder->stopRecordingTap();
    EXPECT_FALSE(rig.recorder->isListening());
    EXPECT_EQ(rig.recorder->tapContext(), nullptr);
    EXPECT_EQ(rig.events->tap(keyDown(53)), std::nullopt);
}

TEST(HotkeyRecorder, FocusedViewFallbackWhenNoTapCanBeMade) {
    Rig rig;
    rig.events->refuseTaps = true;
    rig.recorder->startRecordingTap();
    EXPECT_FALSE(rig.recorder->isListening());

    rig.recorder->keyDown(0, command | capsLock, std::string("a"));  // at once, named by its character
    rig.recorder->flagsChanged(56, shift | command);                 // a modifier's press is taken at once
    rig.recorder->flagsChanged(56, command);                         // releases are ignored
    rig.recorder->flagsChanged(36, shift);                           // not a modifier key
    rig.recorder->keyDown(49, 0, std::string(" "));
    EXPECT_EQ(rig.recorded, (Hotkeys{{0, command, "⌘A"}, {56, 0, "Left Shift"}, {49, 0, "Space"}}));
}

TEST(HotkeyRecorder, TheFocusedViewIsIgnoredWhileTheTapRuns) {
    Rig rig;
    rig.recorder->startRecordingTap();
    rig.recorder->keyDown(0, 0, std::string("a"));
    rig.recorder->flagsChanged(61, option);
    rig.loop.runUntilIdle();
    EXPECT_TRUE(rig.recorded.empty());
    EXPECT_TRUE(rig.recorder->isListening());
}
