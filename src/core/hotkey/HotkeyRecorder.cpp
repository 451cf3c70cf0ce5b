#include "core/hotkey/HotkeyRecorder.h"

#include "core/values/KeyNames.h"

#include <algorithm>

namespace parlune {

std::shared_ptr<HotkeyRecorder> HotkeyRecorder::create(EventLoop& loop, std::shared_ptr<KeyboardEvents> events) {
    return std::shared_ptr<HotkeyRecorder>(new HotkeyRecorder(loop, std::move(events)));
}

HotkeyRecorder::HotkeyRecorder(EventLoop& loop, std::shared_ptr<KeyboardEvents> events)
    : loop_(loop), events_(std::move(events)) {}

HotkeyRecorder::~HotkeyRecorder() { stopRecordingTap(); }

void HotkeyRecorder::startRecordingTap() {
    stopRecordingTap();
    tapContext_ = std::make_unique<RecorderTapContext>();
    tapContext_->onRecord = [weakSelf = weak_from_this(), loop = &loop_](
                                std::uint16_t keyCode, std::uint64_t modifierFlags,
                                std::optional<std::vector<std::uint16_t>> codeUnits) {
        loop->post([weakSelf, keyCode, modifierFlags, codeUnits = std::move(codeUnits)] {
            if (auto self = weakSelf.lock()) self->deliver(keyCode, modifierFlags, codeUnits);
        });
    };

    EventTapOptions options;
    options.listenOnly = true;
    options.eventMask = tapEventMask;
    // Without a tap, no message: the focused view's keys are used instead.
    tap_.start(*events_, options, &HotkeyRecorder::tapCallback, tapContext_.get());
}

void HotkeyRecorder::stopRecordingTap() {
    tap_.stop();
    tapContext_.reset();
}

TapDecision HotkeyRecorder::tapCallback(KeyEventType type, const KeyEvent& event, void* userInfo) {
    if (userInfo == nullptr) return TapDecision::pass;
    auto& context = *static_cast<RecorderTapContext*>(userInfo);
    const std::uint16_t keyCode = event.keyCode;

    if (type == KeyEventType::keyDown) {
        context.pendingModifierKeyCode.reset();
        std::optional<std::vector<std::uint16_t>> codeUnits;
        if (event.textLength > 0) {
            const auto count = std::min<std::size_t>(event.textLength, event.text.size());
            codeUnits.emplace(event.text.begin(), event.text.begin() + static_cast<std::ptrdiff_t>(count));
        }
        context.onRecord(keyCode, event.flags & hotkeyModifierMask, std::move(codeUnits));
        return TapDecision::pass;
    }
    if (type == KeyEventType::flagsChanged && isModifierKeyCode(keyCode)) {
        const auto bit = modifierFlag(keyCode);
        if (bit && (event.flags & *bit) != 0) {
            context.pendingModifierKeyCode = keyCode;
        } else if (context.pendingModifierKeyCode == keyCode) {
            context.pendingModifierKeyCode.reset();
            context.onRecord(keyCode, 0, std::nullopt);
        }
    }
    return TapDecision::pass;
}

void HotkeyRecorder::deliver(std::uint16_t keyCode, std::uint64_t modifierFlags,
                             const std::optional<std::vector<std::uint16_t>>& codeUnits) {
    stopRecordingTap();
    record(RecordedHotkey{keyCode, modifierFlags, displayName(keyCode, modifierFlags, std::nullopt, codeUnits)});
}

void HotkeyRecorder::record(RecordedHotkey hotkey) {
    auto callback = onRecord_;  // the host may replace it, or drop the recorder, from inside
    if (callback) callback(hotkey);
}

void HotkeyRecorder::keyDown(std::uint16_t keyCode, std::uint64_t modifierFlags,
                             const std::optional<std::string>& charactersIgnoringModifiers) {
    if (tap_.isRunning()) return;
    const std::uint64_t modifiers = modifierFlags & hotkeyModifierMask;
    record(
        RecordedHotkey{keyCode, modifiers, displayName(keyCode, modifiers, charactersIgnoringModifiers, std::nullopt)});
}

void HotkeyRecorder::flagsChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) {
    if (tap_.isRunning() || !isModifierKeyCode(keyCode)) return;
    const auto bit = modifierFlag(keyCode);
    if (!bit || (modifierFlags & *bit) == 0) return;  // releases are ignored
    record(RecordedHotkey{keyCode, 0, displayName(keyCode, 0, std::nullopt, std::nullopt)});
}

}  // namespace parlune
