#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// One top-level window of the application, as the shell sees it.
class IShellWindow {
public:
    virtual ~IShellWindow() = default;
    virtual bool isMainWindow() const = 0;
    virtual bool isKeyWindow() const = 0;
    virtual bool isVisible() const = 0;
    virtual std::string title() const = 0;
    // Shows the window if it is hidden, raises it and gives it the keyboard focus.
    virtual void makeKeyAndOrderFront() = 0;
};

// The running application, as the shell sees it.
class IApplicationShell {
public:
    virtual ~IApplicationShell() = default;
    // Brings the application to the front, ignoring other applications.
    virtual void activate() = 0;
    // The application's windows, in their order (the main window first).
    virtual std::vector<IShellWindow*> windows() = 0;
};

// The application's answers to the desktop: URLs opened with it, re-open requests (a second launch)
// and the tray panel's "Open Settings...". Main loop only.
class AppDelegate {
public:
    static constexpr std::string_view urlScheme = "parlune";
    static constexpr std::string_view mainWindowTitle = "parlune-macos";

    explicit AppDelegate(IApplicationShell& shell) : shell_(shell) {}

    // URLs opened with the application: activates it, brings a window forward and logs
    // "Deep link opened: URL" for each URL whose scheme is exactly "parlune" (a sign-in code or token
    // in it is shown as "<hidden>": log files travel in bug reports).
    void openUrls(const std::vector<std::string>& urls);
    // A re-open request: activates the application and brings a window forward; always true.
    bool shouldHandleReopen(bool hasVisibleWindows);
    // Brings forward the first window whose title is empty or "parlune-macos" (it may be hidden);
    // does nothing when there is none.
    void openSettings();

    // The first window that is the main or the key window, else the first visible one.
    static IShellWindow* chooseWindow(const std::vector<IShellWindow*>& windows);
    // The scheme of a URL ("parlune" for "parlune://auth/callback"), none when the text has none.
    static std::optional<std::string> schemeOf(std::string_view url);

private:
    void bringChosenWindowForward();

    IApplicationShell& shell_;
};

}  // namespace parlune
