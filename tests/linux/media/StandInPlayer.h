#pragma once

// A media player on a test's session bus: it owns an MPRIS name and answers the player calls the
// way real players do, with a playback status the test sets and reads. It is served on GDBus's
// own thread, so it answers while the test's thread waits for something else.

#include <gio/gio.h>

#include <mutex>
#include <string>
#include <vector>

namespace parlune::testing {

class StandInPlayer {
public:
    struct Options {
        std::string busName;                      // e.g. "org.mpris.MediaPlayer2.spotify"
        std::string playbackStatus = "Playing";   // "Playing", "Paused" or "Stopped"
        bool answers = true;                      // false: takes every call and never replies
        bool wrongPositionType = false;           // publishes Position as text instead of a number
        bool refusesGetAll = false;               // answers GetAll with an error, Get still works
    };

    StandInPlayer(const std::string& busAddress, Options options);  // throws when the name is taken
    ~StandInPlayer();
    StandInPlayer(const StandInPlayer&) = delete;
    StandInPlayer& operator=(const StandInPlayer&) = delete;

    std::string status() const;
    void setStatus(std::string status);
    // The control calls received, in order: "Play", "Pause", "PlayPause", "Stop".
    std::vector<std::string> controlCalls() const;

private:
    void disconnect();
    static GDBusMessage* filter(GDBusConnection* connection, GDBusMessage* message, gboolean incoming, gpointer self);
    GDBusMessage* answer(GDBusMessage* call);  // the reply, or null for none

    Options options_;
    mutable std::mutex mutex_;
    std::string status_;
    std::vector<std::string> controlCalls_;
    GDBusConnection* connection_ = nullptr;
    guint filterId_ = 0;
};

}  // namespace parlune::testing
