#pragma once

// An Xvfb display of the test's own, optionally with openbox managing it, and a client connection
// to it for making windows.

#include "fakes/Process.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlune::testing {

class PrivateDisplay {
public:
    static constexpr std::chrono::seconds startTimeout{10};

    PrivateDisplay();  // starts Xvfb on a free display number; ok() tells whether it came up
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool ok() const { return connection_ != nullptr; }
    const std::string& name() const { return name_; }  // ":N"

    // Starts openbox; true once it manages the screen.
    bool startWindowManager(const std::string& homeFolder);

    struct Icon {
        std::uint32_t width;
        std::uint32_t height;
    };
    // A mapped top-level window with this WM_CLASS, this process's _NET_WM_PID unless `withPid` is
    // false, and a _NET_WM_ICON with one image per size given.
    std::uint32_t createWindow(const std::string& instanceName, const std::string& className, bool withPid = true,
                               const std::vector<Icon>& icons = {});
    // Writes the root's _NET_ACTIVE_WINDOW as a window manager would; 0 removes it.
    void setActiveWindow(std::uint32_t window);
    // Asks the window manager to put the window in front, as a pager does, until it has.
    bool bringToFront(std::uint32_t window, std::chrono::milliseconds timeout = startTimeout);
    // Waits until the root's _NET_ACTIVE_WINDOW names `window`.
    bool waitForActiveWindow(std::uint32_t window, std::chrono::milliseconds timeout = startTimeout);

private:
    std::uint32_t atom(const char* name);
    // Waits until `done` holds, re-checking after every property change on the root.
    bool waitForRootProperty(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    std::optional<std::uint32_t> rootWindowProperty(const char* name);

    std::unique_ptr<BackgroundProcess> server_;
    std::unique_ptr<BackgroundProcess> windowManager_;
    std::string name_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
};

}  // namespace parlune::testing
