// The real application and the effects the offscreen platform cannot draw, on a private Xvfb
// display with openbox.

#include "ui/UiTest.h"
#include "ui/indicator/StatusIndicatorController.h"

#include "fakes/Process.h"

#include <QScreen>

#include <gtest/gtest.h>

#include <thread>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;

namespace {

// Private home, configuration, data and runtime folders for the application processes.
struct PrivateSession {
    PrivateSession() {
        for (const char* sub : {"/config", "/data", "/runtime"}) std::filesystem::create_directories(home.path() + sub);
        std::filesystem::permissions(home.path() + "/runtime", std::filesystem::perms::owner_all);
        ::setenv("HOME", home.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home.path() + "/config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home.path() + "/data").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    TemporaryFolder home;
};

bool waitForText(const std::string& file, const std::string& text, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (readFile(file).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

}  // namespace

TEST(DesktopApplication, ASecondLaunchHandsItsUrlToTheRunningInstanceAndExits) {
    XvfbDisplay display;
    ASSERT_TRUE(display.ok());
    PrivateSession session;
    ::setenv("PARLUNE_REPORT_FIRST_FRAME", "1", 1);
    const std::string output = session.home.path() + "/first.log";
    BackgroundProcess first({PARLUNE_BINARY}, {}, -1, output);
    ASSERT_TRUE(waitForText(output, "first frame", 30s)) << readFile(output);

    const auto second = runProcess({PARLUNE_BINARY, "parlune://auth/callback?code=42"}, {}, 20s);
    EXPECT_EQ(second.exitCode, 0) << second.standardOutput << second.standardError;
    EXPECT_TRUE(waitForText(output, "Deep link opened: parlune://auth/callback?code=<hidden>\n", 10s)) << readFile(output);

    const auto reopen = runProcess({PARLUNE_BINARY}, {}, 20s);
    EXPECT_EQ(reopen.exitCode, 0) << "a plain second launch is a re-open";
    EXPECT_TRUE(first.running());
    EXPECT_EQ(readFile(output).find("Deep link opened: parlune://auth/callback?code=<hidden>\nDeep link opened"), std::string::npos);
}

// Runs the test named `inner` in a child of this binary that draws on the private display, so the
// QApplication there is gone before the display is.
void runOnDisplay(const std::string& inner) {
    XvfbDisplay display;
    ASSERT_TRUE(display.ok());
    const auto result = runProcess({"/proc/self/exe", "--gtest_also_run_disabled_tests", "--gtest_filter=" + inner},
                                   {{"PARLUNE_TEST_DISPLAY", display.name()}, {"QT_QPA_PLATFORM", "xcb"}}, 60s);
    EXPECT_EQ(result.exitCode, 0) << result.standardOutput << result.standardError;
    EXPECT_NE(result.standardOutput.find("[  PASSED  ] 1 test"), std::string::npos) << result.standardOutput;
}

TEST(IndicatorOnDisplay, GlowBreathesAndTheFocusStaysWhereItWas) { runOnDisplay("IndicatorOnDisplayInner.DISABLED_Run"); }

// Disabled on its own: IndicatorOnDisplay runs it in a child process.
TEST(IndicatorOnDisplayInner, DISABLED_Run) {
    ASSERT_TRUE(qEnvironmentVariableIsSet("PARLUNE_TEST_DISPLAY"));
    uiApplication();
    // A window that has the keyboard focus, as the field the user dictates into would.
    auto focused = createWindow("UpdateDialog.qml", {});
    ASSERT_TRUE(focused);
    focused->show();
    focused->requestActivate();
    ASSERT_TRUE(waitUntil([&] { return focused->isActive(); }));

    StatusIndicatorController controller(uiEngine(), [] { return std::optional<QImage>(); });
    controller.show();
    QQuickWindow* window = controller.panel().window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return window->isExposed() && window->property("progress").toDouble() >= 1.0; }));
    pump(300ms);
    EXPECT_TRUE(focused->isActive()) << "the panel never takes the focus";
    EXPECT_FALSE(window->isActive());
    EXPECT_EQ(window->y(), 0);

    auto* dots = findItem(window, "dots");
    dots->setProperty("breathing", false);
    const QPointF centre = sceneRect(dots).center();
    std::map<int, QColor> glow;
    for (double breath : {0.7, 1.3}) {
        dots->setProperty("breathScale", breath);
        const QImage image = grab(window);
        const int tenth = static_cast<int>(breath * 10);
        saveScreenshot(image, "xvfb-indicator-breath-" + std::to_string(tenth));
        saveScreenshot(image.copy(sceneRect(dots).adjusted(-4, -4, 4, 4).toRect()).scaled(224, 224), "xvfb-mark-breath-" + std::to_string(tenth));
        // Between the middle dot and its right neighbour, 3 points from the centre.
        glow[tenth] = colorAt(image, centre + QPointF(3, 0));
    }
    EXPECT_GT(glow[13].red(), 180) << "the swollen glow is added onto the dark frame";
    EXPECT_GT(glow[13].red() - glow[7].red(), 40) << "the glow reaches further at 1.3 than at 0.7";
    EXPECT_LT(glow[13].blue(), 90) << "orange, not white";
}
