#pragma once

// The verdicts of `parlune doctor`: one line per check of the user's desktop, each needed for
// dictation or optional, with what to do about a failure. Nothing here probes anything: the probes
// live with the platform adapters and hand their findings to these functions.

#include "core/config/DeploymentConfig.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune::doctor {

enum class Need { dictation, optional };

struct Check {
    std::string name;
    Need need = Need::dictation;
    bool passed = false;
    std::string detail;  // what was found
    std::string advice;  // what to do (after a failure) or what to know (after a pass); may be empty

    bool operator==(const Check&) const = default;
};

Check passed(std::string name, Need need, std::string detail, std::string advice = {});
Check failed(std::string name, Need need, std::string detail, std::string advice = {});

// "✓ Display: X11 (:0)", "✗ Accessibility bus: off — run: …"; optional checks carry "(optional)"
// after their name.
std::string formatLine(const Check& check);

// True when every check needed for dictation passed.
bool readyForDictation(const std::vector<Check>& checks);
// 0 when ready for dictation, 1 otherwise.
int exitStatus(const std::vector<Check>& checks);
// "Ready for dictation." or "Not ready for dictation: 2 needed checks failed (Display, Hotkey)."
std::string summaryLine(const std::vector<Check>& checks);

// The display check from the session's variables ($DISPLAY, $WAYLAND_DISPLAY, $XDG_SESSION_TYPE)
// and whether the X11 display could be opened.
Check displayCheck(std::string_view display, std::string_view waylandDisplay, std::string_view sessionType,
                   bool x11Opened);

// The hosted services of the deployment: configured or not. Keys are never shown.
Check gatewayCheck(const DeploymentConfig& config);
Check backendCheck(const DeploymentConfig& config);

// The default application for `mimeType` in mimeapps.list texts given in precedence order: the
// first "Default Applications" entry, else the first "Added Associations" entry; none when absent.
std::optional<std::string> defaultApplication(const std::vector<std::string>& mimeappsTexts, std::string_view mimeType);

}  // namespace parlune::doctor
