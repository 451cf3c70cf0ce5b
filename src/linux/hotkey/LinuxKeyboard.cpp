#include "linux/hotkey/LinuxKeyboard.h"

namespace parlune {

RecordedHotkey linuxDefaultHotkey() { return RecordedHotkey{62, 0, "Right Control"}; }

LinuxKeyboard LinuxKeyboard::open(EventLoop& loop) {
    LinuxKeyboard keyboard;
    keyboard.connection = X11Connection::open(loop);
    keyboard.events = std::make_shared<X11KeyboardEvents>(keyboard.connection);
    keyboard.trust = std::make_shared<LinuxAccessibilityTrust>(keyboard.connection);
    return keyboard;
}

std::shared_ptr<KeyboardMonitor> LinuxKeyboard::makeMonitor(EventLoop& loop) const {
    return KeyboardMonitor::create(loop, events, trust);
}

}  // namespace parlune
