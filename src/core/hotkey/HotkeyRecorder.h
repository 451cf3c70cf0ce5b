#pragma once

#include "core/hotkey/ServedTap.h"
#include "core/runtime/EventLoop.h"
#include "core/values/Values.h"
#include "platform/KeyboardEvents.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// What the recorder's tap callback works on. Owned by the recorder; the tap holds a plain pointer.
struct RecorderTapContext {
    // Raw result delivery: key code, modifier word, the key's code units (none when it had none).
    std::function<void(std::uint16_t, std::uint64_t, std::optional<std::vector<std::uint16_t>>)> onRecord;
    // The modifier key that went down and has not yet been followed by any key-down.
    std::optional<std::uint16_t> pendingModifierKeyCode;
};

// Turns the first complete key gesture into a hotkey: a key pressed with the modifiers then held, or
// one modifier key pressed and released on its own. Listens through a listen-only tap while its
// host shows it (startRecordingTap / stopRecordingTap), so it sees every key whichever application
// is in front and keeps none from anyone; when no tap can be made, the host forwards the key events
// of its focused view (keyDown / flagsChanged). There is no cancel key. Lives on the main loop.
class HotkeyRecorder : public std::enable_shared_from_this<HotkeyRecorder> {
public:
    using RecordCallback = std::function<void(const RecordedHotkey&)>;

    // What hosts show in place of the current hotkey's name while recording.
    static constexpr std::string_view prompt = "Press a key combo...";
    static constexpr std::uint64_t tapEventMask = KeyEventMask::keyDown | KeyEventMask::flagsChanged;

    static std::shared_ptr<HotkeyRecorder> create(EventLoop& loop, std::shared_ptr<KeyboardEvents> events);
    ~HotkeyRecorder();
    HotkeyRecorder(const HotkeyRecorder&) = delete;
    HotkeyRecorder& operator=(const HotkeyRecorder&) = delete;

    // Where results go (on the main loop); the host keeps it current.
    void setOnRecord(RecordCallback callback) { onRecord_ = std::move(callback); }

    // The host put the recorder on screen: listen (a running tap is stopped first).
    void startRecordingTap();
    // The host took it away, or a result was delivered.
    void stopRecordingTap();
    bool isListening() const { return tap_.isRunning(); }

    // The focused view's key events, used only while no tap runs; both consume the event.
    void keyDown(std::uint16_t keyCode, std::uint64_t modifierFlags,
                 const std::optional<std::string>& charactersIgnoringModifiers);
    void flagsChanged(std::uint16_t keyCode, std::uint64_t modifierFlags);

    // The listen-only tap's gesture logic; `userInfo` is the RecorderTapContext. Always passes.
    static TapDecision tapCallback(KeyEventType type, const KeyEvent& event, void* userInfo);

    const RecorderTapContext* tapContext() const { return tapContext_.get(); }

private:
    HotkeyRecorder(EventLoop& loop, std::shared_ptr<KeyboardEvents> events);
    void deliver(std::uint16_t keyCode, std::uint64_t modifierFlags,
                 const std::optional<std::vector<std::uint16_t>>& codeUnits);
    void record(RecordedHotkey hotkey);

    EventLoop& loop_;
    std::shared_ptr<KeyboardEvents> events_;
    RecordCallback onRecord_;
    std::unique_ptr<RecorderTapContext> tapContext_;  // outlives the tap: declared before it
    ServedTap tap_;                                   // eventTap and runLoopSource
};

}  // namespace parlune
