#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlune {

// An icon as pixels: rows top to bottom, each pixel 0xAARRGGBB (not premultiplied).
struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// The application whose window is in front.
struct FrontmostApplication {
    // Its key (the path of its installed .desktop file, as the application list gives it); none
    // when the window belongs to no installed application.
    std::optional<std::string> key;
    // The installed application's name, else the window's class; may be empty.
    std::string name;
    // The icon file of the installed application; empty when there is none.
    std::string iconFile;
    // The icon the window carries itself, when there is no icon file.
    std::optional<IconPixels> windowIcon;
    // A terminal emulator (pastes with Control+Shift+V).
    bool isTerminalEmulator = false;
};

// Finds the application in front, with what the recording indicator and the paste need of it.
class FrontmostApplicationSource {
public:
    virtual ~FrontmostApplicationSource() = default;
    // None when no window is in front or the display cannot be reached. Main loop only.
    virtual std::optional<FrontmostApplication> frontmostApplication() = 0;
};

}  // namespace parlune
