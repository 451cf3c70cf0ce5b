#include "core/hotkey/KeyboardMonitor.h"

#include "core/log/Log.h"
#include "core/values/KeyNames.h"

namespace parlune {
namespace {

// Either Fn code stands for the other; any other key only for itself.
bool isTargetKey(std::uint16_t targetKeyCode, std::uint16_t keyCode) {
    if (isFnKeyCode(targetKeyCode) && isFnKeyCode(keyCode)) return true;
    return targetKeyCode == keyCode;
}

// Whether the flag bit of a modifier key is set in the event's flags (the key, or its twin on the
// other side, is down).
bool modifierBitSet(std::uint16_t keyCode, std::uint64_t flags) {
    const auto bit = modifierFlag(keyCode);
    return bit && (flags & *bit) != 0;
}

}  // namespace

std::shared_ptr<KeyboardMonitor> KeyboardMonitor::create(EventLoop& loop, std::shared_ptr<KeyboardEvents> events,
                                                         std::shared_ptr<AccessibilityTrust> trust) {
    return std::shared_ptr<KeyboardMonitor>(new KeyboardMonitor(loop, std::move(events), std::move(trust)));
}

KeyboardMonitor::KeyboardMonitor(EventLoop& loop, std::shared_ptr<KeyboardEvents> events,
                                 std::shared_ptr<AccessibilityTrust> trust)
    : loop_(loop), events_(std::move(events)), trust_(std::move(trust)) {
    hasAccessibilityPermission_.set(trust_->isProcessTrusted(false));
}

KeyboardMonitor::~KeyboardMonitor() { tap_.stop(); }  // the tap goes before the context it points to

// ---- Accessibility trust ---------------------------------------------------------------------

void KeyboardMonitor::requestAccessibilityPermission() {
    trust_->isProcessTrusted(true);
    spawn(loop_, pollAccessibilityPermission(weak_from_this(), trust_));
}

Task<void> KeyboardMonitor::pollAccessibilityPermission(std::weak_ptr<KeyboardMonitor> weakMonitor,
                                                        std::shared_ptr<AccessibilityTrust> trust) {
    for (int round = 0; round < permissionPolls; ++round) {
        co_await sleepFor(permissionPollInterval);  // a cancelled wait is ignored: the round goes on
        auto monitor = weakMonitor.lock();
        if (!monitor) co_return;
        const bool trusted = trust->isProcessTrusted(false);
        monitor->hasAccessibilityPermission_.set(trusted);
        if (trusted) co_return;
    }
}

// ---- Starting and stopping -------------------------------------------------------------------

void KeyboardMonitor::startMonitoring(const RecordedHotkey& hotkey) {
    // Owners stop before they start again; should one not, the running tap must not outlive the
    // context it points to.
    if (!tap_.isIdle() || tapContext_ || !nsMonitors_.empty()) stopMonitoring();

    targetKeyCode_ = hotkey.keyCode;
    targetModifierFlags_ = hotkey.modifierFlags;
    targetIsModifierOnly_ = hotkey.isModifierOnly();

    if (!events_->canSee(targetKeyCode_, targetModifierFlags_)) {
        log::line("⚠️ The hotkey \"" + hotkey.displayName +
                  "\" cannot be seen on this desktop — choose another one with: parlune hotkey record");
        return;
    }
    if (!startCGEventTap()) {
        log::line(fallbackWarning);
        startNSEventFallback();
    }
}

bool KeyboardMonitor::startCGEventTap() {
    tapContext_.reset(new EventTapContext{targetKeyCode_, targetModifierFlags_, targetIsModifierOnly_, false,
                                          scheduleReport(true), scheduleReport(false)});

    EventTapOptions options;
    options.listenOnly = false;
    options.eventMask = tapEventMask;
    options.keyCode = targetKeyCode_;
    options.modifierFlags = targetModifierFlags_;
    options.modifierOnly = targetIsModifierOnly_;
    if (!tap_.start(*events_, options, &KeyboardMonitor::tapCallback, tapContext_.get())) {
        tapContext_.reset();
        return false;
    }
    return true;
}

void KeyboardMonitor::startNSEventFallback() {
    auto add = [this](std::unique_ptr<EventMonitor> monitor) {
        if (monitor) nsMonitors_.push_back(std::move(monitor));  // a declined monitor is skipped silently
    };
    if (targetIsModifierOnly_) {
        add(events_->addGlobalMonitor(KeyEventMask::flagsChanged, fallbackHandler(&KeyboardMonitor::handleNSFlags)));
        add(events_->addLocalMonitor(KeyEventMask::flagsChanged, fallbackHandler(&KeyboardMonitor::handleNSFlags)));
        return;
    }
    add(events_->addGlobalMonitor(KeyEventMask::keyDown, fallbackHandler(&KeyboardMonitor::handleNSKeyDown)));
    add(events_->addGlobalMonitor(KeyEventMask::keyUp, fallbackHandler(&KeyboardMonitor::handleNSKeyUp)));
    add(events_->addLocalMonitor(KeyEventMask::keyDown, fallbackHandler(&KeyboardMonitor::handleNSKeyDown)));
    add(events_->addLocalMonitor(KeyEventMask::keyUp, fallbackHandler(&KeyboardMonitor::handleNSKeyUp)));
}

void KeyboardMonitor::stopMonitoring() {
    tap_.stop();
    tapContext_.reset();
    nsMonitors_.clear();
    isHotkeyPressed_.set(false);
}

// ---- Reports -----------------------------------------------------------------------------------

std::function<void()> KeyboardMonitor::scheduleReport(bool pressed) {
    return [weakSelf = weak_from_this(), loop = &loop_, pressed] {
        loop->post([weakSelf, pressed] {
            if (auto self = weakSelf.lock()) self->report(pressed);
        });
    };
}

void KeyboardMonitor::report(bool pressed) {
    isHotkeyPressed_.set(pressed);
    auto callback = pressed ? onKeyDown_ : onKeyUp_;  // the owner may replace it from inside
    if (callback) callback();
}

// ---- The tap's decision ------------------------------------------------------------------------

TapDecision KeyboardMonitor::tapCallback(KeyEventType type, const KeyEvent& event, void* userInfo) {
    if (userInfo == nullptr) return TapDecision::pass;
    auto& context = *static_cast<EventTapContext*>(userInfo);
    const std::uint16_t keyCode = event.keyCode;

    if (context.targetIsModifierOnly) {
        // Key-down and key-up events of a modifier key are never touched.
        if (type != KeyEventType::flagsChanged || !isTargetKey(context.targetKeyCode, keyCode))
            return TapDecision::pass;
        if (modifierBitSet(keyCode, event.flags)) {
            if (!context.isPressed) {
                context.isPressed = true;
                context.onDown();
            }
        } else if (context.isPressed) {
            context.isPressed = false;
            context.onUp();
        }
        return TapDecision::swallow;
    }

    if ((type != KeyEventType::keyDown && type != KeyEventType::keyUp) || keyCode != context.targetKeyCode) {
        return TapDecision::pass;
    }
    if (type == KeyEventType::keyDown) {
        if ((event.flags & hotkeyModifierMask) != context.targetModifierFlags) return TapDecision::pass;
        if (!context.isPressed) {  // otherwise an auto-repeat
            context.isPressed = true;
            context.onDown();
        }
        return TapDecision::swallow;
    }
    // The key-up is not checked against the modifiers: they may have been let go first.
    if (!context.isPressed) return TapDecision::pass;
    context.isPressed = false;
    context.onUp();
    return TapDecision::swallow;
}

// ---- The observe-only fallback -----------------------------------------------------------------

KeyboardEvents::Handler KeyboardMonitor::fallbackHandler(void (KeyboardMonitor::*handle)(const KeyEvent&)) {
    return [weakSelf = weak_from_this(), loop = &loop_, handle](const KeyEvent& event) {
        loop->post([weakSelf, handle, event] {
            if (auto self = weakSelf.lock()) ((*self).*handle)(event);
        });
    };
}

void KeyboardMonitor::handleNSFlags(const KeyEvent& event) {
    if (!isTargetKey(targetKeyCode_, event.keyCode)) return;
    if (modifierBitSet(targetKeyCode_, event.flags)) {
        if (!isHotkeyPressed_.get()) report(true);
    } else if (isHotkeyPressed_.get()) {
        report(false);
    }
}

void KeyboardMonitor::handleNSKeyDown(const KeyEvent& event) {
    if (event.keyCode != targetKeyCode_ || isHotkeyPressed_.get()) return;
    // A hotkey without modifiers fires whatever is held.
    if (targetModifierFlags_ != 0 &&
        (event.flags & hotkeyModifierMask) != (targetModifierFlags_ & hotkeyModifierMask)) {
        return;
    }
    report(true);
}

void KeyboardMonitor::handleNSKeyUp(const KeyEvent& event) {
    if (event.keyCode != targetKeyCode_ || !isHotkeyPressed_.get()) return;
    report(false);
}

}  // namespace parlune
