// `parlune doctor` as a user runs it: in an environment without any desktop, and on a private
// desktop prepared as dictation needs it.

#include "fakes/PrivateUserFolders.h"
#include "fakes/SilentServer.h"
#include "linux/cleanup/LocalHttpServer.h"
#include "linux/hotkey/LinuxAccessibilityTrust.h"
#include "linux/hotkey/X11KeyboardEvents.h"
#include "linux/insertion/DesktopSession.h"
#include "linux/runtime/StdLoop.h"
#include "linux/speech/PrivateSoundServer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

// Last: Xlib's macros (None, Bool) clash with names in the headers above.
#include <X11/Xlib.h>

namespace parlune {
namespace {

using namespace std::chrono_literals;
using testing::runProcess;

// Far above what doctor takes (each check is bounded by a few seconds); a hang fails the test.
constexpr auto doctorBound = 90s;

constexpr const char* gatewayKey = "gw-key-never-shown-7f3a";
constexpr const char* backendKey = "pk-key-never-shown-91c2";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        result.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return result;
}

// The line of the check named `name`, or "" when there is none.
std::string lineOf(const std::string& output, const std::string& name) {
    for (const auto& line : lines(output)) {
        for (const char* mark : {"✓ ", "✗ "}) {
            const std::string head = mark + name;
            if (line.starts_with(head) && (line.substr(head.size()).starts_with(":") ||
                                           line.substr(head.size()).starts_with(" (optional):"))) {
                return line;
            }
        }
    }
    return {};
}

// Waits (bounded) until an XEmbed tray owns the screen's tray selection.
bool waitForTray(const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) return false;
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    bool owned = false;
    for (int attempt = 0; attempt < 100 && !owned; ++attempt) {
        owned = XGetSelectionOwner(display, selection) != None;
        if (!owned) std::this_thread::sleep_for(100ms);
    }
    XCloseDisplay(display);
    return owned;
}

const std::vector<std::string> neededChecks = {"Display",        "XInput2 and XTest", "Hotkey",
                                               "Accessibility bus", "Capture source", "Speech model"};

TEST(DoctorCli, WithoutADesktopEveryCheckFailsOrPassesOnItsOwnAndTheStatusSaysNotReady) {
    const testing::PrivateUserFolders home;
    const auto result = home.run({"doctor"},
                                 {{"DISPLAY", ""},
                                  {"WAYLAND_DISPLAY", ""},
                                  {"XDG_SESSION_TYPE", ""},
                                  {"DBUS_SESSION_BUS_ADDRESS", ""},
                                  {"PULSE_SERVER", ""},
                                  {"HOME", home.path()},
                                  {"XDG_RUNTIME_DIR", home.path()}},
                                 doctorBound);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 1) << result.standardOutput << result.standardError;
    const std::string& out = result.standardOutput;
    EXPECT_EQ(lineOf(out, "Display"), "✗ Display: no X11 display (DISPLAY is not set) — run Parlune inside an X11 session (or XWayland)");
    for (const char* name : {"XInput2 and XTest", "Hotkey", "Accessibility bus", "Capture source"}) {
        EXPECT_TRUE(lineOf(out, name).starts_with("✗ ")) << name << "\n" << out;
    }
    for (const char* name : {"Media players", "Tray host", "Gateway", "Backend", "parlune:// handler", "Local model server",
                             "Spell checker", "Media adapter"}) {
        EXPECT_NE(lineOf(out, name), "") << name << "\n" << out;
    }
    EXPECT_NE(out.find("Not ready for dictation: "), std::string::npos) << out;
}

