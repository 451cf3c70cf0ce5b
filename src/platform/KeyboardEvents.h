#pragma once

// The session's keyboard events as the hotkey monitor and the hotkey recorder see them: an event
// tap (sees key events before any application and, unless it only listens, may take them away)
// and observe-only monitors. Key codes and flag words are those of the macOS virtual keyboard,
// which is what the settings store keeps; each platform translates at its edge.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace parlune {

enum class KeyEventType : std::uint32_t {
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,  // a modifier key went down or up; the flag word says which state it is in now
    // Notices that the system stopped a tap (too slow, or turned off by the user).
    tapDisabledByTimeout = 0xFFFFFFFE,
    tapDisabledByUserInput = 0xFFFFFFFF,
};

// Event masks: one bit per event type, at the bit numbered by the type.
namespace KeyEventMask {
constexpr std::uint64_t keyDown = std::uint64_t{1} << 10;       // 0x400
constexpr std::uint64_t keyUp = std::uint64_t{1} << 11;         // 0x800
constexpr std::uint64_t flagsChanged = std::uint64_t{1} << 12;  // 0x1000
}  // namespace KeyEventMask

// The mask bit of a key event type; 0 for the tap's notices, which are always delivered.
constexpr std::uint64_t eventMaskOf(KeyEventType type) {
    switch (type) {
    case KeyEventType::keyDown:
        return KeyEventMask::keyDown;
    case KeyEventType::keyUp:
        return KeyEventMask::keyUp;
    case KeyEventType::flagsChanged:
        return KeyEventMask::flagsChanged;
    default:
        return 0;
    }
}

struct KeyEvent {
    KeyEventType type = KeyEventType::keyDown;
    std::uint16_t keyCode = 0;  // virtual key code
    std::uint64_t flags = 0;    // modifier word (ModifierFlag bits) as it stands with this event
    // The key's text in UTF-16 code units: `textLength` units were produced, the first four (at
    // most) are kept. Function and navigation keys give the private-use codes 0xF700...0xF8FF.
    std::array<std::uint16_t, 4> text{};
    std::uint8_t textLength = 0;
};

enum class TapDecision { pass, swallow };

// A tap callback in the C style: `userInfo` is the pointer given when the tap was created, owned by
// whoever created the tap, who disables and drops the tap before releasing it. Runs on the main
// loop's thread, synchronously in the delivery of every event the tap sees.
using EventTapCallback = TapDecision (*)(KeyEventType type, const KeyEvent& event, void* userInfo);

struct EventTapOptions {
    bool listenOnly = false;      // true: observe only, the callback's decision is not used
    std::uint64_t eventMask = 0;  // KeyEventMask bits
    // The hotkey an active tap is made for. A platform that can take only chosen keys away from the
    // applications (X11 key grabs) watches this key with these modifiers and nothing else.
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
    bool modifierOnly = false;
};

class EventTap {
public:
    virtual ~EventTap() = default;  // ends the tap
    virtual void setEnabled(bool enabled) = 0;
};

// A tap's place on the main loop: its events are delivered while the source exists.
class RunLoopSource {
public:
    virtual ~RunLoopSource() = default;  // removes it from the loop
};

// An observe-only monitor; dropping it removes it.
class EventMonitor {
public:
    virtual ~EventMonitor() = default;
};

class KeyboardEvents {
public:
    using Handler = std::function<void(const KeyEvent&)>;
    virtual ~KeyboardEvents() = default;

    // A tap on the user session's keyboard events, or none when it cannot be created (no trust,
    // no display, the key is held by another program).
    virtual std::unique_ptr<EventTap> createEventTap(const EventTapOptions& options, EventTapCallback callback,
                                                     void* userInfo) = 0;
    virtual std::unique_ptr<RunLoopSource> addToMainLoop(EventTap& tap) = 0;

    // Observe-only monitors for the events in `mask` that go to other applications (global) or to
    // this application's own windows (local); none when the platform declines. Handlers run on the
    // main loop's thread.
    virtual std::unique_ptr<EventMonitor> addGlobalMonitor(std::uint64_t mask, Handler handler) = 0;
    virtual std::unique_ptr<EventMonitor> addLocalMonitor(std::uint64_t mask, Handler handler) = 0;

    // Whether this desktop ever reports the key with these modifiers at all.
    virtual bool canSee(std::uint16_t keyCode, std::uint64_t modifierFlags) const = 0;
};

}  // namespace parlune
