#pragma once

// A private X server for the tests of this binary, keys typed into it by key code through XTest, and
// a focused window that notes every key it is sent.

#include "ChildProcess.h"

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Display = struct _XDisplay;

namespace parlune::testing {

// Xvfb on a display number of its own choosing, stopped by PID.
class Xvfb {
public:
    Xvfb();
    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }
    void stop();

private:
    std::unique_ptr<ChildProcess> process_;
    std::string display_;
};

// The X server of this test binary (started on first use); DISPLAY points at it.
Xvfb& sharedXvfb();

// A client that types: each call is handled by the server before it returns.
class XTestKeyboard {
public:
    explicit XTestKeyboard(const std::string& display);
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    // Steps like {true, 105} (press Control_R) and {false, 105} (release it).
    void type(const std::vector<std::pair<bool, unsigned>>& steps);
    Display* display() const { return display_; }

private:
    Display* display_;
};

// A mapped window with the keyboard focus.
class FocusedWindow {
public:
    explicit FocusedWindow(const std::string& display);
    ~FocusedWindow();
    FocusedWindow(const FocusedWindow&) = delete;
    FocusedWindow& operator=(const FocusedWindow&) = delete;

    bool ready() const { return ready_; }
    // The key presses (true) and releases (false) the window was sent up to now, by key code.
    std::vector<std::pair<bool, unsigned>> receivedKeys();
    bool received(unsigned keyCode);

private:
    Display* display_;
    unsigned long window_ = 0;
    bool ready_ = false;
    std::vector<std::pair<bool, unsigned>> keys_;
};

// Another program's passive grab of a key on the root window.
class ForeignGrab {
public:
    ForeignGrab(const std::string& display, unsigned keyCode, unsigned modifiers);
    ~ForeignGrab();
    ForeignGrab(const ForeignGrab&) = delete;
    ForeignGrab& operator=(const ForeignGrab&) = delete;
    // The key presses and releases that came to the grabbing program.
    std::vector<std::pair<bool, unsigned>> receivedKeys();

private:
    Display* display_;
    std::vector<std::pair<bool, unsigned>> keys_;
};

}  // namespace parlune::testing