TEST(DoctorCli, DaemonsThatNeverAnswerGiveFailedLinesInsteadOfAHang) {
    // One server that accepts every connection and never answers stands in for the X server, the
    // session bus, the sound server and the local model server.
    testing::SilentServer silent;
    ASSERT_GT(silent.port(), 6000);
    const std::string port = std::to_string(silent.port());
    const testing::PrivateUserFolders home;
    home.writeDeployment("config", {{"localModelBaseURL", silent.baseURL()}});
    const auto result = home.run({"doctor"},
                                 {{"DISPLAY", "127.0.0.1:" + std::to_string(silent.port() - 6000)},
                                  {"WAYLAND_DISPLAY", ""},
                                  {"DBUS_SESSION_BUS_ADDRESS", "tcp:host=127.0.0.1,port=" + port},
                                  {"PULSE_SERVER", "tcp:127.0.0.1:" + port},
                                  {"HOME", home.path()},
                                  {"XDG_RUNTIME_DIR", home.path()}},
                                 doctorBound);
    ASSERT_FALSE(result.timedOut) << result.standardOutput;
    EXPECT_EQ(result.exitCode, 1) << result.standardOutput << result.standardError;
    const std::string& out = result.standardOutput;
    EXPECT_EQ(lineOf(out, "Display"), "✗ Display: no answer within 5 s — a daemon it asks is not responding") << out;
    for (const char* name : {"XInput2 and XTest", "Hotkey", "Accessibility bus", "Capture source", "Media players",
                             "Local model server", "Tray host"}) {
        EXPECT_TRUE(lineOf(out, name).starts_with("✗ ")) << name << "\n" << out;
    }
    EXPECT_NE(out.find("Not ready for dictation: "), std::string::npos) << out;
}

class DoctorOnADesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        session = testing::DesktopSession::shared();
        if (session == nullptr) return;
        sound = std::make_unique<testing::PrivateSoundServer>();
        tray = session->start({"/usr/bin/trayer", "--SetDockType", "false"});
        trayReady = waitForTray(session->display().name());
        localModel = std::make_unique<testing::LocalHttpServer>(
            testing::LocalHttpServer::replying(200, R"({"object":"list","data":[]})"));
        const auto config = std::filesystem::path(std::getenv("XDG_CONFIG_HOME"));
        testing::writeFile(config / "parlune/deployment.json",
                           nlohmann::json{{"gatewayBaseURL", "https://gateway.example"},
                                          {"gatewayAPIKey", gatewayKey},
                                          {"backendURL", "https://backend.example"},
                                          {"backendPublishableKey", backendKey},
                                          {"localModelBaseURL", localModel->baseURL()}}
                               .dump());
        // The link handler, registered as scripts/install-desktop-entry does.
        testing::writeFile(std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "applications/parlune.desktop",
                           "[Desktop Entry]\nType=Application\nName=Parlune\nExec=parlune %u\n");
        testing::writeFile(config / "mimeapps.list", "[Default Applications]\nx-scheme-handler/parlune=parlune.desktop\n");
    }
    static void TearDownTestSuite() {
        localModel.reset();
        tray.reset();
        sound.reset();
    }
    void SetUp() override {
        ASSERT_NE(session, nullptr) << "the private desktop did not start";
        ASSERT_TRUE(sound->isServing()) << "the sound server did not start";
        ASSERT_TRUE(trayReady) << "the tray did not start";
    }

    static void setAccessibility(bool on) {
        ASSERT_EQ(runProcess({"/usr/bin/dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                              "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                              std::string("variant:boolean:") + (on ? "true" : "false")},
                             {}, 10s)
                      .exitCode,
                  0);
    }

    static testing::ProcessResult doctor() {
        return runProcess({PARLUNE_BINARY, "doctor"}, {{"PULSE_SERVER", sound->address()}}, doctorBound);
    }

    static inline testing::DesktopSession* session = nullptr;
    static inline std::unique_ptr<testing::PrivateSoundServer> sound;
    static inline std::unique_ptr<testing::LocalHttpServer> localModel;
    static inline std::unique_ptr<testing::DesktopProgram> tray;
    static inline bool trayReady = false;
};

