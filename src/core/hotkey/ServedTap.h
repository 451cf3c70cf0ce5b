#pragma once

#include "platform/KeyboardEvents.h"

#include <memory>

namespace parlune {

// An event tap and its place on the main loop, made and ended together: started enabled, stopped by
// disabling the tap before dropping it and its source.
struct ServedTap {
    std::unique_ptr<EventTap> eventTap;
    std::unique_ptr<RunLoopSource> runLoopSource;

    // False, with nothing kept, when the tap cannot be created.
    bool start(KeyboardEvents& events, const EventTapOptions& options, EventTapCallback callback, void* userInfo) {
        auto tap = events.createEventTap(options, callback, userInfo);
        if (!tap) return false;
        auto source = events.addToMainLoop(*tap);
        tap->setEnabled(true);
        eventTap = std::move(tap);
        runLoopSource = std::move(source);
        return true;
    }

    void stop() {
        if (eventTap) {
            eventTap->setEnabled(false);
            eventTap.reset();
        }
        runLoopSource.reset();
    }

    bool isRunning() const { return eventTap != nullptr; }
    bool isIdle() const { return !eventTap && !runLoopSource; }
};

}  // namespace parlune
