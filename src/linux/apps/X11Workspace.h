#pragma once

#include "core/session/Workers.h"
#include "linux/apps/DesktopEntries.h"
#include "linux/apps/IconTheme.h"
#include "platform/FrontmostApplication.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

struct xcb_connection_t;

namespace parlune {

// The application in front on X11: the window in the root's _NET_ACTIVE_WINDOW, told apart by its
// WM_CLASS and its process (_NET_WM_PID), matched to an installed .desktop file. Connects to the
// display on first use and again after the connection broke; without a display there is no
// application in front. The installed entries are read again whenever an application folder
// changed. Main loop only.
class X11Workspace final : public IWorkspace, public FrontmostApplicationSource {
public:
    X11Workspace(std::vector<std::filesystem::path> folders, IconTheme::Settings iconSettings);
    // The current user's application folders and icon theme; the display of $DISPLAY.
    static std::shared_ptr<X11Workspace> forCurrentUser();
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    // The key of the installed application in front (its .desktop file, as the application list
    // gives it); none when no window is in front, it matches no installed application, or there is
    // no display.
    std::optional<std::string> frontmostApplicationPath() override;
    std::optional<FrontmostApplication> frontmostApplication() override;

    static constexpr int iconSize = 64;

private:
    struct ActiveWindow {
        std::uint32_t id = 0;
        desktop::WindowIdentity identity;
    };

    bool connect();
    void disconnect();
    std::optional<ActiveWindow> activeWindow();
    std::optional<IconPixels> windowIcon(std::uint32_t window);
    const std::vector<desktop::DesktopEntry>& entries();

    std::vector<std::filesystem::path> folders_;
    IconTheme::Settings iconSettings_;

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t activeWindowAtom_ = 0;
    std::uint32_t pidAtom_ = 0;
    std::uint32_t iconAtom_ = 0;
    bool reportedNoDisplay_ = false;

    std::vector<desktop::DesktopEntry> entries_;
    std::vector<std::optional<std::filesystem::file_time_type>> folderTimes_;
    bool scanned_ = false;
    std::unique_ptr<IconTheme> icons_;
};

}  // namespace parlune
