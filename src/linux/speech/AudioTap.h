#pragma once

#include "platform/AudioEngine.h"

#include <mutex>
#include <utility>

namespace parlune {

// The one tap of an audio engine: installed and removed on the main loop, called on the capture
// thread. Once remove() returns, the block is not called again.
class AudioTap {
public:
    // False when a tap is installed already, or the tap asks for another format than the input's.
    bool install(std::size_t frames, AudioFormat format, AudioFormat inputFormat, AudioEngine::TapBlock block) {
        std::lock_guard lock(mutex_);
        if (block_ || frames == 0 || format != inputFormat) return false;
        block_ = std::move(block);
        frames_ = frames;
        return true;
    }

    void remove() {
        std::lock_guard lock(mutex_);
        block_ = nullptr;
    }

    // The buffer size of the tap installed last.
    std::size_t frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }

    // Runs deliver(block, frames) while holding the tap, when one is installed.
    template <class Deliver>
    void with(Deliver&& deliver) {
        std::lock_guard lock(mutex_);
        if (block_) deliver(block_, frames_);
    }

private:
    std::mutex mutex_;
    AudioEngine::TapBlock block_;
    std::size_t frames_ = 0;
};

}  // namespace parlune
