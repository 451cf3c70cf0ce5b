#pragma once

// A private X server for the tests of this binary, keys typed into it by key code through XTest, and
// a focused window that notes every key it is sent.

#include "fakes/ChildProcess.h"

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

// A client of the display that notes the key presses and releases it is sent.
class KeyWitness {
public:
    explicit KeyWitness(const std::string& display);
    virtual ~KeyWitness();
    KeyWitness(const KeyWitness&) = delete;
    KeyWitness& operator=(const KeyWitness&) = delete;

    // The presses (true) and releases (false) sent to this client up to now, by key code.
    std::vector<std::pair<bool, unsigned>> receivedKeys();
    bool received(unsigned keyCode);

protected:
    Display* display_;

private:
    std::vector<std::pair<bool, unsigned>> keys_;
};

// A mapped window with the keyboard focus.
class FocusedWindow final : public KeyWitness {
public:
    explicit FocusedWindow(const std::string& display);
    bool ready() const { return ready_; }

private:
    bool ready_ = false;
};

// Another program's passive grab of a key on the root window.
class ForeignGrab final : public KeyWitness {
public:
    ForeignGrab(const std::string& display, unsigned keyCode, unsigned modifiers);
};

}  // namespace parlune::testing
