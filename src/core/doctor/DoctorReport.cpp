#include "core/doctor/DoctorReport.h"

#include <sstream>

namespace parlune::doctor {
namespace {

constexpr const char* configFile = "~/.config/parlune/deployment.json";

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace

Check passed(std::string name, Need need, std::string detail, std::string advice) {
    return {std::move(name), need, true, std::move(detail), std::move(advice)};
}

Check failed(std::string name, Need need, std::string detail, std::string advice) {
    return {std::move(name), need, false, std::move(detail), std::move(advice)};
}

std::string formatLine(const Check& check) {
    std::string line = check.passed ? "✓ " : "✗ ";
    line += check.name;
    if (check.need == Need::optional) line += " (optional)";
    line += ": " + check.detail;
    if (!check.advice.empty()) line += " — " + check.advice;
    return line;
}

bool readyForDictation(const std::vector<Check>& checks) {
    for (const auto& check : checks) {
        if (check.need == Need::dictation && !check.passed) return false;
    }
    return true;
}

int exitStatus(const std::vector<Check>& checks) { return readyForDictation(checks) ? 0 : 1; }

std::string summaryLine(const std::vector<Check>& checks) {
    std::vector<std::string> failedNames;
    for (const auto& check : checks) {
        if (check.need == Need::dictation && !check.passed) failedNames.push_back(check.name);
    }
    if (failedNames.empty()) return "Ready for dictation.";
    std::string line = "Not ready for dictation: " + std::to_string(failedNames.size()) +
                       (failedNames.size() == 1 ? " needed check failed (" : " needed checks failed (");
    for (std::size_t i = 0; i < failedNames.size(); ++i) line += (i > 0 ? ", " : "") + failedNames[i];
    return line + ").";
}

Check displayCheck(std::string_view display, std::string_view waylandDisplay, std::string_view sessionType,
                   bool x11Opened) {
    const bool wayland = !waylandDisplay.empty() || sessionType == "wayland";
    const std::string name = "Display";
    if (display.empty()) {
        if (wayland) {
            return failed(name, Need::dictation, "Wayland without XWayland (DISPLAY is not set)",
                          "Parlune needs X11: enable XWayland in your compositor or log in to an X11 session");
        }
        return failed(name, Need::dictation, "no X11 display (DISPLAY is not set)",
                      "run Parlune inside an X11 session (or XWayland)");
    }
    if (!x11Opened) {
        return failed(name, Need::dictation, "cannot open the X11 display " + std::string(display),
                      "check that the X server runs and that you may connect to it (XAUTHORITY)");
    }
    if (wayland) {
        return passed(name, Need::dictation, "Wayland with XWayland (" + std::string(display) + ")",
                      "the hotkey, pasting and reading the field work in XWayland windows only");
    }
    return passed(name, Need::dictation, "X11 (" + std::string(display) + ")");
}

Check gatewayCheck(const DeploymentConfig& config) {
    const std::string name = "Gateway";
    if (config.gatewayBaseURL.empty()) {
        return failed(name, Need::optional, "no gatewayBaseURL; \"Fast\" inserts the raw transcript",
                      std::string("set gatewayBaseURL and gatewayAPIKey in ") + configFile);
    }
    if (config.gatewayAPIKey.empty()) {
        return failed(name, Need::optional, config.gatewayBaseURL + " without a key; \"Fast\" inserts the raw transcript",
                      std::string("set gatewayAPIKey in ") + configFile + " (mode 0600)");
    }
    return passed(name, Need::optional, config.gatewayBaseURL + ", key configured");
}

Check backendCheck(const DeploymentConfig& config) {
    const std::string name = "Backend";
    const bool url = !config.backendURL.empty();
    const bool key = !config.backendPublishableKey.empty();
    if (url && key) return passed(name, Need::optional, config.backendURL + ", publishable key configured");
    std::string missing = !url && !key ? "no backendURL and no backendPublishableKey"
                          : !url      ? "no backendURL"
                                      : config.backendURL + " without a publishable key";
    return failed(name, Need::optional, missing + "; signing in is not possible",
                  std::string("set backendURL and backendPublishableKey in ") + configFile);
}

std::optional<std::string> defaultApplication(const std::vector<std::string>& mimeappsTexts, std::string_view mimeType) {
    std::optional<std::string> added;
    for (const auto& text : mimeappsTexts) {
        std::istringstream lines(text);
        std::string line;
        std::string section;
        while (std::getline(lines, line)) {
            const std::string entry = trimmed(line);
            if (entry.empty() || entry.front() == '#') continue;
            if (entry.front() == '[') {
                section = entry;
                continue;
            }
            const auto equals = entry.find('=');
            if (equals == std::string::npos || trimmed(std::string_view(entry).substr(0, equals)) != mimeType) continue;
            std::istringstream values(entry.substr(equals + 1));
            std::string first;
            while (std::getline(values, first, ';') && trimmed(first).empty()) {
            }
            first = trimmed(first);
            if (first.empty()) continue;
            if (section == "[Default Applications]") return first;
            if (section == "[Added Associations]" && !added) added = first;
        }
    }
    return added;
}

}  // namespace parlune::doctor
