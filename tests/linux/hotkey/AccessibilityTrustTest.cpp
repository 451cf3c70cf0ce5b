// Accessibility trust against a private session bus, whose accessibility bus launcher is started by
// D-Bus activation on the first question.

#include "fakes/ChildProcess.h"
#include "XTestDesktop.h"
#include "fakes/Process.h"
#include "fakes/ScopedEnvironment.h"
#include "fakes/SessionHarness.h"
#include "linux/hotkey/LinuxAccessibilityTrust.h"
#include "linux/runtime/StdLoop.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

TEST(LinuxAccessibilityTrust, AskingSwitchesTheAccessibilityBusOnAndTheNextCheckSeesIt) {
    ASSERT_TRUE(sharedXvfb().running());
    TemporaryFolder home;
    const std::string runtime = home.path() + "/run";
    ::mkdir(runtime.c_str(), 0700);
    ChildProcess bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"},
                     {{"HOME", home.path()},
                      {"XDG_RUNTIME_DIR", runtime},
                      {"XDG_CONFIG_HOME", home.path() + "/config"},
                      {"GSETTINGS_BACKEND", "memory"}});
    const auto address = bus.readLine(ChildProcess::standardOutput, 10s);
    ASSERT_TRUE(address) << "dbus-daemon did not start";
    ScopedEnvironment useIt("DBUS_SESSION_BUS_ADDRESS", address->c_str());
    // The first question starts the launcher; wait (bounded) until it answers.
    std::optional<bool> enabled;
    for (int attempt = 0; attempt < 5 && !enabled; ++attempt)
        enabled = LinuxAccessibilityTrust::accessibilityBusEnabled();
    ASSERT_EQ(enabled, false);

    fakes::CapturedLog log;
    StdLoop loop;
    LinuxAccessibilityTrust trust(X11Connection::open(loop, sharedXvfb().display()));
    EXPECT_FALSE(trust.isProcessTrusted(false));
    EXPECT_TRUE(log.lines().empty()) << "checks are silent";
    trust.isProcessTrusted(true);
    EXPECT_TRUE(trust.isProcessTrusted(false));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "🎙️ Accessibility switched on for this session — to keep it on after the "
                               "next login, run: gsettings set org.gnome.desktop.interface "
                               "toolkit-accessibility true"}));

    LinuxAccessibilityTrust withoutDisplay(nullptr);
    EXPECT_FALSE(withoutDisplay.isProcessTrusted(false)) << "the bus alone is not enough";
}

TEST(LinuxAccessibilityTrust, WithoutASessionBusItIsNotTrustedAndAskingSaysWhy) {
    TemporaryFolder home;
    ScopedEnvironment nowhere("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + home.path() + "/no-bus").c_str());
    fakes::CapturedLog log;
    LinuxAccessibilityTrust trust(nullptr);
    EXPECT_FALSE(trust.isProcessTrusted(false));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_FALSE(trust.isProcessTrusted(true));
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "⚠️ Accessibility needs an X11 display with the XInput2 and XTest extensions");
    EXPECT_EQ(lines[1].rfind("⚠️ The accessibility bus cannot be reached (", 0), 0u) << lines[1];
}
