#pragma once

#include "core/runtime/EventLoop.h"
#include "core/runtime/Property.h"
#include "core/runtime/Task.h"
#include "core/hotkey/ServedTap.h"
#include "core/session/Workers.h"
#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardEvents.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace parlune {

// What the tap callback works on: a snapshot of the hotkey taken when the tap starts, and the tap's
// own pressed state. Owned by the monitor; the tap holds only a plain pointer to it.
struct EventTapContext {
    const std::uint16_t targetKeyCode;
    const std::uint64_t targetModifierFlags;
    const bool targetIsModifierOnly;
    bool isPressed = false;
    const std::function<void()> onDown;  // schedules the press report
    const std::function<void()> onUp;    // schedules the release report
};

// Watches the keyboard system-wide and reports each press and each release of the hotkey once,
// keeping the hotkey's own key events away from the application in front. Uses an active event tap
// when one can be made and observe-only monitors otherwise. Lives on the main loop.
class KeyboardMonitor final : public IKeyboardMonitor, public std::enable_shared_from_this<KeyboardMonitor> {
public:
    static constexpr std::string_view fallbackWarning =
        "⚠️ CGEvent tap unavailable — falling back to NSEvent monitors";
    static constexpr int permissionPolls = 30;
    static constexpr std::chrono::seconds permissionPollInterval{1};
    static constexpr std::uint64_t tapEventMask =
        KeyEventMask::keyDown | KeyEventMask::keyUp | KeyEventMask::flagsChanged;

    static std::shared_ptr<KeyboardMonitor> create(EventLoop& loop, std::shared_ptr<KeyboardEvents> events,
                                                   std::shared_ptr<AccessibilityTrust> trust);
    ~KeyboardMonitor() override;
    KeyboardMonitor(const KeyboardMonitor&) = delete;
    KeyboardMonitor& operator=(const KeyboardMonitor&) = delete;

    // Published state.
    const Property<bool>& isHotkeyPressed() const { return isHotkeyPressed_; }
    const Property<bool>& accessibilityPermission() const { return hasAccessibilityPermission_; }

    // IKeyboardMonitor.
    bool hasAccessibilityPermission() const override { return hasAccessibilityPermission_.get(); }
    // Asks for the trust, then checks it once a second, 30 times at most, until it is granted.
    void requestAccessibilityPermission() override;
    void setOnKeyDown(std::function<void()> callback) override { onKeyDown_ = std::move(callback); }
    void setOnKeyUp(std::function<void()> callback) override { onKeyUp_ = std::move(callback); }
    void startMonitoring(const RecordedHotkey& hotkey) override;
    // Tears everything down and forgets a held hotkey without reporting its release.
    void stopMonitoring() override;

    bool startCGEventTap();
    void startNSEventFallback();

    // The observe-only monitors' rules, on the main loop.
    void handleNSFlags(const KeyEvent& event);
    void handleNSKeyDown(const KeyEvent& event);
    void handleNSKeyUp(const KeyEvent& event);

    // The tap's decision for one event; `userInfo` is the EventTapContext. Never reports directly:
    // it flips the context's pressed state and schedules the report on the main loop.
    static TapDecision tapCallback(KeyEventType type, const KeyEvent& event, void* userInfo);

    std::uint16_t targetKeyCode() const { return targetKeyCode_; }
    std::uint64_t targetModifierFlags() const { return targetModifierFlags_; }
    bool targetIsModifierOnly() const { return targetIsModifierOnly_; }
    bool isTapping() const { return tap_.isRunning(); }
    std::size_t fallbackMonitorCount() const { return nsMonitors_.size(); }
    const EventTapContext* tapContext() const { return tapContext_.get(); }

private:
    KeyboardMonitor(EventLoop& loop, std::shared_ptr<KeyboardEvents> events, std::shared_ptr<AccessibilityTrust> trust);
    // Posts the report of a press (true) or release (false) onto the loop, for as long as the
    // monitor exists.
    std::function<void()> scheduleReport(bool pressed);
    void report(bool pressed);
    static Task<void> pollAccessibilityPermission(std::weak_ptr<KeyboardMonitor> weakMonitor,
                                                  std::shared_ptr<AccessibilityTrust> trust);
    KeyboardEvents::Handler fallbackHandler(void (KeyboardMonitor::*handle)(const KeyEvent&));

    EventLoop& loop_;
    std::shared_ptr<KeyboardEvents> events_;
    std::shared_ptr<AccessibilityTrust> trust_;

    Property<bool> isHotkeyPressed_{false};
    Property<bool> hasAccessibilityPermission_{false};
    std::unique_ptr<EventTapContext> tapContext_;  // outlives the tap: declared before it
    ServedTap tap_;                                // eventTap and runLoopSource
    std::vector<std::unique_ptr<EventMonitor>> nsMonitors_;
    std::function<void()> onKeyDown_;
    std::function<void()> onKeyUp_;
    std::uint16_t targetKeyCode_ = 63;
    std::uint64_t targetModifierFlags_ = 0;
    bool targetIsModifierOnly_ = true;
};

}  // namespace parlune
