#pragma once

#include "linux/hotkey/X11Connection.h"
#include "platform/AccessibilityTrust.h"

#include <memory>
#include <optional>

namespace parlune {

// Accessibility trust on a Linux desktop: the X server offers XInput2 (to watch keys) and XTest (to
// type), and the session's accessibility bus is switched on (org.a11y.Status.IsEnabled), so that
// applications expose their text fields. Asking switches the bus on; checks are silent.
class LinuxAccessibilityTrust final : public AccessibilityTrust {
public:
    static constexpr const char* permanentCommand =
        "gsettings set org.gnome.desktop.interface toolkit-accessibility true";

    explicit LinuxAccessibilityTrust(std::shared_ptr<X11Connection> connection);
    bool isProcessTrusted(bool prompt) override;

    // org.a11y.Status.IsEnabled on the session bus; none when the bus cannot be asked (the reason is
    // left in `error`).
    static std::optional<bool> accessibilityBusEnabled(std::string* error = nullptr);
    static bool enableAccessibilityBus(std::string* error = nullptr);

private:
    bool displayReady_;
};

}  // namespace parlune
