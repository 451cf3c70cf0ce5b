#include "core/hotkey/KeyboardMonitor.h"
#include "fakes/FakeKeyboardEvents.h"
#include "fakes/SessionHarness.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::fakes;
using namespace parlune::ModifierFlag;
using namespace std::chrono_literals;

namespace {

const RecordedHotkey fnKey = RecordedHotkey::defaultHotkey();
const RecordedHotkey rightOption{61, 0, "Right Option"};
const RecordedHotkey commandShiftD{2, command | shift, "⇧⌘D"};
const RecordedHotkey escape{53, 0, "Escape"};

// A monitor over a fake keyboard and trust on virtual time, with its reports written down.
struct Rig {
    explicit Rig(bool trusted = true) {
        trust->trusted = trusted;
        monitor = KeyboardMonitor::create(loop, events, trust);
        monitor->setOnKeyDown([this] { reports.push_back("down"); });
        monitor->setOnKeyUp([this] { reports.push_back("up"); });
    }
    ~Rig() {
        monitor.reset();
        while (loop.runNextTimer()) {  // lets polling tasks end
        }
    }

    VirtualLoop loop;
    CapturedLog log;
    std::shared_ptr<FakeKeyboardEvents> events = std::make_shared<FakeKeyboardEvents>();
    std::shared_ptr<FakeAccessibilityTrust> trust = std::make_shared<FakeAccessibilityTrust>();
    std::shared_ptr<KeyboardMonitor> monitor;
    std::vector<std::string> reports;
};

using Reports = std::vector<std::string>;

}  // namespace

TEST(KeyboardMonitor, TapDecisionsAndReports) {
    using enum TapDecision;
    struct Step {
        KeyEvent event;
        TapDecision decision;
    };
    struct Case {
        const char* name;
        RecordedHotkey hotkey;
        std::vector<Step> steps;
        Reports reports;
    };
    const Case cases[] = {
        {"Fn down, held, up; another modifier passes",
         fnKey,
         {{flagsChanged(63, function), swallow},
          {flagsChanged(63, function), swallow},
          {flagsChanged(56, function | shift), pass},
          {flagsChanged(56, function), pass},
          {flagsChanged(63, 0), swallow},
          {flagsChanged(63, 0), swallow}},
         {"down", "up"}},
        {"Fn stored as 63 reacts to 179",
         fnKey,
         {{flagsChanged(179, function), swallow}, {flagsChanged(179, 0), swallow}},
         {"down", "up"}},
        {"Fn stored as 179 reacts to 63",
         RecordedHotkey{179, 0, "Fn"},
         {{flagsChanged(63, function), swallow}, {flagsChanged(63, 0), swallow}},
         {"down", "up"}},
        {"Right Option released while Left Option is held reports later",
         rightOption,
         {{flagsChanged(58, option), pass},
          {flagsChanged(61, option), swallow},
          {flagsChanged(61, option), swallow},
          {flagsChanged(58, 0), pass},
          {flagsChanged(61, 0), swallow}},
         {"down", "up"}},
        {"key events of a modifier-only hotkey's key pass",
         RecordedHotkey{62, 0, "Right Control"},
         {{keyDown(62), pass}, {keyUp(62), pass}},
         {}},
        {"command+shift+D with auto-repeat, command let go first",
         commandShiftD,
         {{keyDown(2, command | shift), swallow},
          {keyDown(2, command | shift), swallow},
          {keyDown(2, command | shift), swallow},
          {keyUp(2, shift), swallow}},
         {"down", "up"}},
        {"command+shift+D with caps lock on",
         commandShiftD,
         {{keyDown(2, command | shift | capsLock), swallow}, {keyUp(2, capsLock), swallow}},
         {"down", "up"}},
        {"command+shift+D with option added passes; so does a key-up without an accepted press",
         commandShiftD,
         {{keyDown(2, command | shift | option), pass}, {keyUp(2, command | shift | option), pass}},
         {}},
        {"flags-changed events and other keys pass with a combination",
         commandShiftD,
         {{flagsChanged(55, command), pass}, {keyDown(3, command | shift), pass}, {keyUp(3, command | shift), pass}},
         {}},
        {"a modifier key code with modifiers is no modifier-only hotkey",
         RecordedHotkey{61, command, "⌘Right Option"},
         {{flagsChanged(61, command | option), pass}, {flagsChanged(61, command), pass}},
         {}},
        {"a hotkey without modifiers needs none held in the tap",
         escape,
         {{keyDown(53, command), pass}, {keyDown(53), swallow}, {keyUp(53, command), swallow}},
         {"down", "up"}},
        {"the tap's notices pass untouched",
         fnKey,
         {{keyEvent(KeyEventType::tapDisabledByTimeout, 63, function), pass},
          {keyEvent(KeyEventType::tapDisabledByUserInput, 63, 0), pass}},
         {}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.monitor->startMonitoring(c.hotkey);
        ASSERT_TRUE(rig.monitor->isTapping()) << c.name;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(rig.events->tap(c.steps[i].event), c.steps[i].decision) << c.name << ", step " << i;
        }
        rig.loop.runUntilIdle();
        EXPECT_EQ(rig.reports, c.reports) << c.name;
        EXPECT_TRUE(rig.log.lines().empty()) << c.name;
    }
    EXPECT_EQ(KeyboardMonitor::tapCallback(KeyEventType::flagsChanged, flagsChanged(63, function), nullptr),
              TapDecision::pass);
}

