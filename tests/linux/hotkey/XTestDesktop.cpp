#include "XTestDesktop.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <stdlib.h>

namespace parlune::testing {
namespace {

constexpr auto startTimeout = std::chrono::seconds(15);

}  // namespace

Xvfb::Xvfb() {
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0",
                                                                       "1280x800x24", "-nolisten", "tcp", "-noreset"},
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

KeyWitness::KeyWitness(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}

KeyWitness::~KeyWitness() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

std::vector<std::pair<bool, unsigned>> KeyWitness::receivedKeys() {
    if (display_ == nullptr) return keys_;
    XSync(display_, False);  // everything sent before now has arrived
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == KeyPress || event.type == KeyRelease)
            keys_.emplace_back(event.type == KeyPress, event.xkey.keycode);
    }
    return keys_;
}

bool KeyWitness::received(unsigned keyCode) {
    for (const auto& [press, code] : receivedKeys()) {
        if (code == keyCode) return true;
    }
    return false;
}

FocusedWindow::FocusedWindow(const std::string& display) : KeyWitness(display) {
    if (display_ == nullptr) return;
    const Window root = DefaultRootWindow(display_);
    const Window window = XCreateSimpleWindow(display_, root, 10, 10, 200, 100, 0, 0, 0);
    XSelectInput(display_, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(display_, window);
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
        XSetInputFocus(display_, window, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
}

ForeignGrab::ForeignGrab(const std::string& display, unsigned keyCode, unsigned modifiers) : KeyWitness(display) {
    if (display_ == nullptr) return;
    XGrabKey(display_, static_cast<int>(keyCode), modifiers, DefaultRootWindow(display_), False, GrabModeAsync,
             GrabModeAsync);
    XSync(display_, False);
}

}  // namespace parlune::testing
