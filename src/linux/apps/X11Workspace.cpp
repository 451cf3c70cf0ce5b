#include "linux/apps/X11Workspace.h"

#include "core/log/Log.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace parlune {
namespace {

namespace fs = std::filesystem;

struct FreeDeleter {
    void operator()(void* memory) const { std::free(memory); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

// Longest _NET_WM_ICON read, in 32-bit units (4 MiB): room for a few icons up to 512 × 512.
constexpr std::uint32_t longestIconProperty = 1u << 20;
constexpr std::uint32_t largestIconSide = 1024;

PropertyReply property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                       std::uint32_t longLength) {
    auto cookie = xcb_get_property(connection, 0, window, name, type, 0, longLength);
    PropertyReply reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (reply && reply->type == XCB_ATOM_NONE) reply.reset();
    return reply;
}

std::optional<std::uint32_t> cardinal(const PropertyReply& reply) {
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
    std::uint32_t value = 0;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

// WM_CLASS: the instance name and the class name, each ended by a NUL.
void readClass(const PropertyReply& reply, desktop::WindowIdentity& identity) {
    if (!reply || reply->format != 8) return;
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const std::string value(data, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    const auto end = value.find('\0');
    identity.instanceName = value.substr(0, end);
    if (end != std::string::npos) identity.className = std::string(value.c_str() + end + 1);
}

std::string executableOf(std::uint32_t pid) {
    std::error_code error;
    auto target = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return error ? std::string() : target.string();
}

std::optional<fs::file_time_type> modificationTime(const fs::path& folder) {
    std::error_code error;
    auto time = fs::last_write_time(folder, error);
    if (error) return std::nullopt;
    return time;
}

}  // namespace

X11Workspace::X11Workspace(std::vector<fs::path> folders, IconTheme::Settings iconSettings)
    : folders_(std::move(folders)), iconSettings_(std::move(iconSettings)) {}

std::shared_ptr<X11Workspace> X11Workspace::forCurrentUser() {
    return std::make_shared<X11Workspace>(desktop::applicationFolders(), IconTheme::Settings::forCurrentUser());
}

X11Workspace::~X11Workspace() { disconnect(); }

void X11Workspace::disconnect() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
    connection_ = nullptr;
}

bool X11Workspace::connect() {
    if (connection_ != nullptr && xcb_connection_has_error(connection_) == 0) return true;
    disconnect();
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_) != 0) {
        disconnect();
        if (!reportedNoDisplay_) log::line("⚠️ Cannot connect to the X11 display — no application in front");
        reportedNoDisplay_ = true;
        return false;
    }
    reportedNoDisplay_ = false;
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    root_ = screens.rem > 0 ? screens.data->root : 0;

    const std::array<std::pair<const char*, std::uint32_t*>, 3> atoms{
        {{"_NET_ACTIVE_WINDOW", &activeWindowAtom_}, {"_NET_WM_PID", &pidAtom_}, {"_NET_WM_ICON", &iconAtom_}}};
    std::array<xcb_intern_atom_cookie_t, 3> cookies{};
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(atoms[i].first)),
                                     atoms[i].first);
    }
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(
            xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        *atoms[i].second = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    if (root_ == 0 || activeWindowAtom_ == XCB_ATOM_NONE) {
        disconnect();
        return false;
    }
    return true;
}

std::optional<X11Workspace::ActiveWindow> X11Workspace::activeWindow() {
    if (!connect()) return std::nullopt;
    const auto window = cardinal(property(connection_, root_, activeWindowAtom_, XCB_ATOM_WINDOW, 1));
    if (!window || *window == XCB_WINDOW_NONE) return std::nullopt;

    ActiveWindow active;
    active.id = *window;
    auto classCookie = xcb_get_property(connection_, 0, *window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256);
    auto pidCookie = xcb_get_property(connection_, 0, *window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1);
    PropertyReply classReply(xcb_get_property_reply(connection_, classCookie, nullptr));
    PropertyReply pidReply(xcb_get_property_reply(connection_, pidCookie, nullptr));
    readClass(classReply, active.identity);
    if (auto pid = cardinal(pidReply); pid && *pid > 0) active.identity.executable = executableOf(*pid);
    return active;
}

std::optional<IconPixels> X11Workspace::windowIcon(std::uint32_t window) {
    auto reply = property(connection_, window, iconAtom_, XCB_ATOM_CARDINAL, longestIconProperty);
    if (!reply || reply->format != 32) return std::nullopt;
    const auto count = static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / 4;
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    // Images one after another: width, height, then width × height pixels. Take the smallest that
    // is at least iconSize on its longer side, else the largest.
    constexpr std::uint32_t wanted = iconSize;
    const std::uint32_t* best = nullptr;
    std::uint32_t bestSide = 0;
    auto isBetter = [&](std::uint32_t side) {
        if (best == nullptr) return true;
        if ((side >= wanted) != (bestSide >= wanted)) return side >= wanted;
        return side >= wanted ? side < bestSide : side > bestSide;
    };
    for (std::size_t offset = 0; offset + 2 <= count;) {
        const std::uint32_t width = data[offset];
        const std::uint32_t height = data[offset + 1];
        if (width == 0 || height == 0 || width > largestIconSide || height > largestIconSide ||
            std::size_t{width} * height > count - offset - 2) {
            break;
        }
        if (isBetter(std::max(width, height))) {
            best = data + offset;
            bestSide = std::max(width, height);
        }
        offset += 2 + std::size_t{width} * height;
    }
    if (best == nullptr) return std::nullopt;
    IconPixels icon;
    icon.width = static_cast<int>(best[0]);
    icon.height = static_cast<int>(best[1]);
    icon.argb.assign(best + 2, best + 2 + std::size_t{best[0]} * best[1]);
    return icon;
}

const std::vector<desktop::DesktopEntry>& X11Workspace::entries() {
    std::vector<std::optional<fs::file_time_type>> times;
    times.reserve(folders_.size());
    for (const auto& folder : folders_) times.push_back(modificationTime(folder));
    if (!scanned_ || times != folderTimes_) {
        entries_ = desktop::scanApplicationEntries(folders_);
        folderTimes_ = std::move(times);
        scanned_ = true;
        icons_.reset();
    }
    return entries_;
}

std::optional<std::string> X11Workspace::frontmostApplicationPath() {
    const auto active = activeWindow();
    if (!active) return std::nullopt;
    const auto* entry = desktop::findEntryForWindow(entries(), active->identity);
    return entry != nullptr ? std::optional(entry->path) : std::nullopt;
}

std::optional<FrontmostApplication> X11Workspace::frontmostApplication() {
    const auto active = activeWindow();
    if (!active) return std::nullopt;
    FrontmostApplication application;
    if (const auto* entry = desktop::findEntryForWindow(entries(), active->identity)) {
        application.key = entry->path;
        application.name = entry->name;
        application.isTerminalEmulator = entry->isTerminalEmulator();
        if (!icons_) icons_ = std::make_unique<IconTheme>(iconSettings_);
        application.iconFile = icons_->lookup(entry->icon, iconSize);
    } else {
        application.name = !active->identity.className.empty() ? active->identity.className : active->identity.instanceName;
    }
    if (application.iconFile.empty()) application.windowIcon = windowIcon(active->id);
    return application;
}

}  // namespace parlune
