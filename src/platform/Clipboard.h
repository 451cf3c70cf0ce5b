#pragma once

#include "core/runtime/Task.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace parlune {

// Text put on the clipboard by us, and what became of it.
class ClipboardOffer {
public:
    enum class State {
        waiting,   // still ours, not fetched yet
        fetched,   // the application in front has fetched the text
        replaced,  // someone else has taken the clipboard (or it could not be taken at all)
    };

    State state() const { return state_; }
    // Runs `callback` once when the offer leaves `waiting` (at once when it already has).
    void onSettled(std::function<void()> callback) {
        if (state_ != State::waiting) {
            callback();
        } else {
            onSettled_ = std::move(callback);
        }
    }
    // For the clipboard implementations. The first change away from `waiting` settles the offer; a
    // later `replaced` is still recorded, so a put-back knows the clipboard is no longer ours.
    void settle(State state) {
        if (state == State::waiting || state_ == state || state_ == State::replaced) return;
        const bool first = state_ == State::waiting;
        state_ = state;
        if (first && onSettled_) std::exchange(onSettled_, nullptr)();
    }

private:
    State state_ = State::waiting;
    std::function<void()> onSettled_;
};

// The system-wide copy-and-paste store, as plain text. Used on the loop's thread.
class IClipboard {
public:
    virtual ~IClipboard() = default;

    // The plain text on the clipboard; none when it holds no text or the text cannot be had in time.
    virtual Task<std::optional<std::string>> readText() = 0;
    // Puts `text` on the clipboard in place of whatever it held (every other format is dropped).
    virtual std::shared_ptr<ClipboardOffer> offerText(std::string text) = 0;
    // Puts `text` on the clipboard in place of the text of `offer`, unless someone else has taken
    // the clipboard since the offer was made. True when it was put back.
    virtual bool putBack(const ClipboardOffer& offer, std::string text) = 0;
};

}  // namespace parlune
