#pragma once

// A keyboard that tests type on: taps and monitors are recorded, and events are handed to them as
// the platform would.

#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardEvents.h"

#include <initializer_list>
#include <ostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace parlune {
inline std::ostream& operator<<(std::ostream& out, TapDecision decision) {
    return out << (decision == TapDecision::pass ? "pass" : "swallow");
}
}  // namespace parlune

namespace parlune::fakes {

KeyEvent keyEvent(KeyEventType type, std::uint16_t keyCode, std::uint64_t flags = 0,
                  std::initializer_list<std::uint16_t> text = {});
inline KeyEvent flagsChanged(std::uint16_t keyCode, std::uint64_t flags) {
    return keyEvent(KeyEventType::flagsChanged, keyCode, flags);
}
inline KeyEvent keyDown(std::uint16_t keyCode, std::uint64_t flags = 0,
                        std::initializer_list<std::uint16_t> text = {}) {
    return keyEvent(KeyEventType::keyDown, keyCode, flags, text);
}
inline KeyEvent keyUp(std::uint16_t keyCode, std::uint64_t flags = 0) {
    return keyEvent(KeyEventType::keyUp, keyCode, flags);
}

class FakeKeyboardEvents final : public KeyboardEvents {
public:
    struct Tap {
        EventTapOptions options;
        EventTapCallback callback = nullptr;
        void* userInfo = nullptr;
        bool enabled = false;
        bool served = false;  // has a run-loop source
        bool alive = true;
    };
    struct Monitor {
        bool global = true;
        std::uint64_t mask = 0;
        Handler handler;
        bool alive = true;
    };

    std::unique_ptr<EventTap> createEventTap(const EventTapOptions& options, EventTapCallback callback,
                                             void* userInfo) override;
    std::unique_ptr<RunLoopSource> addToMainLoop(EventTap& tap) override;
    std::unique_ptr<EventMonitor> addGlobalMonitor(std::uint64_t mask, Handler handler) override;
    std::unique_ptr<EventMonitor> addLocalMonitor(std::uint64_t mask, Handler handler) override;
    bool canSee(std::uint16_t keyCode, std::uint64_t modifierFlags) const override;

    // Hands the event to the live, enabled and served tap; none when there is no such tap.
    std::optional<TapDecision> tap(const KeyEvent& event);
    // Hands the event to the live monitors of its type, global or local ones.
    void monitor(const KeyEvent& event, bool global = true);

    const std::shared_ptr<Tap>* liveTap() const;
    std::vector<std::shared_ptr<Monitor>> liveMonitors() const;

    bool refuseTaps = false;
    bool declineLocalMonitors = false;
    std::set<std::uint16_t> unseenKeyCodes;
    std::vector<std::shared_ptr<Tap>> taps;
    std::vector<std::shared_ptr<Monitor>> monitors;
    // "enable", "disable", "drop tap", "drop source" in the order they happened.
    std::vector<std::string> journal;
};

class FakeAccessibilityTrust final : public AccessibilityTrust {
public:
    bool isProcessTrusted(bool prompt) override;

    bool trusted = false;
    // Grants the trust at the check with this number (1 = the first check); 0 never.
    int grantAtCheck = 0;
    int checks = 0;
    int prompts = 0;
};

}  // namespace parlune::fakes
