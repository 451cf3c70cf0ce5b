#pragma once

#include "core/hotkey/KeyboardMonitor.h"
#include "linux/hotkey/LinuxAccessibilityTrust.h"
#include "linux/hotkey/X11KeyboardEvents.h"

#include <memory>

namespace parlune {

// The hotkey used when none is stored: Right Control. The Fn key, the usual default, never reaches
// X11.
RecordedHotkey linuxDefaultHotkey();

// The keyboard of this desktop: one X11 connection ($DISPLAY) served by `loop`, its key events and
// the accessibility trust. Without a display both still exist and can watch nothing.
struct LinuxKeyboard {
    static LinuxKeyboard open(EventLoop& loop);
    std::shared_ptr<KeyboardMonitor> makeMonitor(EventLoop& loop) const;

    std::shared_ptr<X11Connection> connection;
    std::shared_ptr<X11KeyboardEvents> events;
    std::shared_ptr<LinuxAccessibilityTrust> trust;
};

}  // namespace parlune
