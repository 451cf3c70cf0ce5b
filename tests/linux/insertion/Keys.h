#pragma once

// Typing on the test desktop through XTest, on a connection of its own, as a user would.

#include <string>
#include <vector>

namespace parlune::testing {

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

}  // namespace parlune::testing
