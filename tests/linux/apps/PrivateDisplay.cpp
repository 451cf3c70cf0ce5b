#include "PrivateDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace parlune::testing {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The display number Xvfb writes to its -displayfd descriptor once it accepts connections.
std::string readDisplayNumber(int fd, Clock::time_point deadline) {
    std::string text;
    while (text.find('\n') == std::string::npos) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, millisecondsUntil(deadline)) <= 0) return {};
        char buffer[32];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return {};
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

PrivateDisplay::PrivateDisplay() {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return;
    server_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                                 "-noreset"},
        std::map<std::string, std::string>{}, pipe[1]);
    ::close(pipe[1]);
    const std::string number = server_->started() ? readDisplayNumber(pipe[0], Clock::now() + startTimeout) : "";
    ::close(pipe[0]);
    if (number.empty()) return;
    name_ = ":" + number;
    xcb_connection_t* connection = xcb_connect(name_.c_str(), nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &events);
    xcb_flush(connection_);
}

PrivateDisplay::~PrivateDisplay() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
    windowManager_.reset();
    server_.reset();
}

std::uint32_t PrivateDisplay::atom(const char* name) {
    auto cookie = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
    const std::uint32_t result = reply != nullptr ? reply->atom : 0;
    std::free(reply);
    return result;
}

std::optional<std::uint32_t> PrivateDisplay::rootWindowProperty(const char* name) {
    auto cookie = xcb_get_property(connection_, 0, root_, atom(name), XCB_ATOM_WINDOW, 0, 1);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
    std::optional<std::uint32_t> result;
    if (reply != nullptr && reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
        std::uint32_t value = 0;
        std::memcpy(&value, xcb_get_property_value(reply), sizeof value);
        result = value;
    }
    std::free(reply);
    return result;
}

bool PrivateDisplay::waitForRootProperty(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        // Events read while waiting for a reply are queued already; the socket only shows newer ones.
        bool queued = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            std::free(event);
            queued = true;
        }
        if (xcb_connection_has_error(connection_) != 0) return false;
        if (queued) continue;
        pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
        if (::poll(&readable, 1, millisecondsUntil(deadline)) <= 0) return done();
    }
    return true;
}

bool PrivateDisplay::startWindowManager(const std::string& homeFolder) {
    if (!ok()) return false;
    windowManager_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"/usr/bin/openbox", "--sm-disable"},
        std::map<std::string, std::string>{{"DISPLAY", name_},
                                           {"HOME", homeFolder},
                                           {"XDG_CONFIG_HOME", homeFolder + "/.config"},
                                           {"XDG_CACHE_HOME", homeFolder + "/.cache"},
                                           {"XDG_DATA_HOME", homeFolder + "/.local/share"}});
    return windowManager_->started() &&
           waitForRootProperty([&] { return rootWindowProperty("_NET_SUPPORTING_WM_CHECK").has_value(); },
                               startTimeout);
}

std::uint32_t PrivateDisplay::createWindow(const std::string& instanceName, const std::string& className, bool withPid,
                                           const std::vector<Icon>& icons) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 10, 10, 320, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    std::string wmClass = instanceName + '\0' + className + '\0';
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
    // Takes input, so that a window manager gives it the focus.
    const std::array<std::uint32_t, 9> hints{1, 1, 1, 0, 0, 0, 0, 0, 0};  // flags: InputHint; input; NormalState
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        static_cast<std::uint32_t>(hints.size()), hints.data());
    if (withPid) {
        const auto pid = static_cast<std::uint32_t>(::getpid());
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                            &pid);
    }
    if (!icons.empty()) {
        std::vector<std::uint32_t> data;
        for (const auto& icon : icons) {
            data.push_back(icon.width);
            data.push_back(icon.height);
            data.insert(data.end(), std::size_t{icon.width} * icon.height, 0xFF000000u | icon.width);
        }
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32,
                            static_cast<std::uint32_t>(data.size()), data.data());
    }
    xcb_map_window(connection_, window);
    xcb_flush(connection_);
    return window;
}

void PrivateDisplay::setActiveWindow(std::uint32_t window) {
    const std::uint32_t property = atom("_NET_ACTIVE_WINDOW");
    if (window == 0) {
        xcb_delete_property(connection_, root_, property);
    } else {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, property, XCB_ATOM_WINDOW, 32, 1, &window);
    }
    waitForRootProperty([&] { return rootWindowProperty("_NET_ACTIVE_WINDOW").value_or(0) == window; }, startTimeout);
}

bool PrivateDisplay::waitForActiveWindow(std::uint32_t window, std::chrono::milliseconds timeout) {
    return waitForRootProperty([&] { return rootWindowProperty("_NET_ACTIVE_WINDOW") == window; }, timeout);
}

}  // namespace parlune::testing

namespace parlune::testing {

bool PrivateDisplay::bringToFront(std::uint32_t window, std::chrono::milliseconds timeout) {
    // A window manager still starting up may ignore the request: ask again until it is done.
    const auto deadline = Clock::now() + timeout;
    do {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atom("_NET_ACTIVE_WINDOW");
        message.data.data32[0] = 2;  // from a pager
        xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(connection_);
        if (waitForActiveWindow(window, std::chrono::milliseconds(250))) return true;
    } while (Clock::now() < deadline);
    return false;
}

}  // namespace parlune::testing
