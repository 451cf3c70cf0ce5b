// The hotkey monitor and the recorder over X11, on a private Xvfb display, with keys typed by key
// code through XTest.

#include "XTestDesktop.h"
#include "core/hotkey/HotkeyRecorder.h"
#include "core/hotkey/KeyboardMonitor.h"
#include "fakes/FakeKeyboardEvents.h"
#include "fakes/SessionHarness.h"
#include "linux/hotkey/LinuxKeyboard.h"
#include "linux/runtime/StdLoop.h"

#include <gtest/gtest.h>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

// X11 key codes of the keys typed.
constexpr unsigned keyA = 38, keyD = 40, keyK = 45, controlL = 37, shiftL = 50, altL = 64, capsLock = 66,
                   controlR = 105, altR = 108, superL = 133;
constexpr unsigned shiftMask = 1;  // the X11 modifier state bit of Shift

using Steps = std::vector<std::pair<bool, unsigned>>;
Steps tap(unsigned code) { return {{true, code}, {false, code}}; }

const RecordedHotkey rightControl{62, 0, "Right Control"};
const RecordedHotkey controlShiftD{2, ModifierFlag::control | ModifierFlag::shift, "⌃⇧Key 2"};

class X11Hotkey : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sharedXvfb().running()) << "Xvfb did not start";
        keyboard = LinuxKeyboard::open(loop);
        ASSERT_TRUE(keyboard.connection);
    }

    std::shared_ptr<KeyboardMonitor> watch(const RecordedHotkey& hotkey) {
        auto monitor = KeyboardMonitor::create(loop, keyboard.events, trust);
        monitor->setOnKeyDown([this] { reports.push_back("down"); });
        monitor->setOnKeyUp([this] { reports.push_back("up"); });
        monitor->startMonitoring(hotkey);
        return monitor;
    }

    // Lets every event typed so far reach this connection and every job it caused run.
    void settle() {
        keyboard.connection->sync();
        bool done = false;
        loop.post([&] { done = true; });
        ASSERT_TRUE(loop.runUntil([&] { return done; }, 10s));
    }

    fakes::CapturedLog log;
    XTestKeyboard typist{sharedXvfb().display()};
    StdLoop loop;
    LinuxKeyboard keyboard;
    std::shared_ptr<fakes::FakeAccessibilityTrust> trust = std::make_shared<fakes::FakeAccessibilityTrust>();
    std::vector<std::string> reports;
};

using Reports = std::vector<std::string>;

}  // namespace

