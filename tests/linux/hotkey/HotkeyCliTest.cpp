// parlune hotkey, hotkey watch and hotkey record against the private display, with private settings
// and no session bus.

#include "fakes/ChildProcess.h"
#include "XTestDesktop.h"
#include "fakes/PrivateUserFolders.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

constexpr unsigned controlR = 105, altR = 108;

class HotkeyCli : public ::testing::Test, protected PrivateUserFolders {
protected:
    void SetUp() override { ASSERT_TRUE(sharedXvfb().running()); }
    std::map<std::string, std::string> environment() const {
        return PrivateUserFolders::environment(
            {{"DISPLAY", sharedXvfb().display()}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path() + "/no-bus"}});
    }
};

}  // namespace

TEST_F(HotkeyCli, WatchPrintsALinePerPressAndReleaseUntilInterrupted) {
    ChildProcess watch({PARLUNE_BINARY, "hotkey", "watch"}, environment());
    std::vector<std::string> errors;
    ASSERT_TRUE(watch.waitForLine(ChildProcess::standardError,
                                  "Watching \"Right Control\" (kept from other applications)", 15s, &errors))
        << (errors.empty() ? "" : errors.back());
    XTestKeyboard typist(sharedXvfb().display());
    typist.type({{true, controlR}, {true, controlR}, {false, controlR}, {true, controlR}, {false, controlR}});
    for (const char* expected :
         {"Right Control pressed", "Right Control released", "Right Control pressed", "Right Control released"}) {
        EXPECT_EQ(watch.readLine(ChildProcess::standardOutput, 10s), expected);
    }
    watch.signal(SIGINT);
    EXPECT_EQ(watch.wait(10s), 0);
    EXPECT_EQ(watch.rest(ChildProcess::standardOutput), "");
}

TEST_F(HotkeyCli, RecordStoresTheFirstGestureAndTheHotkeyCommandShowsIt) {
    auto shown = run({"hotkey"}, environment());
    EXPECT_EQ(shown.standardOutput, "Right Control\n");

    ChildProcess record({PARLUNE_BINARY, "hotkey", "record"}, environment());
    ASSERT_TRUE(record.waitForLine(ChildProcess::standardError, "Press a key combo...", 15s));
    XTestKeyboard typist(sharedXvfb().display());
    typist.type({{true, altR}, {false, altR}});
    EXPECT_EQ(record.readLine(ChildProcess::standardOutput, 10s), "Right Option");
    EXPECT_EQ(record.wait(10s), 0);

    shown = run({"hotkey"}, environment());
    EXPECT_EQ(shown.standardOutput, "Right Option\n");
}
