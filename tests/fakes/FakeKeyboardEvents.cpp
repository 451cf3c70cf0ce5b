#include "fakes/FakeKeyboardEvents.h"

#include <algorithm>

namespace parlune::fakes {
namespace {

class TapHandle final : public EventTap {
public:
    TapHandle(std::shared_ptr<FakeKeyboardEvents::Tap> tap, std::vector<std::string>& journal)
        : tap_(std::move(tap)), journal_(journal) {}
    ~TapHandle() override {
        tap_->alive = false;
        journal_.push_back("drop tap");
    }
    void setEnabled(bool enabled) override {
        tap_->enabled = enabled;
        journal_.push_back(enabled ? "enable" : "disable");
    }
    const std::shared_ptr<FakeKeyboardEvents::Tap>& tap() const { return tap_; }

private:
    std::shared_ptr<FakeKeyboardEvents::Tap> tap_;
    std::vector<std::string>& journal_;
};

class SourceHandle final : public RunLoopSource {
public:
    SourceHandle(std::shared_ptr<FakeKeyboardEvents::Tap> tap, std::vector<std::string>& journal)
        : tap_(std::move(tap)), journal_(journal) {
        tap_->served = true;
    }
    ~SourceHandle() override {
        tap_->served = false;
        journal_.push_back("drop source");
    }

private:
    std::shared_ptr<FakeKeyboardEvents::Tap> tap_;
    std::vector<std::string>& journal_;
};

class MonitorHandle final : public EventMonitor {
public:
    explicit MonitorHandle(std::shared_ptr<FakeKeyboardEvents::Monitor> monitor) : monitor_(std::move(monitor)) {}
    ~MonitorHandle() override { monitor_->alive = false; }

private:
    std::shared_ptr<FakeKeyboardEvents::Monitor> monitor_;
};

}  // namespace

KeyEvent keyEvent(KeyEventType type, std::uint16_t keyCode, std::uint64_t flags,
                  std::initializer_list<std::uint16_t> text) {
    KeyEvent event;
    event.type = type;
    event.keyCode = keyCode;
    event.flags = flags;
    event.textLength = static_cast<std::uint8_t>(text.size());
    std::copy_n(text.begin(), std::min(text.size(), event.text.size()), event.text.begin());
    return event;
}

std::unique_ptr<EventTap> FakeKeyboardEvents::createEventTap(const EventTapOptions& options, EventTapCallback callback,
                                                             void* userInfo) {
    if (refuseTaps) return nullptr;
    auto tap = std::make_shared<Tap>(Tap{options, callback, userInfo});
    taps.push_back(tap);
    return std::make_unique<TapHandle>(tap, journal);
}

std::unique_ptr<RunLoopSource> FakeKeyboardEvents::addToMainLoop(EventTap& tap) {
    return std::make_unique<SourceHandle>(static_cast<TapHandle&>(tap).tap(), journal);
}

std::unique_ptr<EventMonitor> FakeKeyboardEvents::addGlobalMonitor(std::uint64_t mask, Handler handler) {
    auto monitor = std::make_shared<Monitor>(Monitor{true, mask, std::move(handler)});
    monitors.push_back(monitor);
    return std::make_unique<MonitorHandle>(monitor);
}

std::unique_ptr<EventMonitor> FakeKeyboardEvents::addLocalMonitor(std::uint64_t mask, Handler handler) {
    if (declineLocalMonitors) return nullptr;
    auto monitor = std::make_shared<Monitor>(Monitor{false, mask, std::move(handler)});
    monitors.push_back(monitor);
    return std::make_unique<MonitorHandle>(monitor);
}

bool FakeKeyboardEvents::canSee(std::uint16_t keyCode, std::uint64_t) const {
    return !unseenKeyCodes.contains(keyCode);
}

const std::shared_ptr<FakeKeyboardEvents::Tap>* FakeKeyboardEvents::liveTap() const {
    for (const auto& tap : taps) {
        if (tap->alive) return &tap;
    }
    return nullptr;
}

std::optional<TapDecision> FakeKeyboardEvents::tap(const KeyEvent& event) {
    const auto* live = liveTap();
    if (live == nullptr || !(*live)->enabled || !(*live)->served) return std::nullopt;
    const auto& tap = **live;
    // Events outside the mask never reach the callback; the tap's own notices always do.
    const auto bit = eventMaskOf(event.type);
    if (bit != 0 && (tap.options.eventMask & bit) == 0) return TapDecision::pass;
    return tap.callback(event.type, event, tap.userInfo);
}

void FakeKeyboardEvents::monitor(const KeyEvent& event, bool global) {
    for (const auto& monitor : liveMonitors()) {
        if (monitor->global == global && (monitor->mask & eventMaskOf(event.type)) != 0) monitor->handler(event);
    }
}

std::vector<std::shared_ptr<FakeKeyboardEvents::Monitor>> FakeKeyboardEvents::liveMonitors() const {
    std::vector<std::shared_ptr<Monitor>> live;
    std::copy_if(monitors.begin(), monitors.end(), std::back_inserter(live), [](const auto& m) { return m->alive; });
    return live;
}

bool FakeAccessibilityTrust::isProcessTrusted(bool prompt) {
    if (prompt) {
        ++prompts;
    } else {
        ++checks;
        if (grantAtCheck != 0 && checks >= grantAtCheck) trusted = true;
    }
    return trusted;
}

}  // namespace parlune::fakes