TEST(KeyboardMonitor, TheTapIsAnActiveFilterForItsHotkeyAndReportsOnlyAfterTheCallbackReturned) {
    Rig rig;
    rig.monitor->startMonitoring(commandShiftD);
    const auto& tap = **rig.events->liveTap();
    EXPECT_FALSE(tap.options.listenOnly);
    EXPECT_EQ(tap.options.eventMask, 0x1C00u);
    EXPECT_EQ(tap.options.keyCode, 2);
    EXPECT_EQ(tap.options.modifierFlags, command | shift);
    EXPECT_EQ(rig.events->journal, (std::vector<std::string>{"enable"}));

    bool pressedWhenReported = false;
    rig.monitor->setOnKeyDown([&] { pressedWhenReported = rig.monitor->isHotkeyPressed().get(); });
    rig.events->tap(keyDown(2, command | shift));
    EXPECT_TRUE(rig.monitor->tapContext()->isPressed) << "the next decision is already right";
    EXPECT_FALSE(rig.monitor->isHotkeyPressed().get()) << "the report waits for the loop";
    rig.loop.runUntilIdle();
    EXPECT_TRUE(pressedWhenReported);
}

TEST(KeyboardMonitor, StoppingWhileHeldReportsNoReleaseAndTheNextStartBeginsAfresh) {
    Rig rig;
    rig.monitor->startMonitoring(rightOption);
    rig.events->tap(flagsChanged(61, option));
    rig.loop.runUntilIdle();
    ASSERT_TRUE(rig.monitor->isHotkeyPressed().get());

    rig.monitor->stopMonitoring();
    rig.loop.runUntilIdle();
    EXPECT_FALSE(rig.monitor->isHotkeyPressed().get());
    EXPECT_EQ(rig.reports, (Reports{"down"}));
    EXPECT_EQ(rig.events->journal, (std::vector<std::string>{"enable", "disable", "drop tap", "drop source"}));
    EXPECT_EQ(rig.monitor->tapContext(), nullptr);
    EXPECT_EQ(rig.events->tap(flagsChanged(61, 0)), std::nullopt) << "no tap is left";

    rig.monitor->startMonitoring(rightOption);
    EXPECT_FALSE(rig.monitor->tapContext()->isPressed);
    rig.events->tap(flagsChanged(61, option));
    rig.loop.runUntilIdle();
    EXPECT_EQ(rig.reports, (Reports{"down", "down"}));
}

TEST(KeyboardMonitor, StartingAgainWithoutAStopTearsTheRunningTapDownFirst) {
    Rig rig;
    rig.monitor->startMonitoring(fnKey);
    rig.monitor->startMonitoring(rightOption);
    EXPECT_EQ(rig.events->journal,
              (std::vector<std::string>{"enable", "disable", "drop tap", "drop source", "enable"}));
    EXPECT_EQ(rig.events->tap(flagsChanged(61, option)), TapDecision::swallow);
}

