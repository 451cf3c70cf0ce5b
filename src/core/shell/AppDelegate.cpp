#include "core/shell/AppDelegate.h"

#include "core/account/AuthURL.h"
#include "core/log/Log.h"

#include <cctype>

namespace parlune {

IShellWindow* AppDelegate::chooseWindow(const std::vector<IShellWindow*>& windows) {
    for (auto* window : windows) {
        if (window->isMainWindow() || window->isKeyWindow()) return window;
    }
    for (auto* window : windows) {
        if (window->isVisible()) return window;
    }
    return nullptr;
}

std::optional<std::string> AppDelegate::schemeOf(std::string_view url) {
    // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ), followed by ":"
    const auto colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const auto scheme = url.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(scheme[0]))) return std::nullopt;
    for (char c : scheme) {
        const auto byte = static_cast<unsigned char>(c);
        if (!std::isalnum(byte) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    return std::string(scheme);
}

void AppDelegate::bringChosenWindowForward() {
    shell_.activate();
    if (auto* window = chooseWindow(shell_.windows())) window->makeKeyAndOrderFront();
}

void AppDelegate::openUrls(const std::vector<std::string>& urls) {
    bringChosenWindowForward();
    for (const auto& url : urls) {
        if (schemeOf(url) == urlScheme) log::line("Deep link opened: " + auth::withCredentialsHidden(url));
    }
}

bool AppDelegate::shouldHandleReopen(bool) {
    bringChosenWindowForward();
    return true;
}

void AppDelegate::openSettings() {
    shell_.activate();
    for (auto* window : shell_.windows()) {
        const auto title = window->title();
        if (title.empty() || title == mainWindowTitle) {
            window->makeKeyAndOrderFront();
            return;
        }
    }
}

}  // namespace parlune
