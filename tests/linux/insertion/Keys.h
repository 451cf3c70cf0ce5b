#pragma once

// Typing on the test desktop through XTest, on a connection of its own, as a user would.

#include <string>
#include <vector>

namespace parlune::testing {

class DesktopProgram;
class DesktopSession;

class Keys {
public:
    Keys();  // connects to $DISPLAY
    ~Keys();
    Keys(const Keys&) = delete;
    Keys& operator=(const Keys&) = delete;

    // Types printable ASCII text.
    void type(const std::string& text);
    // Presses the named keys (X keysym names such as "End", "Left", "BackSpace") `times` times each.
    void press(const std::string& keysymName, int times = 1);
    // Holds the named key down until letGo(), as a user holding a hotkey would.
    void hold(const std::string& keysymName);
    void letGo(const std::string& keysymName);
    // The managed window of process `pid`, 0 while it has none.
    unsigned long windowOf(int pid);

private:
    void tap(unsigned int keycode, bool shifted);
    unsigned int keycodeOf(const std::string& keysymName);
    void* display_;
};

// Waits (bounded) until a test program prints "ready" (its field has the keyboard focus). The window
// manager may keep the focus where it was: then the program's window is asked to the front, as a
// user clicking it would.
bool waitUntilFocused(DesktopSession& session, DesktopProgram& program, Keys& keys);

}  // namespace parlune::testing