TEST_F(X11Hotkey, RightControlIsReportedOncePerHoldAndNeverReachesTheFocusedWindow) {
    FocusedWindow window(sharedXvfb().display());
    ASSERT_TRUE(window.ready());
    auto monitor = watch(rightControl);
    ASSERT_TRUE(monitor->isTapping());

    typist.type(tap(keyA));
    // Held with repeated presses; then again with Shift held.
    typist.type({{true, controlR}, {true, controlR}, {true, controlR}, {false, controlR}});
    typist.type({{true, shiftL}, {true, controlR}, {false, controlR}, {false, shiftL}});
    settle();

    EXPECT_EQ(reports, (Reports{"down", "up", "down", "up"}));
    EXPECT_TRUE(window.received(keyA)) << "the window has the focus";
    EXPECT_TRUE(window.received(shiftL));
    EXPECT_FALSE(window.received(controlR));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(X11Hotkey, ControlShiftDIsReportedOncePerHoldAndNeverReachesTheFocusedWindow) {
    FocusedWindow window(sharedXvfb().display());
    ASSERT_TRUE(window.ready());
    auto monitor = watch(controlShiftD);
    ASSERT_TRUE(monitor->isTapping());

    const Steps hold{{true, controlL}, {true, shiftL}, {true, keyD},    {true, keyD},
                     {true, keyD},     {false, keyD},  {false, shiftL}, {false, controlL}};
    typist.type(hold);
    // Modifiers let go before the key: the release is still reported.
    typist.type({{true, controlL}, {true, shiftL}, {true, keyD}, {false, controlL}, {false, shiftL}, {false, keyD}});
    // With Caps Lock on.
    typist.type(tap(capsLock));
    typist.type(hold);
    typist.type(tap(capsLock));
    settle();
    EXPECT_EQ(reports, (Reports{"down", "up", "down", "up", "down", "up"}));
    EXPECT_FALSE(window.received(keyD));

    // D alone, and D with Alt added, are no hotkey: they reach the window.
    typist.type(tap(keyD));
    typist.type({{true, controlL},
                 {true, shiftL},
                 {true, altL},
                 {true, keyD},
                 {false, keyD},
                 {false, altL},
                 {false, shiftL},
                 {false, controlL}});
    settle();
    EXPECT_EQ(reports.size(), 6u);
    int presses = 0;
    for (const auto& [press, code] : window.receivedKeys()) presses += press && code == keyD ? 1 : 0;
    EXPECT_EQ(presses, 2);
}

TEST_F(X11Hotkey, AGrabHeldByAnotherProgramMakesTheMonitorFallBackAndStillReport) {
    ForeignGrab other(sharedXvfb().display(), controlR, shiftMask);  // Shift+Right Control is taken
    FocusedWindow window(sharedXvfb().display());
    ASSERT_TRUE(window.ready());
    auto monitor = watch(rightControl);
    EXPECT_FALSE(monitor->isTapping());
    EXPECT_EQ(monitor->fallbackMonitorCount(), 1u) << "a global monitor; local ones are declined";
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("⚠️ The X11 key grab for Right Control was refused: BadAccess", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "⚠️ CGEvent tap unavailable — falling back to NSEvent monitors");

    typist.type({{true, controlR}, {true, controlR}, {false, controlR}});
    settle();
    EXPECT_EQ(reports, (Reports{"down", "up"}));
    EXPECT_TRUE(window.received(controlR)) << "observed only, never swallowed";
}

TEST_F(X11Hotkey, TheRecorderTakesTheFirstGesture) {
    struct Case {
        const char* name;
        Steps steps;
        RecordedHotkey recorded;
    };
    const Case cases[] = {
        {"Right Alt alone", tap(altR), {61, 0, "Right Option"}},
        {"Control, then K",
         {{true, controlL}, {true, keyK}, {false, keyK}, {false, controlL}},
         {40, ModifierFlag::control, "⌃Key 40"}},
        {"Shift, Super, Super let go",
         {{true, shiftL}, {true, superL}, {false, superL}, {false, shiftL}},
         {55, 0, "Left Command"}},
    };
    for (const auto& c : cases) {
        auto recorder = HotkeyRecorder::create(loop, keyboard.events);
        std::vector<RecordedHotkey> recorded;
        recorder->setOnRecord([&](const RecordedHotkey& hotkey) { recorded.push_back(hotkey); });
        recorder->startRecordingTap();
        ASSERT_TRUE(recorder->isListening()) << c.name;
        typist.type(c.steps);
        settle();
        EXPECT_EQ(recorded, std::vector<RecordedHotkey>{c.recorded}) << c.name;
        EXPECT_FALSE(recorder->isListening()) << c.name;
    }
}

TEST_F(X11Hotkey, TheRecorderSeesTheCurrentHotkeyWhileTheMonitorKeepsReportingIt) {
    auto monitor = watch(rightControl);
    auto recorder = HotkeyRecorder::create(loop, keyboard.events);
    std::vector<RecordedHotkey> recorded;
    recorder->setOnRecord([&](const RecordedHotkey& hotkey) { recorded.push_back(hotkey); });
    recorder->startRecordingTap();
    typist.type(tap(controlR));
    settle();
    EXPECT_EQ(reports, (Reports{"down", "up"}));
    EXPECT_EQ(recorded, std::vector<RecordedHotkey>{rightControl});
}

TEST(X11Connection, WithoutADisplayNothingIsWatchedAndTheLogSaysWhy) {
    fakes::CapturedLog log;
    StdLoop loop;
    EXPECT_EQ(X11Connection::open(loop, ":4242"), nullptr);
    auto events = std::make_shared<X11KeyboardEvents>(nullptr);
    auto monitor = KeyboardMonitor::create(loop, events, std::make_shared<fakes::FakeAccessibilityTrust>());
    monitor->startMonitoring(rightControl);
    EXPECT_EQ(monitor->fallbackMonitorCount(), 0u);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "⚠️ Cannot open the X11 display \":4242\" — global hotkeys need an X11 session or XWayland",
                  "⚠️ CGEvent tap unavailable — falling back to NSEvent monitors"}));

    log.clear();
    monitor->startMonitoring(RecordedHotkey::defaultHotkey());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "⚠️ The hotkey \"Fn\" cannot be seen on this desktop — choose another one "
                               "with: parlune hotkey record"}));
}

TEST(X11Connection, ALostServerIsLoggedOnceAndLeavesTheProcessRunning) {
    Xvfb server;
    ASSERT_TRUE(server.running());
    fakes::CapturedLog log;
    StdLoop loop;
    auto connection = X11Connection::open(loop, server.display());
    ASSERT_TRUE(connection);
    auto events = std::make_shared<X11KeyboardEvents>(connection);
    auto monitor = KeyboardMonitor::create(loop, events, std::make_shared<fakes::FakeAccessibilityTrust>());
    monitor->startMonitoring(rightControl);
    ASSERT_TRUE(monitor->isTapping());

    server.stop();
    EXPECT_TRUE(loop.runUntil([&] { return !connection->isAlive(); }, 10s));
    monitor->stopMonitoring();
    monitor->startMonitoring(rightControl);  // nothing to grab on a dead connection: the fallback, quietly
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"⚠️ The X11 connection was lost — the keyboard is no longer watched",
                                        "⚠️ CGEvent tap unavailable — falling back to NSEvent monitors"}));
}