TEST(KeyboardMonitor, WithoutATapItWarnsAndInstallsObserveOnlyMonitors) {
    struct Case {
        RecordedHotkey hotkey;
        bool declineLocal;
        std::vector<std::pair<bool, std::uint64_t>> monitors;  // global?, mask
    };
    const Case cases[] = {
        {rightOption, false, {{true, 0x1000}, {false, 0x1000}}},
        {commandShiftD, false, {{true, 0x400}, {true, 0x800}, {false, 0x400}, {false, 0x800}}},
        {commandShiftD, true, {{true, 0x400}, {true, 0x800}}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.events->refuseTaps = true;
        rig.events->declineLocalMonitors = c.declineLocal;
        rig.monitor->startMonitoring(c.hotkey);
        EXPECT_EQ(rig.log.lines(),
                  (std::vector<std::string>{"⚠️ CGEvent tap unavailable — falling back to NSEvent monitors"}));
        EXPECT_FALSE(rig.monitor->isTapping());
        std::vector<std::pair<bool, std::uint64_t>> installed;
        for (const auto& monitor : rig.events->liveMonitors()) installed.emplace_back(monitor->global, monitor->mask);
        EXPECT_EQ(installed, c.monitors) << c.hotkey;
        EXPECT_EQ(rig.monitor->fallbackMonitorCount(), c.monitors.size());
        rig.monitor->stopMonitoring();
        EXPECT_TRUE(rig.events->liveMonitors().empty());
    }
}

TEST(KeyboardMonitor, FallbackRules) {
    struct Step {
        KeyEvent event;
        bool global;
    };
    struct Case {
        const char* name;
        RecordedHotkey hotkey;
        std::vector<Step> steps;
        Reports reports;
    };
    const Case cases[] = {
        {"Right Option: press once, other option ignored",
         rightOption,
         {{flagsChanged(61, option), true},
          {flagsChanged(61, option), false},
          {flagsChanged(58, 0), true},
          {flagsChanged(61, 0), true},
          {flagsChanged(61, 0), false}},
         {"down", "up"}},
        {"Fn codes stand for each other",
         fnKey,
         {{flagsChanged(179, function), true}, {flagsChanged(179, 0), false}},
         {"down", "up"}},
        {"no modifiers recorded: fires with modifiers held, once",
         escape,
         {{keyDown(53, command | shift), true}, {keyDown(53), true}, {keyUp(53, command), false}, {keyUp(53), true}},
         {"down", "up"}},
        {"modifiers recorded must match, caps lock aside",
         commandShiftD,
         {{keyDown(2, command | shift | option), true},
          {keyUp(2, 0), true},
          {keyDown(2, command | shift | capsLock), false},
          {keyUp(2, 0), true}},
         {"down", "up"}},
        {"other keys are ignored", commandShiftD, {{keyDown(3, command | shift), true}, {keyUp(3), true}}, {}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.events->refuseTaps = true;
        rig.monitor->startMonitoring(c.hotkey);
        for (const auto& step : c.steps) {
            rig.events->monitor(step.event, step.global);
            rig.loop.runUntilIdle();
        }
        EXPECT_EQ(rig.reports, c.reports) << c.name;
    }
}

TEST(KeyboardMonitor, FallbackHandlersRunAsLaterLoopJobsAndStoppingForgetsAHeldKey) {
    Rig rig;
    rig.events->refuseTaps = true;
    rig.monitor->startMonitoring(rightOption);
    rig.events->monitor(flagsChanged(61, option));
    EXPECT_TRUE(rig.reports.empty());
    rig.loop.runUntilIdle();
    EXPECT_EQ(rig.reports, (Reports{"down"}));
    EXPECT_TRUE(rig.monitor->isHotkeyPressed().get());
    rig.monitor->stopMonitoring();
    EXPECT_FALSE(rig.monitor->isHotkeyPressed().get());
    EXPECT_EQ(rig.reports, (Reports{"down"}));
}

TEST(KeyboardMonitor, AKeyTheDesktopCannotSeeIsNamedWithTheWayToChooseAnother) {
    Rig rig;
    rig.events->unseenKeyCodes = {63, 179};
    rig.monitor->startMonitoring(fnKey);
    EXPECT_EQ(rig.log.lines(), (std::vector<std::string>{
                                   "⚠️ The hotkey \"Fn\" cannot be seen on this desktop — choose another one "
                                   "with: parlune hotkey record"}));
    EXPECT_TRUE(rig.events->taps.empty());
    EXPECT_TRUE(rig.events->monitors.empty());
}

TEST(KeyboardMonitor, ReportsDoNothingOnceTheMonitorIsGone) {
    Rig rig;
    rig.monitor->startMonitoring(fnKey);
    auto context = rig.monitor->tapContext();
    std::function<void()> onDown = context->onDown;
    rig.monitor.reset();
    onDown();
    rig.loop.runUntilIdle();
    EXPECT_TRUE(rig.reports.empty());
}

TEST(KeyboardMonitor, AccessibilityIsCheckedSilentlyAtConstructionThenPolledThirtyTimesAfterARequest) {
    Rig rig(false);
    EXPECT_EQ(rig.trust->checks, 1);
    EXPECT_EQ(rig.trust->prompts, 0);
    EXPECT_FALSE(rig.monitor->hasAccessibilityPermission());

    rig.monitor->requestAccessibilityPermission();
    EXPECT_EQ(rig.trust->prompts, 1);
    rig.loop.advance(999ms);
    EXPECT_EQ(rig.trust->checks, 1) << "the first poll comes one second after the prompt";
    rig.loop.advance(1ms);
    EXPECT_EQ(rig.trust->checks, 2);
    rig.loop.advance(29s);
    EXPECT_EQ(rig.trust->checks, 31);
    EXPECT_EQ(rig.loop.pendingTimers(), 0u) << "thirty polls, then it stops";
    EXPECT_FALSE(rig.monitor->hasAccessibilityPermission());
}

TEST(KeyboardMonitor, PollingStopsOnceTrustedAndEachRequestPollsOnItsOwn) {
    Rig rig(false);
    rig.trust->grantAtCheck = 6;  // the fifth poll
    int changes = 0;
    auto subscription = rig.monitor->accessibilityPermission().observe([&](bool) { ++changes; });
    rig.monitor->requestAccessibilityPermission();
    rig.loop.advance(30s);
    EXPECT_TRUE(rig.monitor->hasAccessibilityPermission());
    EXPECT_EQ(rig.trust->checks, 6);
    EXPECT_EQ(changes, 5);

    Rig twice(false);
    twice.monitor->requestAccessibilityPermission();
    twice.monitor->requestAccessibilityPermission();
    twice.loop.advance(1s);
    EXPECT_EQ(twice.trust->checks, 3);
}

TEST(KeyboardMonitor, PollingEndsWhenTheMonitorIsGone) {
    Rig rig(false);
    rig.monitor->requestAccessibilityPermission();
    rig.loop.advance(3s);
    rig.monitor.reset();
    rig.loop.advance(30s);
    EXPECT_EQ(rig.trust->checks, 4);
    EXPECT_EQ(rig.loop.pendingTimers(), 0u);
}

TEST(KeyboardMonitor, DrivesTheDictationSessionOfAppState) {
    SessionHarness h;
    auto events = std::make_shared<FakeKeyboardEvents>();
    auto trust = std::make_shared<FakeAccessibilityTrust>();
    auto platform = h.bundle();
    platform.keyboardMonitor = KeyboardMonitor::create(h.loop, events, trust);
    h.app = AppState::create(platform);
    EXPECT_EQ(trust->prompts, 1) << "missing trust is asked for at start-up";

    EXPECT_EQ(events->tap(flagsChanged(63, function)), TapDecision::swallow);
    h.loop.runUntilIdle();
    EXPECT_EQ(h.dictation->starts(), 1);

    h.app->setSelectedHotkey(rightOption);
    EXPECT_EQ(events->tap(flagsChanged(63, 0)), TapDecision::pass) << "the old key is no longer watched";
    EXPECT_EQ(events->tap(flagsChanged(61, option)), TapDecision::swallow);
    h.loop.advance(30s);
}
