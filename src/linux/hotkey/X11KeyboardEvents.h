#pragma once

#include "linux/hotkey/X11Connection.h"
#include "platform/KeyboardEvents.h"

#include <memory>

namespace parlune {

// The session's keyboard on X11.
//
// - An active tap is a set of passive key grabs on the root window for the hotkey's key: with any
//   modifiers for a modifier key on its own, otherwise with exactly the hotkey's modifiers in every
//   lock variant (none, Caps Lock, Num Lock, both). The grabbed events go to the tap's callback and
//   never to the focused window. The tap cannot be created when the grab is refused (another
//   program holds it), when the key has no X11 code (Fn) or when there is no display. While a grab
//   is active the X server sends the grabber every other key too; those reach no application.
// - Listen-only taps and global monitors use XInput2 raw key events on the root window, which see
//   every key whatever is grabbed, and take nothing away. Local monitors are declined: the global
//   ones already see this application's own windows.
// - Modifier key presses and releases are reported as flags-changed events; key codes and modifier
//   states are translated to the macOS values (Shift, Control, Alt as option, Super as command,
//   Lock as caps lock).
class X11KeyboardEvents final : public KeyboardEvents {
public:
    // `connection` may be none (no display): then nothing can be watched.
    explicit X11KeyboardEvents(std::shared_ptr<X11Connection> connection);
    ~X11KeyboardEvents() override;

    std::unique_ptr<EventTap> createEventTap(const EventTapOptions& options, EventTapCallback callback,
                                             void* userInfo) override;
    std::unique_ptr<RunLoopSource> addToMainLoop(EventTap& tap) override;
    std::unique_ptr<EventMonitor> addGlobalMonitor(std::uint64_t mask, Handler handler) override;
    std::unique_ptr<EventMonitor> addLocalMonitor(std::uint64_t mask, Handler handler) override;
    bool canSee(std::uint16_t keyCode, std::uint64_t modifierFlags) const override;

    const std::shared_ptr<X11Connection>& connection() const { return connection_; }

    class Hub;

private:
    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<Hub> hub_;
};

}  // namespace parlune
