#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace parlune {

// One installed application.
struct InstalledApp {
    // Absolute path of the application's .desktop file; also the key of its per-application style.
    std::string id;
    // Display name (the entry's unlocalised Name=).
    std::string name;
    // The icon file the desktop shows for it, resolved for 64 × 64 pixels; empty when there is none.
    std::string icon;

    // Identity is the key alone: name and icon take no part.
    bool operator==(const InstalledApp& other) const { return id == other.id; }
};

}  // namespace parlune

template <>
struct std::hash<parlune::InstalledApp> {
    std::size_t operator()(const parlune::InstalledApp& app) const noexcept { return std::hash<std::string>{}(app.id); }
};