TEST_F(DoctorOnADesktop, EveryNeededCheckPassesAndNoKeyIsShown) {
    setAccessibility(true);
    const auto result = doctor();
    ASSERT_FALSE(result.timedOut);
    const std::string& out = result.standardOutput;
    EXPECT_EQ(result.exitCode, 0) << out << result.standardError;
    for (const auto& name : neededChecks) EXPECT_TRUE(lineOf(out, name).starts_with("✓ ")) << name << "\n" << out;
    EXPECT_EQ(lineOf(out, "Display"), "✓ Display: X11 (" + session->display().name() + ")");
    EXPECT_EQ(lineOf(out, "Hotkey"), "✓ Hotkey: Right Control can be grabbed");
    EXPECT_EQ(lineOf(out, "Accessibility bus"), "✓ Accessibility bus: on");
    EXPECT_TRUE(lineOf(out, "Local model server").starts_with("✓ ")) << out;
    EXPECT_EQ(lineOf(out, "Gateway"), "✓ Gateway (optional): https://gateway.example, key configured");
    EXPECT_EQ(lineOf(out, "Backend"), "✓ Backend (optional): https://backend.example, publishable key configured");
    EXPECT_EQ(lineOf(out, "parlune:// handler"), "✓ parlune:// handler (optional): parlune.desktop");
    EXPECT_EQ(lineOf(out, "Tray host"), "✓ Tray host (optional): XEmbed system tray");
    EXPECT_EQ(out.find(gatewayKey), std::string::npos);
    EXPECT_EQ(out.find(backendKey), std::string::npos);
    EXPECT_EQ(result.standardError.find(gatewayKey), std::string::npos);
    EXPECT_NE(out.find("Ready for dictation."), std::string::npos);
    EXPECT_EQ(localModel->received().back().target, "/v1/models");
}

// Another client of the X server grabs the default hotkey, Right Control, while it lives.
struct HotkeyHolder {
    HotkeyHolder() {
        EventTapOptions options;
        options.eventMask = KeyEventMask::flagsChanged;
        options.keyCode = 62;
        options.modifierOnly = true;
        grab = events.createEventTap(options, [](KeyEventType, const KeyEvent&, void*) { return TapDecision::pass; }, nullptr);
    }
    StdLoop loop;
    X11KeyboardEvents events{X11Connection::open(loop)};
    std::unique_ptr<EventTap> grab;
};

TEST_F(DoctorOnADesktop, AHotkeyHeldByAnotherProgramAndTheAccessibilityBusOffAreReportedWithWhatToDo) {
    HotkeyHolder holder;
    ASSERT_NE(holder.grab, nullptr);
    setAccessibility(false);

    const auto result = doctor();
    setAccessibility(true);
    ASSERT_FALSE(result.timedOut);
    const std::string& out = result.standardOutput;
    EXPECT_EQ(result.exitCode, 1) << out;
    EXPECT_TRUE(lineOf(out, "Hotkey").starts_with("✗ Hotkey: Right Control is grabbed by another program — ")) << out;
    EXPECT_EQ(lineOf(out, "Accessibility bus").rfind(std::string("✗ Accessibility bus: off — run: ") +
                                                         LinuxAccessibilityTrust::permanentCommand,
                                                     0),
              0u)
        << out;
    EXPECT_NE(out.find("Not ready for dictation: 2 needed checks failed (Hotkey, Accessibility bus)."), std::string::npos)
        << out;
}

TEST_F(DoctorOnADesktop, TheHotkeyHeldByTheRunningApplicationCounts) {
    HotkeyHolder holder;
    ASSERT_NE(holder.grab, nullptr);
    // The running application holds the lock of its single-instance folder.
    const auto folder = std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "parlune";
    std::filesystem::create_directories(folder);
    const int lock = ::open((folder / "instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    setAccessibility(true);

    const auto result = doctor();
    ::close(lock);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(lineOf(result.standardOutput, "Hotkey"), "✓ Hotkey: Right Control is held by the running Parlune");
    EXPECT_EQ(result.exitCode, 0) << result.standardOutput;
}

}  // namespace
}  // namespace parlune
