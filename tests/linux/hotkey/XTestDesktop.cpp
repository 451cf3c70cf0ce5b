#include "XTestDesktop.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <stdlib.h>

namespace parlune::testing {
namespace {

constexpr auto startTimeout = std::chrono::seconds(15);

// Reads the events that have arrived by now (after a round trip) into `keys`.
void collectKeys(Display* display, std::vector<std::pair<bool, unsigned>>& keys) {
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress || event.type == KeyRelease) keys.emplace_back(event.type == KeyPress, event.xkey.keycode);
    }
}

}  // namespace

Xvfb::Xvfb() {
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
        std::map<std::string, std::string>{}, 3);
    if (auto number = process_->readLine(ChildProcess::extra, startTimeout)) display_ = ":" + *number;
}

void Xvfb::stop() {
    process_.reset();
    display_.clear();
}

Xvfb& sharedXvfb() {
    static Xvfb server;
    static const bool exported = [] {
        if (server.running()) ::setenv("DISPLAY", server.display().c_str(), 1);
        return true;
    }();
    (void)exported;
    return server;
}

XTestKeyboard::XTestKeyboard(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}

XTestKeyboard::~XTestKeyboard() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

void XTestKeyboard::type(const std::vector<std::pair<bool, unsigned>>& steps) {
    for (const auto& [press, code] : steps) {
        XTestFakeKeyEvent(display_, code, press ? True : False, 0);
        XSync(display_, False);
    }
}

FocusedWindow::FocusedWindow(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (display_ == nullptr) return;
    const Window root = DefaultRootWindow(display_);
    window_ = XCreateSimpleWindow(display_, root, 10, 10, 200, 100, 0, 0, 0);
    XSelectInput(display_, window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(display_, window_);
    XFlush(display_);
    const auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (!ready_ && std::chrono::steady_clock::now() < deadline) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == MapNotify) ready_ = true;
        }
        if (ready_) break;
        pollfd entry{ConnectionNumber(display_), POLLIN, 0};
        ::poll(&entry, 1, 100);
    }
    if (ready_) {
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
}

FocusedWindow::~FocusedWindow() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

std::vector<std::pair<bool, unsigned>> FocusedWindow::receivedKeys() {
    if (display_ != nullptr) collectKeys(display_, keys_);
    return keys_;
}

bool FocusedWindow::received(unsigned keyCode) {
    for (const auto& [press, code] : receivedKeys()) {
        if (code == keyCode) return true;
    }
    return false;
}

ForeignGrab::ForeignGrab(const std::string& display, unsigned keyCode, unsigned modifiers)
    : display_(XOpenDisplay(display.c_str())) {
    if (display_ == nullptr) return;
    XGrabKey(display_, static_cast<int>(keyCode), modifiers, DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync);
    XSync(display_, False);
}

ForeignGrab::~ForeignGrab() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

std::vector<std::pair<bool, unsigned>> ForeignGrab::receivedKeys() {
    if (display_ != nullptr) collectKeys(display_, keys_);
    return keys_;
}

}  // namespace parlune::testing
