#pragma once

// Typing and window switching on the test desktop, on a connection of its own, as a user would.

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
    // Asks the window manager, as a pager would, to activate the window of process `pid`; false
    // when it has no managed window yet.
    bool activateWindowOf(int pid);

private:
    void tap(unsigned int keycode, bool shifted);
    void* display_;
};

}  // namespace parlune::testing
