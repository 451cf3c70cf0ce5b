#include "core/doctor/DoctorReport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parlune::doctor {
namespace {

Check needed(bool ok, std::string name = "Display") { return {std::move(name), Need::dictation, ok, "found", "do this"}; }
Check optional(bool ok, std::string name = "Tray host") { return {std::move(name), Need::optional, ok, "found", {}}; }

TEST(DoctorReport, VerdictAndExitStatus) {
    struct Case {
        std::string name;
        std::vector<Check> checks;
        int status;
        std::string summary;
    };
    const std::vector<Case> cases = {
        {"nothing checked", {}, 0, "Ready for dictation."},
        {"all passed", {needed(true), optional(true)}, 0, "Ready for dictation."},
        {"only optional failed", {needed(true), optional(false), optional(false, "Gateway")}, 0, "Ready for dictation."},
        {"one needed failed", {needed(false), optional(true)}, 1, "Not ready for dictation: 1 needed check failed (Display)."},
        {"two needed failed",
         {needed(false), needed(true, "Hotkey"), needed(false, "Capture source"), optional(false)},
         1,
         "Not ready for dictation: 2 needed checks failed (Display, Capture source)."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exitStatus(c.checks), c.status) << c.name;
        EXPECT_EQ(readyForDictation(c.checks), c.status == 0) << c.name;
        EXPECT_EQ(summaryLine(c.checks), c.summary) << c.name;
    }
}

TEST(DoctorReport, LineFormat) {
    EXPECT_EQ(formatLine(passed("Display", Need::dictation, "X11 (:0)")), "✓ Display: X11 (:0)");
    EXPECT_EQ(formatLine(failed("Accessibility bus", Need::dictation, "off", "run: gsettings set a b true")),
              "✗ Accessibility bus: off — run: gsettings set a b true");
    EXPECT_EQ(formatLine(failed("Tray host", Need::optional, "none", "start one")), "✗ Tray host (optional): none — start one");
}

TEST(DoctorReport, DisplayFromTheSessionVariables) {
    struct Case {
        std::string display, wayland, sessionType;
        bool opened;
        bool passes;
        std::string detail;
    };
    const std::vector<Case> cases = {
        {":0", "", "x11", true, true, "X11 (:0)"},
        {"", "", "", false, false, "no X11 display (DISPLAY is not set)"},
        {":7", "", "", false, false, "cannot open the X11 display :7"},
        {":0", "wayland-0", "wayland", true, true, "Wayland with XWayland (:0)"},
        {":0", "", "wayland", true, true, "Wayland with XWayland (:0)"},
        {"", "wayland-0", "wayland", false, false, "Wayland without XWayland (DISPLAY is not set)"},
    };
    for (const auto& c : cases) {
        const Check check = displayCheck(c.display, c.wayland, c.sessionType, c.opened);
        EXPECT_EQ(check.passed, c.passes) << c.detail;
        EXPECT_EQ(check.detail, c.detail);
        EXPECT_EQ(check.need, Need::dictation);
        if (!c.passes) {
            EXPECT_FALSE(check.advice.empty()) << c.detail;
        }
    }
    // What works on Wayland is said on the passing line.
    EXPECT_NE(displayCheck(":0", "wayland-0", "wayland", true).advice.find("XWayland windows only"), std::string::npos);
}

TEST(DoctorReport, HostedServicesAreConfiguredOrNotAndKeysNeverShow) {
    struct Case {
        std::string name;
        DeploymentConfig config;
        bool gateway;
        bool backend;
    };
    DeploymentConfig none;
    DeploymentConfig urlsOnly;
    urlsOnly.gatewayBaseURL = "https://gateway.example";
    urlsOnly.backendURL = "https://backend.example";
    DeploymentConfig full = urlsOnly;
    full.gatewayAPIKey = "sk-secret-gateway-123";
    full.backendPublishableKey = "pk-secret-backend-456";
    DeploymentConfig keysOnly;
    keysOnly.gatewayAPIKey = full.gatewayAPIKey;
    keysOnly.backendPublishableKey = full.backendPublishableKey;
    const std::vector<Case> cases = {
        {"nothing", none, false, false},
        {"addresses without keys", urlsOnly, false, false},
        {"keys without addresses", keysOnly, false, false},
        {"everything", full, true, true},
    };
    for (const auto& c : cases) {
        const Check gateway = gatewayCheck(c.config);
        const Check backend = backendCheck(c.config);
        EXPECT_EQ(gateway.passed, c.gateway) << c.name;
        EXPECT_EQ(backend.passed, c.backend) << c.name;
        EXPECT_EQ(gateway.need, Need::optional);
        EXPECT_EQ(backend.need, Need::optional);
        for (const auto& line : {formatLine(gateway), formatLine(backend)}) {
            EXPECT_EQ(line.find("secret"), std::string::npos) << c.name << ": " << line;
        }
    }
    EXPECT_NE(formatLine(gatewayCheck(full)).find("configured"), std::string::npos);
}

TEST(DoctorReport, SchemeHandlerFromMimeappsLists) {
    const std::string type = "x-scheme-handler/parlune";
    struct Case {
        std::string name;
        std::vector<std::string> files;
        std::optional<std::string> handler;
    };
    const std::vector<Case> cases = {
        {"no files", {}, std::nullopt},
        {"default", {"[Default Applications]\nx-scheme-handler/parlune=parlune.desktop\n"}, "parlune.desktop"},
        {"first of a list, spaces and comments",
         {"# mine\n[Default Applications]\n text/plain=a.desktop\n x-scheme-handler/parlune = ;parlune.desktop;other.desktop;\n"},
         "parlune.desktop"},
        {"other types and other sections only",
         {"[Removed Associations]\nx-scheme-handler/parlune=parlune.desktop\n[Default Applications]\n"
          "x-scheme-handler/parlunex=x.desktop\n"},
         std::nullopt},
        {"the user's file wins",
         {"[Default Applications]\nx-scheme-handler/parlune=mine.desktop\n",
          "[Default Applications]\nx-scheme-handler/parlune=system.desktop\n"},
         "mine.desktop"},
        {"a default anywhere beats an added association",
         {"[Added Associations]\nx-scheme-handler/parlune=added.desktop\n",
          "[Default Applications]\nx-scheme-handler/parlune=default.desktop\n"},
         "default.desktop"},
        {"added association alone", {"[Added Associations]\nx-scheme-handler/parlune=added.desktop;\n"}, "added.desktop"},
    };
    for (const auto& c : cases) EXPECT_EQ(defaultApplication(c.files, type), c.handler) << c.name;
}

}  // namespace
}  // namespace parlune::doctor
