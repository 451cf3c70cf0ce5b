#pragma once

#include <string_view>

namespace parlune::mpris {

// The players that are scripted by name, and the MPRIS service each publishes on the session bus.
struct Player {
    std::string_view bundleID;
    std::string_view applicationName;
    std::string_view busName;
};

inline constexpr Player knownPlayers[] = {
    {"com.spotify.client", "Spotify", "org.mpris.MediaPlayer2.spotify"},
};

inline constexpr std::string_view objectPath = "/org/mpris/MediaPlayer2";
inline constexpr std::string_view playerInterface = "org.mpris.MediaPlayer2.Player";

inline const Player* playerForBundle(std::string_view bundleID) {
    for (const Player& player : knownPlayers) {
        if (player.bundleID == bundleID) return &player;
    }
    return nullptr;
}

inline const Player* playerForApplication(std::string_view name) {
    for (const Player& player : knownPlayers) {
        if (player.applicationName == name) return &player;
    }
    return nullptr;
}

}  // namespace parlune::mpris
